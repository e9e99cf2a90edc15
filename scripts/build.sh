#!/usr/bin/env bash
# Configures and builds into a build folder, with warnings as errors:
#   build.sh [DIR] [--target NAME]... [extra cmake arguments...]
# Without --target everything is built (the program, the tests and the benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
targets=()
cmake_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --target)
      targets+=(--target "$2")
      shift 2
      ;;
    *)
      cmake_args+=("$1")
      shift
      ;;
  esac
done
cmake -S . -B "$dir" -G Ninja -DPV_WARNINGS_AS_ERRORS=ON "${cmake_args[@]}" >/dev/null
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
