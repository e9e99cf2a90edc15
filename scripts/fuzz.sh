#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang, AddressSanitizer and UBSan in build-fuzz and
# runs each for SECONDS (default 60), starting from its seeds in fuzz/corpus/NAME.
#   scripts/fuzz.sh [SECONDS]
# Inputs that reach new code are kept in build-fuzz/corpus/NAME for the next run. An input that
# crashes, leaks, hangs or breaks a harness's property is saved in build-fuzz/findings/; the
# script then names the harness and exits with 1. Replay one with: build-fuzz/fuzz/fuzz_NAME FILE
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi
scripts/deps.sh --fuzz

dir=build-fuzz
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPV_FUZZ=ON -DPV_BUILD_TESTS=OFF -DPV_BUILD_BENCH=OFF -DPV_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$dir" --target pv_fuzzers --parallel "$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$dir/findings"
failed=()
while read -r name; do
  [ -n "$name" ] || continue
  mkdir -p "$dir/corpus/$name"
  args=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
    -artifact_prefix="$dir/findings/$name-")
  if [ -f "fuzz/$name.dict" ]; then args+=(-dict="fuzz/$name.dict"); fi
  log="$dir/fuzz-$name.log"
  if "$dir/fuzz/fuzz_$name" "${args[@]}" "$dir/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$name: ${runs:-?} inputs in ${seconds} s, no finding"
  else
    failed+=("$name")
    grep -E "property broken|ERROR: |SUMMARY: |Test unit written" "$log" || tail -n 20 "$log"
    echo "$name: FINDING (whole output in $log)"
  fi
done <"$dir/fuzz/fuzzers.txt"

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
