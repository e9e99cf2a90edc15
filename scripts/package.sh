#!/usr/bin/env bash
# Installs what is missing, builds the program in release mode with Debian's hardening flags,
# makes the Debian package portavigilant_<version>_<arch>.deb in the top folder, and lints it:
#   scripts/package.sh && sudo apt install ./portavigilant_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=build-package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DPV_BUILD_TESTS=OFF -DPV_BUILD_BENCH=OFF
rm -f portavigilant_*.deb "$dir"/portavigilant_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
mv "$dir"/portavigilant_*.deb .
deb=(portavigilant_*.deb)
lintian --fail-on error "${deb[0]}"
echo "Made ${deb[0]}; install it with: sudo apt install ./${deb[0]}"
