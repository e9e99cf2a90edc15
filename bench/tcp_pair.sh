#!/usr/bin/env bash
# One relay made of two instances joined by TCP on 127.0.0.1, for relay_bench.py:
#   {A} <-> instance 1 (TCP server) <-> instance 2 (TCP client) <-> {B}
#   tcp_pair.sh portavigilant PROGRAM SERVER.dat CLIENT.dat A B
#   tcp_pair.sh socat A B
# A free port is chosen each time. Instance 1 runs in the background; once it listens, this
# shell becomes instance 2, so the benchmark's process group holds just the two instances.
set -euo pipefail
cd "$(dirname "$0")/.."

free_port() {
    python3 - <<'PY'
import random, socket
for port in random.sample(range(4000, 10000), 6000):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            continue
        print(port)
        break
PY
}

# Waits until some socket listens on the port (IPv4 or IPv6 table).
wait_listening() {
    local hex
    hex="$(printf ':%04X ' "$1")"
    for _ in $(seq 500); do
        if grep -qs "$hex[0-9A-F:]* 0A " /proc/net/tcp /proc/net/tcp6; then
            return 0
        fi
        kill -0 "$2" 2>/dev/null || { echo "tcp_pair.sh: instance 1 ended" >&2; exit 1; }
        sleep 0.01
    done
    echo "tcp_pair.sh: nothing listens on port $1 after 5 s" >&2
    exit 1
}

port="$(free_port)"
case "$1" in
portavigilant)
    program="$2" server="$3.$port" client="$4.$port" a="$5" b="$6"
    # Line 56 holds the TCP port; the copies stay beside the files they come from.
    python3 - "$3" "$server" "$4" "$client" "$port" <<'PY'
import sys
for source, target in ((sys.argv[1], sys.argv[2]), (sys.argv[3], sys.argv[4])):
    lines = open(source, "rb").read().split(b"\r\n")
    lines[55] = sys.argv[5].encode()
    open(target, "wb").write(b"\r\n".join(lines))
PY
    "$program" --headless --params "$server" --device-a "$a" &
    wait_listening "$port" $!
    exec "$program" --headless --params "$client" --device-b "$b"
    ;;
socat)
    a="$2" b="$3"
    socat -b 65536 "OPEN:$a,cfmakeraw" "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,nodelay" &
    wait_listening "$port" $!
    exec socat -b 65536 "TCP:127.0.0.1:$port,nodelay" "OPEN:$b,cfmakeraw"
    ;;
*)
    echo "usage: tcp_pair.sh portavigilant PROGRAM SERVER.dat CLIENT.dat A B | socat A B" >&2
    exit 2
    ;;
esac
