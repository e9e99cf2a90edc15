#!/usr/bin/env bash
# Serial to serial across the TCP link of two headless instances on 127.0.0.1, next to two socat
# processes joined the same way, in one interleaved run:
#   {A} <-> instance 1: side A serial, side B network server
#       <-> instance 2: side A network client, side B serial <-> {B}
#   bench/relay_tcp.sh [extra relay_bench.py arguments]
# bench/tcp_pair.sh starts each pair on a free port.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/relay_lib.sh
relay_build
relay_require_options --params --save
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Lines 57-60: A serial, A network, B serial, B network; 610, 611: B, A virtual; 54: server;
# 55: server address (line 56, the port, is set by tcp_pair.sh).
relay_params "$work/server.dat" 57=1 58=0 59=0 60=1 610=0 611=0 54=1 55=127.0.0.1
relay_params "$work/client.dat" 57=0 58=1 59=1 60=0 610=0 611=0 54=0 55=127.0.0.1
python3 "$bench_tool" --termios relay \
  --cmd "bench/tcp_pair.sh portavigilant $pv_program $work/server.dat $work/client.dat {A} {B}" \
  --label portavigilant \
  --cmd "bench/tcp_pair.sh socat {A} {B}" --label socat \
  "$@"
