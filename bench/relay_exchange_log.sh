#!/usr/bin/env bash
# Serial to serial with eXchange and logging on: the headless front end next to plain socat, in
# one interleaved run. (socat -x, its hex dump, writes 4 bytes per write() and is far too slow to
# be a fair stand-in for a log.)
#   bench/relay_exchange_log.sh [extra relay_bench.py arguments]
# eXchange set 1 (hex input) replaces 0D 0A by 0D 0A: the engine looks at every byte, replaces
# about one position in 65536 of random data and holds a block back whenever it ends in 0D, yet
# the bytes come out unchanged, which the benchmark checks. The log (default format) goes to a
# temporary folder and is emptied by each run.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/relay_lib.sh
relay_build
relay_require_options --params --save
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
relay_params "$work/exchange.dat" 57=1 58=0 59=1 60=0 610=0 611=0 \
  16=1 17=0 18=0 19=0 20=0 21=2 "22=0D 0A " 23=2 "24=0D 0A "
python3 "$bench_tool" --termios relay \
  --cmd "$pv_program --headless --params $work/exchange.dat --device-a {A} --device-b {B} --log $work/relay.log" \
  --label portavigilant \
  --cmd "socat -b 65536 OPEN:{A},cfmakeraw OPEN:{B},cfmakeraw" --label socat \
  "$@"
