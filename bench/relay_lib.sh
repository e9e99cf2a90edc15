# Shared by the relay benchmarks (sourced, not run): the build, the benchmark tool and the
# parameter files of the set-ups.

# The shared tool sits beside the repository (or beside the folder of its worktrees).
bench_tool="${RELAY_BENCH:-../shared/bench/relay_bench.py}"
[ -n "${RELAY_BENCH:-}" ] || [ -f "$bench_tool" ] || bench_tool="../../shared/bench/relay_bench.py"
pv_program="${PV_PROGRAM:-build-release/src/portavigilant}"

# Builds the release program unless PV_PROGRAM names one already built.
relay_build() {
    [ -f "$bench_tool" ] || { echo "relay_bench.py not found; set RELAY_BENCH" >&2; exit 2; }
    if [ -z "${PV_PROGRAM:-}" ]; then
        scripts/deps.sh
        scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DPV_BUILD_TESTS=OFF
    fi
}

# Stops with a clear message when the program lacks one of the options the set-up needs.
relay_require_options() {
    local usage missing=()
    usage="$("$pv_program" --help)"
    for option in "$@"; do
        grep -q -- "$option\b" <<<"$usage" || missing+=("$option")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "$0: $pv_program has no ${missing[*]}; this set-up needs them" >&2
        exit 2
    fi
}

# relay_params FILE LINE=VALUE...: writes the default parameter file, then replaces the given
# lines (numbered from 1), keeping the file's CR LF line ends. Only the 635 classic lines are
# kept, as another instance would write them; the file loads as such a file does.
relay_params() {
    local file="$1"
    shift
    rm -f "$file"
    "$pv_program" --headless --params "$file" --start none --save >/dev/null ||
        { echo "$0: could not write the default parameter file $file" >&2; exit 2; }
    python3 - "$file" "$@" <<'EOF'
import sys
path, edits = sys.argv[1], sys.argv[2:]
classic = 635
with open(path, "rb") as f:
    lines = f.read().split(b"\r\n")[:classic]
if len(lines) < classic:
    sys.exit(f"{path} has fewer than {classic} lines")
for edit in edits:
    number, _, value = edit.partition("=")
    lines[int(number) - 1] = value.encode("cp1252")
with open(path, "wb") as f:
    f.write(b"\r\n".join(lines) + b"\r\n")
EOF
}
