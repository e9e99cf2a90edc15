#!/usr/bin/env bash
# Takes docs/terminal-window.png: the terminal window under Xvfb, standing in for Comport B,
# while Comport A is a pseudo-terminal (socat) with a small shell-like device on its far end
# that echoes what is typed and answers in colour.
# Usage: docs/terminal-screenshot.sh [build dir] [output file]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
out="$(realpath -m "${2:-docs/terminal-window.png}")"
program="$(realpath "$build/src/portavigilant")"
for tool in xvfb-run socat python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

socat "pty,raw,echo=0,link=$work/devA" "pty,raw,echo=0,link=$work/farA" &
pids+=($!)
for _ in $(seq 50); do
  [ -e "$work/farA" ] && break
  sleep 0.1
done

# The device: echoes each byte as a shell does and answers a few commands.
python3 - "$work/farA" <<'PY' &
import os, sys, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
prompt = b"\x1b[01;32mroot@board\x1b[0m:\x1b[01;34m~\x1b[0m# "
answers = {
    b"uname -a": b"Linux board 6.1.55-armv7 #1 SMP PREEMPT armv7l GNU/Linux\r\n",
    b"ls /etc/init.d": b"\x1b[01;32mS01syslogd\x1b[0m  \x1b[01;32mS02klogd\x1b[0m  "
                       b"\x1b[01;32mS40network\x1b[0m  \x1b[01;32mS50modbus\x1b[0m  rcS\r\n",
    b"cat /proc/uptime": b"5417.32 10652.18\r\n",
}
os.write(fd, b"\r\nWelcome to board (ttyS0)\r\n" + prompt)
line = b""
while True:
    data = os.read(fd, 256)
    for byte in data:
        c = bytes([byte])
        if c == b"\r":
            os.write(fd, b"\r\n" + answers.get(line, b"") + prompt)
            line = b""
        elif c != b"\n":
            os.write(fd, c)
            line += c
PY
pids+=($!)

(cd "$work" && PV_NO_UPDATE_CHECK=1 PV_SCREENSHOT="$out" PV_SCREENSHOT_DEVICES="$work/devA" \
  PV_SCREENSHOT_TERMINAL="uname -a|ls /etc/init.d|cat /proc/uptime" PV_SCREENSHOT_DELAY_MS=4500 \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$program")
echo "wrote $out"
