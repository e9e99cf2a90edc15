#!/usr/bin/env bash
# The packaging check: installs the built program into a temporary prefix and runs it from
# there, tries the manual page and the bash completion against its options, builds the Debian
# package from the same build tree and lists it, and lints both where the tools are installed
# (scripts/deps.sh installs them).
#   package_check.sh BUILD_DIR VERSION
set -euo pipefail
build="$(realpath "$1")"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
metainfo=share/metainfo/org.portavigilant.PortaVigilant.metainfo.xml
expected=(
  bin/portavigilant
  share/applications/portavigilant.desktop
  share/icons/hicolor/scalable/apps/portavigilant.svg
  "$metainfo"
  share/man/man1/portavigilant.1.gz
  share/bash-completion/completions/portavigilant
  share/doc/portavigilant/copyright
  share/doc/portavigilant/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/portavigilant.png")
done
echo "Installed into a temporary prefix:"
(cd "$prefix" && find . -type f | sort | sed 's/^\./  /')
for file in "${expected[@]}"; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done

program="$prefix/bin/portavigilant"
[ "$("$program" --version)" = "PortaVigilant $version" ] || fail "--version says '$("$program" --version)'"
usage="$("$program" --help)" || fail "--help ended with an error"
mapfile -t options < <(grep -oE '^  --[a-z0-9-]+' <<<"$usage" | tr -d ' ')
[ ${#options[@]} -ge 2 ] || fail "--help lists no options"
echo "Options of --help: ${options[*]}"

zcat "$prefix/share/doc/portavigilant/changelog.gz" | head -n 1 | grep -qF "portavigilant ($version)" ||
  fail "the changelog's top entry is not version $version"

# Every option has its entry under OPTIONS, and the page renders without a complaint.
page="$(zcat "$prefix/share/man/man1/portavigilant.1.gz")"
for option in "${options[@]}"; do
  grep -qE "^\.(B|BI|BR) ${option//-/\\\\-}( |$)" <<<"$page" || fail "the manual page lacks $option"
done
if command -v man >/dev/null; then
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$prefix/share/man/man1/portavigilant.1.gz" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
fi

# The completion as bash calls it: the words so far, the last one being completed.
# shellcheck source=/dev/null
source "$prefix/share/bash-completion/completions/portavigilant"
completions() {
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _portavigilant "$program" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  echo "${COMPREPLY[*]}"
}
expect_completion() {
  local want="$1"
  shift
  local got
  got="$(completions "$@")"
  [ "$got" = "$want" ] || fail "completing '$*' gives '$got', not '$want'"
}
mkdir -p "$work/pick/logs" "$work/pick/ports"
touch "$work/pick/lab.dat"
expect_completion "${options[*]}" --
expect_completion "--device-a --device-b" --dev
expect_completion "N E O" --parity ""
expect_completion "a ab" --headless --start "=" a
expect_completion "$work/pick/lab.dat $work/pick/logs" --params "$work/pick/l"
expect_completion "$work/pick/logs $work/pick/ports" --virtual-dir "$work/pick/"
expect_completion "" --baud ""
touch "$work/pick/lab.rec"
expect_completion "$work/pick/logs $work/pick/lab.rec" --play "$work/pick/l"
echo "Completion: options, their values, files and folders"

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=("$work"/package/portavigilant_"$version"_*.deb)
[ -f "${deb[0]}" ] || { cat "$work/cpack.log"; fail "cpack made no portavigilant_${version}_*.deb"; }
echo "Package $(basename "${deb[0]}"):"
dpkg-deb -f "${deb[0]}" Package Version Architecture Depends | sed 's/^/  /'
dpkg-deb -c "${deb[0]}" | awk '{ print "  " $1, $NF }'
listing="$(dpkg-deb -c "${deb[0]}" | awk '{ print $NF }')"
for file in "${expected[@]}"; do
  grep -qxF "./usr/$file" <<<"$listing" || fail "the package lacks /usr/$file"
done
[ "$(dpkg-deb -f "${deb[0]}" Package)" = portavigilant ] || fail "package name"
depends="$(dpkg-deb -f "${deb[0]}" Depends)"
for dependency in libqt6widgets6 libqt6network6 libc6 qt6-qpa-plugins; do
  grep -qE "(^|, )$dependency( |,|$)" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done

skipped=()
if command -v lintian >/dev/null; then
  status=0
  lintian --fail-on error "${deb[0]}" >"$work/lintian.log" 2>&1 || status=$?
  echo "lintian ($(wc -l <"$work/lintian.log") lines):"
  sed 's/^/  /' "$work/lintian.log"
  [ "$status" -eq 0 ] || fail "lintian reports an error"
else
  skipped+=(lintian)
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/portavigilant.desktop" || fail "desktop-file-validate"
else
  skipped+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/$metainfo" || fail "appstreamcli validate"
else
  skipped+=(appstreamcli)
fi
if [ ${#skipped[@]} -gt 0 ]; then
  echo "SKIPPED the lint of ${skipped[*]}: not installed (scripts/deps.sh installs them)"
fi
echo "packaging check passed"
