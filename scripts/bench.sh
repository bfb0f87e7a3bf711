#!/bin/sh
# The benchmark, under Wine in prefixes of its own (usage, method and figures: BENCHMARKS.md):
#   sh scripts/bench.sh                            200, 2,000 and 10,000 devices
#   sh scripts/bench.sh --populate-only N PREFIX   a prefix holding N devices, e.g. for a screenshot
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/$("$root/scripts/arch.sh")"
bench="$build/bench"
if [ -z "${HALVORAN_BENCH_START:-}" ]; then
    HALVORAN_BENCH_START=$(date +%s) && export HALVORAN_BENCH_START
    "$root/scripts/setup.sh" bench
    "$root/scripts/build.sh" "$(basename "$build")" --target Halvoran --target halvoran_bench
    # One display for the whole run: the caller's, else an Xvfb of its own.
    [ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x800x24" sh "$0" "$@"
fi
csv="$bench/benchmark.csv" stamp="$(md5sum <"$root/bench/populate.cpp" | cut -c1-12)"
win() { echo "Z:$1" | sed 's|/|\\|g'; }
# The benchmark under Wine; its output through a file (Wine's helpers inherit standard handles).
wine_bench() { "$WINE" "$bench/halvoran_bench.exe" "$@" >"$bench/wine.log" 2>&1 </dev/null ||
    { cat "$bench/wine.log"; return 1; }; }
# Runs a command with the server of the prefix $1 up, and ends the server after it.
in_prefix() {
    HALVORAN_WINEPREFIX=$1 && export HALVORAN_WINEPREFIX && shift
    "$root/scripts/wine-server.sh" up "$build"
    . "$build/wine-env.sh"
    "$@"
    "$root/scripts/wine-server.sh" down "$build"
    unset HALVORAN_WINEPREFIX
}
trap '[ -z "${HALVORAN_WINEPREFIX:-}" ] || "$root/scripts/wine-server.sh" down "$build"' EXIT
# Makes the prefix $2 hold $1 devices of this generator, once (a fresh prefix, or one it made).
populate() {
    [ "$(cat "$2/.bench-devices" 2>/dev/null)" = "$1 $stamp" ] && return 0
    in_prefix "$2" wine_bench populate "$1"
    echo "$1 $stamp" >"$2/.bench-devices"
}
[ "${1:-}" != --populate-only ] ||
    { populate "${2:?devices}" "$(mkdir -p "${3:?prefix}" && cd "$3" && pwd)"; exit 0; }
measure() {
    wine_bench measure "$1" "$2" "$(win "$build/Halvoran.exe")" "$(win "$csv")"
    wine_bench memory walk "$(win "$csv")"
    wine_bench memory floor "$(win "$csv")"
}
echo "build,devices,figure,pairs,median,base,ratio,lowest,highest" >"$csv"
# Each size: devices, pairs of the fill and of the export, pairs of the start-up.
for size in 200:15:7 2000:4:3 10000:2:1; do
    n=${size%%:*} pairs=${size#*:} prefix="$bench/prefix-${size%%:*}"
    if [ "$(cat "$prefix/.bench-devices" 2>/dev/null)" != "$n $stamp" ]; then
        [ -d "$bench/prefix-booted" ] || in_prefix "$bench/prefix-booted" true
        rm -rf "$prefix" && cp -a "$bench/prefix-booted" "$prefix"
        populate "$n" "$prefix"
    fi
    in_prefix "$prefix" measure "${pairs%:*}" "${pairs#*:}"
done
cp "$csv" "$root/docs/benchmark.csv"
gnuplot -e "csv='$csv'; output='$root/docs/benchmark.png'; build='$(basename "$build")'" \
    "$root/scripts/bench-chart.gp"
awk -f "$root/scripts/bench-table.awk" "$csv" "$root/BENCHMARKS.md" >"$bench/BENCHMARKS.md" &&
    mv "$bench/BENCHMARKS.md" "$root/BENCHMARKS.md"
echo "bench: $(($(date +%s) - HALVORAN_BENCH_START)) s; docs/benchmark.csv, .png and BENCHMARKS.md"
