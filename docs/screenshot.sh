#!/usr/bin/env bash
# Takes the main window under Xvfb with both sides started on pseudo-terminals (socat) and a
# device and its host talking through it in both directions, on two screens: 1600 x 1000
# (docs/main-window.png) and the smallest screen served, 1024 x 600
# (docs/main-window-1024x600.png).
# Usage: docs/screenshot.sh [build dir] [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
outdir="$(realpath -m "${2:-docs}")"
program="$(realpath "$build/src/portavigilant")"
for tool in xvfb-run socat; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Two cables: the monitor opens devA and devB, the "host" talks on farA, the "device" on farB.
for side in A B; do
  socat "pty,raw,echo=0,link=$work/dev$side" "pty,raw,echo=0,link=$work/far$side" &
  pids+=($!)
done
for _ in $(seq 50); do
  [ -e "$work/farA" ] && [ -e "$work/farB" ] && break
  sleep 0.1
done

# Host asks, device answers, a few times a second until the picture is taken.
(
  trap 'kill $(jobs -p) 2>/dev/null; exit 0' TERM EXIT
  exec 3<>"$work/farA" 4<>"$work/farB"
  cat <&3 >/dev/null 2>&1 &
  cat <&4 >/dev/null 2>&1 &
  n=0
  while true; do
    n=$((n + 1))
    printf 'AT+CSQ?\r' >&3
    sleep 0.15
    printf '\r\n+CSQ: %d,99\r\n\r\nOK\r\n' $((n % 32)) >&4
    sleep 0.15
  done
) &
pids+=($!)

# Run in the scratch folder: the parameter file the program reads and writes stays there.
for shot in 1600x1000:main-window.png 1024x600:main-window-1024x600.png; do
  screen="${shot%%:*}"
  out="$outdir/${shot#*:}"
  (cd "$work" && PV_NO_UPDATE_CHECK=1 PV_SCREENSHOT="$out" \
    PV_SCREENSHOT_DEVICES="$work/devA,$work/devB" PV_SCREENSHOT_DELAY_MS=4000 \
    xvfb-run -a -s "-screen 0 ${screen}x24" "$program")
  echo "wrote $out ($screen screen)"
done
