#!/usr/bin/env bash
# Builds the soak test with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs it: 20,000 frames in CI, fewer on a developer's machine.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build-sanitize
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUBECHAIN_SANITIZE=ON > /dev/null
cmake --build "$build" --target soak_test -j "$(nproc)" > /dev/null
frames=1000
[ "${CI:-}" = "true" ] && frames=20000
export TUBECHAIN_SOAK_FRAMES=$frames
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$(pwd)/tests/support/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ALSOFT_DRIVERS=null
echo "soak: $frames frames under the sanitizers"
"$build/tests/soak_test"
