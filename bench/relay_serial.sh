#!/usr/bin/env bash
# Serial to serial through two pseudo-terminals: the headless front end next to socat, measured
# in one interleaved run by the shared relay benchmark.
#   bench/relay_serial.sh [extra relay_bench.py arguments, e.g. --runs 5 --mb 64 --json out.json]
set -euo pipefail
cd "$(dirname "$0")/.."
bench_tool="${RELAY_BENCH:-../shared/bench/relay_bench.py}"
[ -f "$bench_tool" ] || { echo "relay_bench.py not found; set RELAY_BENCH" >&2; exit 2; }
scripts/deps.sh
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DPV_BUILD_TESTS=OFF
exec python3 "$bench_tool" --termios relay \
  --cmd "build-release/src/portavigilant --headless --device-a {A} --device-b {B}" --label portavigilant \
  --cmd "socat -b 65536 OPEN:{A},cfmakeraw OPEN:{B},cfmakeraw" --label socat \
  "$@"
