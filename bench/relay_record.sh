#!/usr/bin/env bash
# Serial to serial through two pseudo-terminals, with and without --record (one 5-byte record
# per byte of A to B, written before the block is passed on), next to socat, in one interleaved
# run of the shared relay benchmark.
#   bench/relay_record.sh [extra relay_bench.py arguments, e.g. --runs 5 --mb 64 --json out.json]
# PV_PROGRAM=path measures an already built program instead of building build-release.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/relay_lib.sh
relay_build
relay_require_options --record
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
pv_cmd="$pv_program --headless --device-a {A} --device-b {B}"
python3 "$bench_tool" --termios relay \
  --cmd "$pv_cmd" --label portavigilant \
  --cmd "$pv_cmd --record $work/relay.rec" --label portavigilant-record \
  --cmd "socat -b 65536 OPEN:{A},cfmakeraw OPEN:{B},cfmakeraw" --label socat \
  "$@"
