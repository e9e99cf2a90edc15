#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, and only those that are missing.
#   scripts/deps.sh         what building, running and testing need
#   scripts/deps.sh --fuzz  and clang with libFuzzer for scripts/fuzz.sh
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  python3 python3-serial socat ser2net
  xvfb xauth
  dpkg-dev fakeroot lintian desktop-file-utils appstream librsvg2-bin man-db
)
for arg in "$@"; do
  case "$arg" in
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    *) echo "unknown argument: $arg" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
