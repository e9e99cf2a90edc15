#!/usr/bin/env bash
# Installs what is missing, builds, and starts PortaVigilant: the main window where there is a
# display, the demo on two virtual ports where there is none. Arguments go to the program
# (for example --headless --device-a /dev/ttyUSB0 --device-b /dev/ttyUSB1).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Only the program: the tests and benchmarks wait for scripts/test.sh, which uses the same folder.
scripts/build.sh build --target portavigilant -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ $# -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the demo on two virtual ports (see --help for more)." >&2
  exec build/src/portavigilant --demo
fi
exec build/src/portavigilant "$@"
