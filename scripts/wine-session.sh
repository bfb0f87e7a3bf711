#!/bin/sh
# Keeps one Wine session per build tree: a private prefix, one persistent wineserver and,
# when there is no display, one Xvfb. Never touches ~/.wine.
#   wine-session.sh start BUILD_DIR   (idempotent; safe to call before every program)
#   wine-session.sh stop BUILD_DIR
set -u
cmd=${1:?start or stop}
build=$(cd "${2:?build directory}" && pwd)
if [ -f "$build/wine-env.sh" ]; then . "$build/wine-env.sh"; elif [ "$cmd" = start ]; then
    echo "$build is not a configured build tree" >&2
    exit 1
fi
log="$build/wine-session.log"

start_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    if [ -f "$build/.display" ] && [ -f "$build/.xvfb.pid" ] &&
        kill -0 "$(cat "$build/.xvfb.pid")" 2>/dev/null; then
        return 0
    fi
    n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >>"$log" 2>&1 </dev/null 9>&- &
    echo $! >"$build/.xvfb.pid"
    i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    echo ":$n" >"$build/.display"
}

case "$cmd" in
start)
    exec 9>"$build/.wine-session.lock"
    flock 9
    start_display
    if [ -z "${DISPLAY:-}" ]; then DISPLAY=$(cat "$build/.display"); export DISPLAY; fi
    mkdir -p "$WINEPREFIX"
    # One persistent server for the whole run; while it runs, this call returns at once.
    wineserver -p >>"$log" 2>&1 </dev/null 9>&- || true
    if [ ! -f "$WINEPREFIX/.session-ready" ]; then
        "$WINE" wineboot -i >>"$log" 2>&1 </dev/null 9>&- || { echo "wineboot failed, see $log" >&2; exit 1; }
        # Windows are left to Wine rather than a window manager: with none running (Xvfb),
        # Wine would otherwise wait for one each time a framed window is hidden.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            >>"$log" 2>&1 </dev/null 9>&-
        touch "$WINEPREFIX/.session-ready"
    fi
    ;;
stop)
    if [ -f "$build/wine-env.sh" ]; then
        wineserver -k >/dev/null 2>&1 </dev/null
    fi
    if [ -f "$build/.xvfb.pid" ]; then
        kill "$(cat "$build/.xvfb.pid")" 2>/dev/null
        rm -f "$build/.xvfb.pid" "$build/.display"
    fi
    ;;
*)
    echo "usage: $0 start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac
