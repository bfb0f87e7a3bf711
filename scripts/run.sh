#!/bin/sh
# Builds Halvoran and opens it under Wine (the README's run command).
# With a display, the window opens there and the command returns once it is closed. Without one,
# the program runs under Xvfb: once its window is shown and painted, a screenshot of it is saved
# as build/screenshot.png and its path printed, then the program is closed like a user closes it.
# Only the program is built, and only what building and showing it needs is installed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arch=$(sh "$root/scripts/arch.sh")
build="$root/build/$arch"
if [ "${1:-}" != --screenshot ]; then
    "$root/scripts/setup.sh" run
    sh "$root/scripts/build.sh" "$arch" --target Halvoran
    # No display: this script again, under an Xvfb of its own, for the screenshot.
    [ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x800x24" sh "$0" --screenshot
fi

# A Wine prefix and server of its own, beside the tests' of the same tree: a test run at the
# same time never sees this window (the tests look for the program's windows), and the close
# below reaches only this program.
HALVORAN_WINEPREFIX="$build/wineprefix-run"
export HALVORAN_WINEPREFIX
work=$(mktemp -d)
trap 'sh "$root/scripts/wine-server.sh" down "$build"; rm -rf "$work"' EXIT
sh "$root/scripts/wine-server.sh" up "$build"
if [ "${1:-}" != --screenshot ]; then
    "$build/wine-run.sh" "$build/Halvoran.exe"
    exit
fi

. "$build/wine-env.sh"
log="$build/run.log"
"$WINE" "$build/Halvoran.exe" >"$log" 2>&1 </dev/null &
program=$!

# The window is mapped only once the device list has been filled. Capture it until two
# captures in a row are the same: the controls have finished painting.
tries=0
while :; do
    if xwd -silent -name Halvoran -out "$work/new.xwd" 2>/dev/null; then
        if [ -f "$work/last.xwd" ] && cmp -s "$work/new.xwd" "$work/last.xwd"; then
            break
        fi
        mv "$work/new.xwd" "$work/last.xwd"
    fi
    if ! kill -0 "$program" 2>/dev/null; then
        echo "run: Halvoran ended before showing its window (see $log)" >&2
        exit 1
    fi
    tries=$((tries + 1))
    if [ "$tries" -ge 300 ]; then
        echo "run: no Halvoran window after 60 s (see $log)" >&2
        exit 1
    fi
    sleep 0.2
done

screenshot="$root/build/screenshot.png"
/usr/bin/convert "xwd:$work/last.xwd" "$screenshot"
echo "$screenshot"

# Asks every window of the program to close (WM_CLOSE), as the close box does.
"$WINE" taskkill /im Halvoran.exe >>"$log" 2>&1 </dev/null || true
status=0
wait "$program" || status=$?
if [ "$status" -ne 0 ]; then
    echo "run: Halvoran ended with exit code $status (see $log)" >&2
fi
exit "$status"
