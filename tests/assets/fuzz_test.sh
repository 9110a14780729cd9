#!/usr/bin/env bash
# Builds the fuzz targets of the model loader and the TGA reader with clang
# into build-fuzz/ and runs each for FUZZ_SECONDS seconds (60 under CI,
# 10 otherwise), starting from the seed corpus in fuzz/corpus/. Any crash,
# sanitizer report, broken invariant, leak or hang fails the test; the input
# that caused it is kept in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${FUZZ_SECONDS:-}"
if [ -z "$seconds" ]; then
  if [ "${CI:-}" = "true" ]; then seconds=60; else seconds=10; fi
fi

build=build-fuzz
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j2 > /dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/findings"

status=0
for target in model image; do
  dictionary=()
  [ -f "fuzz/$target.dict" ] && dictionary=("-dict=fuzz/$target.dict")
  mkdir -p "$work/$target"
  # New inputs go to the scratch folder; the seed corpus is only read.
  if ! "$build/${target}_fuzzer" "${dictionary[@]}" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
      "$work/$target" "fuzz/corpus/$target" > "$work/$target.log" 2>&1; then
    echo "The $target fuzzer found a fault:"
    tail -n 60 "$work/$target.log"
    status=1
  else
    echo "$target fuzzer: $(grep -E 'stat::number_of_executed_units' "$work/$target.log" | awk '{print $2}') runs" \
         "in ${seconds} s, no finding."
  fi
done
exit "$status"
