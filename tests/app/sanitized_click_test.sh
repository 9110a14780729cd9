#!/usr/bin/env bash
# The real executable built with AddressSanitizer and UndefinedBehaviorSanitizer,
# played by the click end-to-end test (start-up, a click on a tube that sets
# off a chain, heard, then Escape mid-chain): the test must pass, and the
# sanitizers must find no invalid memory access, no undefined behaviour and
# no leak allocated by the game's own code. Arguments: the game executable
# of the plain build (its folder holds the test programs).
set -euo pipefail
cd "$(dirname "$0")/../.."
tests="$(dirname "$1")/tests"
build=build-sanitize
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUBECHAIN_SANITIZE=ON > /dev/null
cmake --build "$build" --target tubechain -j "$(nproc)" > /dev/null

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
export ASAN_OPTIONS=detect_leaks=1:log_path=$logs/asan
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan
export LSAN_OPTIONS=suppressions=$(pwd)/tests/support/lsan.supp:print_suppressions=0:exitcode=0

status=0
TUBECHAIN_GAME="$(pwd)/$build/tubechain" "$tests/click_end_to_end_test" || status=$?

cat "$logs"/* 2> /dev/null > "$logs/all" || true
if grep -q -E "ERROR: AddressSanitizer|runtime error" "$logs/all"; then
  cat "$logs/all"
  echo "FAILED: the sanitizers found an error"
  exit 1
fi
# A leak counts against the game when the first frame of its stack outside
# the allocator and the C++ library (whose containers allocate for the
# game's code) lies in the game's own sources.
ours=$(awk -v src="$(pwd)/src/" '
  /leak of/ { want = 1; next }
  want && /^ *#[0-9]+ / {
    if ($0 ~ /libsanitizer|asan_|in operator new|in malloc|in calloc|in realloc|\/c\+\+\/[0-9]+\/|libstdc\+\+/) next
    if (index($0, src) > 0) print
    want = 0
  }' "$logs/all")
if [ -n "$ours" ]; then
  cat "$logs/all"
  echo "FAILED: memory leaked from the game's own code:"
  echo "$ours"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  cat "$logs/all"
  echo "FAILED: the click end-to-end test failed on the sanitized game"
  exit 1
fi
echo "passed: the sanitized game played the click end-to-end test cleanly"
