#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a while:
# fuzz.sh [SECONDS per target, default 60]. Finds are written to build-fuzz/crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPV_BUILD_FUZZ=ON -DPV_BUILD_TESTS=OFF -DPV_BUILD_BENCH=OFF >/dev/null
targets=(rfc2217_fuzz)
cmake --build build-fuzz --target "${targets[@]}"

# Seeds: what ser2net and pyserial's client really send, as client and as server input.
corpus=build-fuzz/corpus/rfc2217_fuzz
mkdir -p "$corpus"
seed() { printf "$2" >"$corpus/$1"; }
seed ser2net '\x05\xff\xfb\x03\xff\xfd\x03\xff\xfb\x01\xff\xfe\x01\xff\xfd\x00\xff\xfb\x00\xff\xfd\x2c\xff\xfa\x2c\x6b\x00\xff\xf0\xff\xfa\x2c\x65\x00\x01\xc2\x00\xff\xf0A\xff\xffB'
seed pyserial '\x83\xff\xfd\x01\xff\xfb\x03\xff\xfd\x03\xff\xfd\x2c\xff\xfb\x2c\xff\xfb\x00\xff\xfa\x2c\x01\x00\x00\x4b\x00\xff\xf0\xff\xfa\x2c\x05\x08\xff\xf0A\xff\xffB'

for target in "${targets[@]}"; do
  echo "== $target, ${seconds}s"
  (cd build-fuzz && "./fuzz/$target" -max_total_time="$seconds" -max_len=4096 \
    "corpus/$target")
done
