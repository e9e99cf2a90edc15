#!/usr/bin/env bash
# Serial to serial across an RFC 2217 connection of two headless instances on 127.0.0.1 (one
# offers its side B as an RFC 2217 port, the other's side A is its rfc2217:// client), next to
# the same two instances joined by their TCP link, in one interleaved run:
#   bench/relay_rfc2217.sh [extra relay_bench.py arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/relay_lib.sh
relay_build
relay_require_options --params --rfc2217-b
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
relay_params "$work/plain.dat"
# As bench/relay_tcp.sh sets up the TCP link.
relay_params "$work/server.dat" 57=1 58=0 59=0 60=1 610=0 611=0 54=1 55=127.0.0.1
relay_params "$work/client.dat" 57=0 58=1 59=1 60=0 610=0 611=0 54=0 55=127.0.0.1
python3 "$bench_tool" --termios relay \
  --cmd "bench/rfc2217_pair.sh $pv_program $work/plain.dat {A} {B}" --label rfc2217 \
  --cmd "bench/tcp_pair.sh portavigilant $pv_program $work/server.dat $work/client.dat {A} {B}" \
  --label tcp-link \
  "$@"
