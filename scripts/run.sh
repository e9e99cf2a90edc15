#!/usr/bin/env bash
# Installs what is missing, builds, and starts PortaVigilant. Arguments go to the program
# (for example --headless --device-a /dev/ttyUSB0 --device-b /dev/ttyUSB1).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ $# -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: use the headless front end, for example" >&2
  echo "  scripts/run.sh --headless --device-a /dev/ttyUSB0 --device-b /dev/ttyUSB1" >&2
  exec build/src/portavigilant --help
fi
exec build/src/portavigilant "$@"
