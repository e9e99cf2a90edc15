#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   scripts/test.sh             the suite once (release build with debug info)
#   scripts/test.sh --sanitize  then once more under AddressSanitizer and UBSan (CI does this)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

sanitize=0
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1 ;;
    *) echo "unknown argument: $arg" >&2; exit 2 ;;
  esac
done

run_suite() {
  local dir="$1"
  shift
  scripts/build.sh "$dir" "$@"
  (cd "$dir" && ctest --output-on-failure --parallel 2 --timeout 300)
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "$sanitize" -eq 1 ]; then
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPV_SANITIZE=ON -DPV_BUILD_BENCH=OFF
fi
