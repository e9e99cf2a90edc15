#!/usr/bin/env bash
# Serial to serial through two pseudo-terminals: the headless front end next to socat, measured
# in one interleaved run by the shared relay benchmark.
#   bench/relay_serial.sh [extra relay_bench.py arguments, e.g. --runs 5 --mb 64 --json out.json]
# PV_PROGRAM=path measures an already built program instead of building build-release.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/relay_lib.sh
relay_build
exec python3 "$bench_tool" --termios relay \
  --cmd "$pv_program --headless --device-a {A} --device-b {B}" --label portavigilant \
  --cmd "socat -b 65536 OPEN:{A},cfmakeraw OPEN:{B},cfmakeraw" --label socat \
  "$@"
