#!/bin/sh
# Builds the program only and opens it under Wine (the README's run command): on the display,
# until it is closed; with none, under Xvfb, where the painted window is saved as
# build/screenshot.png (its path printed) and the program closed as a user closes it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arch=$(sh "$root/scripts/arch.sh")
build="$root/build/$arch"
if [ "${1:-}" != --screenshot ]; then
    "$root/scripts/setup.sh" run
    sh "$root/scripts/build.sh" "$arch" --target Halvoran
    # No display: the rest of this script under an Xvfb of its own, for the screenshot.
    [ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x800x24" sh "$0" --screenshot
fi

# A Wine prefix and server of its own, beside the tests' of the same tree: a test run at the
# same time never sees this window, and the close below reaches only this program.
export HALVORAN_WINEPREFIX="$build/wineprefix-run"
work=$(mktemp -d)
trap 'sh "$root/scripts/wine-server.sh" down "$build"; rm -rf "$work"' EXIT
sh "$root/scripts/wine-server.sh" up "$build"
[ "${1:-}" = --screenshot ] || { "$build/wine-run.sh" "$build/Halvoran.exe"; exit; }

. "$build/wine-env.sh"
log="$build/run.log"
"$WINE" "$build/Halvoran.exe" >"$log" 2>&1 </dev/null &
program=$!
# The window is mapped only once the device list has been filled. Capture it until two
# captures in a row are the same (the controls have finished painting), for 60 s at most.
for _ in $(seq 300); do
    if xwd -silent -name Halvoran -out "$work/new.xwd" 2>/dev/null; then
        cmp -s "$work/new.xwd" "$work/last.xwd" && break
        mv "$work/new.xwd" "$work/last.xwd"
    fi
    kill -0 "$program" 2>/dev/null || { echo "run: Halvoran ended early (see $log)" >&2; exit 1; }
    sleep 0.2
done
[ -f "$work/new.xwd" ] || { echo "run: no Halvoran window after 60 s (see $log)" >&2; exit 1; }
/usr/bin/convert "xwd:$work/last.xwd" "$root/build/screenshot.png"
echo "$root/build/screenshot.png"

# Asks every window of the program to close (WM_CLOSE), as the close box does.
"$WINE" taskkill /im Halvoran.exe >>"$log" 2>&1 </dev/null || true
wait "$program" || { rc=$?; echo "run: Halvoran ended with code $rc (see $log)" >&2; exit $rc; }
