#!/usr/bin/env bash
# Serial to serial through two pseudo-terminals: the headless front end next to socat, measured
# in one interleaved run by the shared relay benchmark.
#   bench/relay_serial.sh [extra relay_bench.py arguments, e.g. --runs 5 --mb 64 --json out.json]
# PV_PROGRAM=path measures an already built program instead of building build-release.
# PV_MONITOR=1 also formats the traffic as --monitor does (rows of hex and text, to /dev/null).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/relay_lib.sh
relay_build
pv_cmd="$pv_program --headless --device-a {A} --device-b {B}"
label=portavigilant
if [ "${PV_MONITOR:-0}" = 1 ]; then
  pv_cmd="exec $pv_cmd --monitor >/dev/null"
  label=portavigilant-monitor
fi
exec python3 "$bench_tool" --termios relay \
  --cmd "$pv_cmd" --label "$label" \
  --cmd "socat -b 65536 OPEN:{A},cfmakeraw OPEN:{B},cfmakeraw" --label socat \
  "$@"
