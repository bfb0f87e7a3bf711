#!/bin/sh
# Wine sessions for the programs of a build tree. A session is one private Wine prefix (never
# ~/.wine) with its wineserver and, for callers without a display, an Xvfb of its own; its
# state is kept in PREFIX/.halvoran-session. Every caller of "start" uses the session until its
# "stop": the last user to stop ends the session's wineserver (which saves the prefix's
# registry) and its Xvfb, and nothing else. Sessions of other prefixes, of this tree or another,
# are never touched.
#   wine-session.sh start BUILD_DIR   (safe to call before every program)
#   wine-session.sh stop BUILD_DIR
# The prefix is $HALVORAN_WINEPREFIX when set, else the tree's own (BUILD_DIR/wineprefix). The
# user is the calling process: a user that ended without "stop" is dropped at the next call.
set -u
cmd=${1:?start or stop}
build=$(cd "${2:?build directory}" && pwd)
# The caller's own display, before the tree's settings add the session's.
caller_display=${DISPLAY:-}
if [ ! -f "$build/wine-env.sh" ]; then
    echo "$build is not a configured build tree" >&2
    exit 1
fi
. "$build/wine-env.sh"
state="$WINEPREFIX/.halvoran-session"
log="$state/session.log"
user=$PPID

# The start time of process $1 (in clock ticks after boot), empty when it has ended: with the
# process id, it tells the process apart from a later one given the same id.
started() {
    sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | awk '$1 != "Z" { print $20 }'
}

# Drops the users that have ended.
prune_users() {
    for file in "$state"/users/*; do
        [ -f "$file" ] || continue
        if [ "$(started "${file##*/}")" != "$(cat "$file")" ]; then rm -f "$file"; fi
    done
}

# True while the session's Xvfb runs.
xvfb_running() {
    [ -f "$state/xvfb" ] && [ -f "$state/display" ] || return 1
    read -r pid start <"$state/xvfb"
    [ "$(started "$pid")" = "$start" ]
}

# Starts an Xvfb on a free display. The display is taken under a lock shared by every session on
# this machine, and recorded only once the server answers (-displayfd: it writes the number
# when ready for clients).
start_xvfb() {
    exec 8>/tmp/halvoran-xvfb.lock
    flock 8
    n=90
    tries=0
    while :; do
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        : >"$state/displayfd"
        Xvfb ":$n" -displayfd 7 -screen 0 1280x800x24 -nolisten tcp 7>"$state/displayfd" \
            >>"$log" 2>&1 </dev/null 8>&- 9>&- &
        pid=$!
        i=0
        while [ ! -s "$state/displayfd" ] && kill -0 "$pid" 2>/dev/null && [ $i -lt 300 ]; do
            sleep 0.1
            i=$((i + 1))
        done
        if [ -s "$state/displayfd" ] && kill -0 "$pid" 2>/dev/null; then
            break
        fi
        # Another server took the display first, or this one never answered.
        kill "$pid" 2>/dev/null
        tries=$((tries + 1))
        if [ $tries -ge 10 ]; then
            echo "wine-session: no Xvfb could start, see $log" >&2
            exit 1
        fi
        n=$((n + 1))
    done
    echo "$pid $(started "$pid")" >"$state/xvfb"
    echo ":$(tr -d '\n' <"$state/displayfd")" >"$state/display"
    rm -f "$state/displayfd"
    exec 8>&-
}

# Ends the session's Xvfb, if it still runs.
stop_xvfb() {
    if xvfb_running; then
        kill "$pid"
    fi
    rm -f "$state/xvfb" "$state/display"
}

case "$cmd" in
start)
    mkdir -p "$state/users"
    exec 9>"$state/lock"
    flock 9
    prune_users
    started "$user" >"$state/users/$user"
    if [ -n "$caller_display" ]; then
        DISPLAY=$caller_display
    else
        xvfb_running || { stop_xvfb && start_xvfb; }
        DISPLAY=$(cat "$state/display")
    fi
    export DISPLAY
    # One persistent server while the session has users; while it runs, this returns at once.
    wineserver -p >>"$log" 2>&1 </dev/null 9>&- || true
    if [ ! -f "$WINEPREFIX/.session-ready" ]; then
        "$WINE" wineboot -i >>"$log" 2>&1 </dev/null 9>&- || {
            echo "wineboot failed, see $log" >&2
            exit 1
        }
        # Windows are left to Wine rather than a window manager: with none running (Xvfb),
        # Wine would otherwise wait for one each time a framed window is hidden.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            >>"$log" 2>&1 </dev/null 9>&-
        touch "$WINEPREFIX/.session-ready"
    fi
    ;;
stop)
    [ -d "$state/users" ] || exit 0
    exec 9>"$state/lock"
    flock 9
    rm -f "$state/users/$user"
    prune_users
    if [ -z "$(ls "$state/users")" ]; then
        # The last user: end the prefix's programs and server (saving the registry), then the
        # display.
        wineserver -k >/dev/null 2>&1 </dev/null 9>&-
        wineserver -w >/dev/null 2>&1 </dev/null 9>&-
        stop_xvfb
    fi
    ;;
*)
    echo "usage: $0 start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac
