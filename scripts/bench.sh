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

"$root/scripts/setup.sh" gnuplot-nox
mkdir -p "$root/build"
echo "bench: building $build"
"$root/scripts/build.sh" "$arch" "$build" -DHALVORAN_TESTS=OFF >"$build.build.log" 2>&1 ||
    { tail -30 "$build.build.log"; exit 1; }
. "$build/wine-env.sh"
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

# A fresh prefix: wineboot once into a template, then copies.
make_prefix() {
    target=$1
    template="$build/bench-prefix-template"
    if [ ! -f "$template/.booted" ]; then
        echo "bench: creating a Wine prefix (once)"
        rm -rf "$template"
        WINEPREFIX="$template" "$WINE" wineboot -i >"$build/bench-wineboot.log" 2>&1 </dev/null
        # As in the test prefix: windows left to Wine, since Xvfb runs no window manager and
        # Wine would otherwise wait for one each time a framed window is hidden.
        WINEPREFIX="$template" "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed \
            /t REG_SZ /d N /f >>"$build/bench-wineboot.log" 2>&1 </dev/null
        WINEPREFIX="$template" wineserver -w
        touch "$template/.booted"
    fi
    rm -rf "$target"
    cp -a "$template" "$target"
    rm -f "$target/.booted"
}

# Populates $WINEPREFIX with N devices unless it already holds this plan's N devices.
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
    wineserver -w # the registry is saved when the server ends
    echo "$n $plan_version" >"$marker"
    echo "bench: populated $n devices in $(($(date +%s) - t0)) s"
}

if [ "${1:-}" = "--populate-only" ]; then
    n=${2:?number of devices}
    WINEPREFIX=$(mkdir -p "${3:?prefix folder}" && cd "$3" && pwd)
    export WINEPREFIX
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINE" wineboot -i >"$build/bench-wineboot.log" 2>&1 </dev/null
        wineserver -w
    fi
    populate "$n"
    exit 0
fi

full=""
if [ "${1:-}" = "--full" ]; then
    full=full
    shift
fi
sizes=${*:-200 2000 10000}

# A display for the windows: the one given, else a private Xvfb for this run.
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    d=110
    while [ -e "/tmp/.X11-unix/X$d" ] || [ -e "/tmp/.X$d-lock" ]; do d=$((d + 1)); done
    Xvfb ":$d" -screen 0 1280x800x24 -nolisten tcp >"$build/bench-xvfb.log" 2>&1 </dev/null &
    xvfb_pid=$!
    i=0
    while [ ! -e "/tmp/.X11-unix/X$d" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    DISPLAY=":$d"
    export DISPLAY
fi

results=""
for n in $sizes; do
    WINEPREFIX="$build/bench-prefix-$n"
    export WINEPREFIX
    marker="$WINEPREFIX/.halvoran-bench-devices"
    if [ ! -f "$marker" ] || [ "$(cat "$marker")" != "$n $plan_version" ]; then
        make_prefix "$WINEPREFIX"
    fi
    populate "$n"
    # The stability run (1,000 category changes, 100 exports) at workstation sizes only.
    soak=""
    [ "$n" -le 500 ] && soak=soak
    t0=$(date +%s)
    run_wine "$bench_exe" measure "$n" "$(winpath "$build/Halvoran.exe")" \
        "$(winpath "$build/bench/halvoran_bare_window.exe")" \
        "$(winpath "$build/bench-results-$n.txt")" $soak $full
    wineserver -w
    echo "bench: measured $n devices in $(($(date +%s) - t0)) s"
    results="$results $(winpath "$build/bench-results-$n.txt")"
done

echo
WINEPREFIX="$build/bench-prefix-$(echo $sizes | cut -d' ' -f1)"
export WINEPREFIX
# shellcheck disable=SC2086
run_wine "$bench_exe" table $results | tee "$build/bench-table.txt"
# shellcheck disable=SC2086
run_wine "$bench_exe" chart $results | tr -d '\r' >"$build/bench-chart.dat"
wineserver -w
gnuplot -e "data='$build/bench-chart.dat'; output='$build/bench-chart.png'; build='$arch'" \
    "$root/scripts/bench-chart.gp"
echo
echo "bench: whole run $(($(date +%s) - started)) s (table in $build/bench-table.txt," \
    "chart in $build/bench-chart.png)"
