#!/bin/sh
# Benchmark of Halvoran at realistic scale, under Wine, in private prefixes (never ~/.wine).
#
#   scripts/bench.sh [--full] [N...]            measure with N devices (default: 200 2000 10000);
#                                               --full makes three pairs, not one, of each
#                                               figure at 10000 and adds the walk alone
#   scripts/bench.sh --populate-only N PREFIX   make PREFIX (a Wine prefix folder) hold N
#                                               realistic devices, e.g. for a screenshot
#
# Builds the tree build/bench-<arch> for the architecture Wine runs here, keeps one prefix per
# size under it (populated once, reused while bench/populate.cpp is unchanged), measures each
# size with build/bench-<arch>/bench/halvoran_bench.exe, prints one table and draws the chart
# build/bench-<arch>/bench-chart.png (docs/benchmark.png is a copy of one).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arch=$("$root/scripts/arch.sh")
build="$root/build/bench-$arch"
started=$(date +%s)

"$root/scripts/setup.sh" bench
mkdir -p "$root/build"
echo "bench: building $build"
"$root/scripts/build.sh" "$arch" --dir "$build" -DHALVORAN_TESTS=OFF >"$build.build.log" 2>&1 ||
    { tail -30 "$build.build.log"; exit 1; }
bench_exe="$build/bench/halvoran_bench.exe"
plan_version=$(cat "$root/bench/populate.cpp" | md5sum | cut -c1-12)

# Windows paths of files in the Linux tree, for the benchmark's command line.
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

# Runs a Windows program of this tree in the prefix $WINEPREFIX; its output goes through a
# file (Wine's helper processes inherit the standard handles).
run_wine() {
    log=$(mktemp "$build/.bench-run.XXXXXX")
    status=0
    "$WINE" "$@" >"$log" 2>&1 </dev/null || status=$?
    cat "$log"
    rm -f "$log"
    return $status
}

# Wine sessions (scripts/wine-session.sh), one prefix at a time: the prefix's server and, unless
# DISPLAY is set, a display of its own. Stopping the session ends the prefix's programs and saves
# its registry.
user_display=${DISPLAY:-}
session=""
session_start() {
    if [ -n "$user_display" ]; then DISPLAY=$user_display; export DISPLAY; else unset DISPLAY; fi
    HALVORAN_WINEPREFIX=$1
    export HALVORAN_WINEPREFIX
    session=$1
    "$root/scripts/wine-session.sh" start "$build"
    . "$build/wine-env.sh"
}
session_stop() {
    "$root/scripts/wine-session.sh" stop "$build"
    session=""
}
trap '[ -z "$session" ] || session_stop' EXIT

# A fresh prefix: booted once into a template (by its first session), then copies.
make_prefix() {
    target=$1
    template="$build/bench-prefix-template"
    if [ ! -f "$template/.session-ready" ]; then
        echo "bench: creating a Wine prefix (once)"
        rm -rf "$template"
        session_start "$template"
        session_stop
    fi
    rm -rf "$target"
    cp -a "$template" "$target"
    rm -rf "$target/.halvoran-session"
}

# Populates the session's prefix with N devices unless it already holds this plan's N devices.
populate() {
    n=$1
    marker="$WINEPREFIX/.halvoran-bench-devices"
    if [ -f "$marker" ] && [ "$(cat "$marker")" = "$n $plan_version" ]; then
        echo "bench: $WINEPREFIX already holds $n devices"
        return 0
    fi
    if [ -f "$marker" ]; then
        echo "bench: $WINEPREFIX holds other devices ($(cat "$marker")); use a fresh prefix" >&2
        return 1
    fi
    t0=$(date +%s)
    run_wine "$bench_exe" populate "$n"
    # The registry is saved when the session ends.
    prefix=$WINEPREFIX
    session_stop
    echo "$n $plan_version" >"$marker"
    echo "bench: populated $n devices in $(($(date +%s) - t0)) s"
    session_start "$prefix"
}

if [ "${1:-}" = "--populate-only" ]; then
    n=${2:?number of devices}
    session_start "$(mkdir -p "${3:?prefix folder}" && cd "$3" && pwd)"
    populate "$n"
    session_stop
    exit 0
fi

full=""
if [ "${1:-}" = "--full" ]; then
    full=full
    shift
fi
sizes=${*:-200 2000 10000}

results=""
for n in $sizes; do
    prefix="$build/bench-prefix-$n"
    marker="$prefix/.halvoran-bench-devices"
    if [ ! -f "$marker" ] || [ "$(cat "$marker")" != "$n $plan_version" ]; then
        make_prefix "$prefix"
    fi
    session_start "$prefix"
    populate "$n"
    # The stability run (1,000 category changes, 100 exports) at workstation sizes only.
    soak=""
    [ "$n" -le 500 ] && soak=soak
    t0=$(date +%s)
    run_wine "$bench_exe" measure "$n" "$(winpath "$build/Halvoran.exe")" \
        "$(winpath "$build/bench/halvoran_bare_window.exe")" \
        "$(winpath "$build/bench-results-$n.txt")" $soak $full
    session_stop
    echo "bench: measured $n devices in $(($(date +%s) - t0)) s"
    results="$results $(winpath "$build/bench-results-$n.txt")"
done

echo
session_start "$build/bench-prefix-$(echo "$sizes" | cut -d' ' -f1)"
# shellcheck disable=SC2086
run_wine "$bench_exe" table $results | tee "$build/bench-table.txt"
# shellcheck disable=SC2086
run_wine "$bench_exe" chart $results | tr -d '\r' >"$build/bench-chart.dat"
session_stop
gnuplot -e "data='$build/bench-chart.dat'; output='$build/bench-chart.png'; build='$arch'" \
    "$root/scripts/bench-chart.gp"
echo
echo "bench: whole run $(($(date +%s) - started)) s (table in $build/bench-table.txt," \
    "chart in $build/bench-chart.png)"
