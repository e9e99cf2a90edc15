#!/usr/bin/env bash
# One relay made of two instances joined by RFC 2217 on 127.0.0.1, for relay_bench.py:
#   {A} <-> instance 1 (side B offered as an RFC 2217 port)
#       <-> instance 2 (side A its rfc2217:// client) <-> {B}
#   rfc2217_pair.sh PROGRAM PARAMS.dat A B
# A free port is chosen each time; once instance 1 listens, this shell becomes instance 2.
set -euo pipefail
cd "$(dirname "$0")/.."
program="$1" params="$2" a="$3" b="$4"
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
"$program" --headless --params "$params" --device-a "$a" --rfc2217-b "127.0.0.1:$port" 2>/dev/null &
hex="$(printf ':%04X ' "$port")"
for _ in $(seq 500); do
    grep -qs "$hex[0-9A-F:]* 0A " /proc/net/tcp && break
    kill -0 $! 2>/dev/null || { echo "rfc2217_pair.sh: instance 1 ended" >&2; exit 1; }
    sleep 0.01
done
exec "$program" --headless --params "$params" --device-a "rfc2217://127.0.0.1:$port" \
    --device-b "$b" 2>/dev/null
