#!/usr/bin/env bash
# Builds the soak test with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs it: 5,000 frames in CI, on a developer's machine the plain soak's
# own count (the checks at its end need that many frames to have played
# every rule they watch).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build-sanitize
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUBECHAIN_SANITIZE=ON > /dev/null
cmake --build "$build" --target soak_test -j "$(nproc)" > /dev/null
if [ "${CI:-}" = "true" ]; then
  export TUBECHAIN_SOAK_FRAMES=5000
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$(pwd)/tests/support/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ALSOFT_DRIVERS=null
echo "soak under the sanitizers (frames: ${TUBECHAIN_SOAK_FRAMES:-the default})"
"$build/tests/soak_test"
