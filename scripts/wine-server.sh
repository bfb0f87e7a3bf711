#!/bin/sh
# scripts/wine-server.sh up|down BUILD_DIR: the wineserver of one run's private Wine prefix
# (BUILD_DIR's own unless HALVORAN_WINEPREFIX names another; never ~/.wine). up boots it once and
# keeps its server up; down ends its programs and server (saving the registry), nothing else.
set -eu
. "$(cd "${2:?build directory}" && pwd)/wine-env.sh"
mkdir -p "$WINEPREFIX"
log="$WINEPREFIX/.wine-server.log"
case "${1:?up or down}" in
up)
    # Exit code 2: the prefix's server is up already.
    wineserver -p >>"$log" 2>&1 </dev/null || [ $? -eq 2 ]
    if [ ! -f "$WINEPREFIX/.halvoran-ready" ]; then
        "$WINE" wineboot -i >>"$log" 2>&1 </dev/null ||
            { echo "wine-server: wineboot failed, see $log" >&2; exit 1; }
        # Windows are left to Wine rather than a window manager: with none (Xvfb), Wine would
        # otherwise wait for one each time a framed window is hidden.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            >>"$log" 2>&1 </dev/null
        touch "$WINEPREFIX/.halvoran-ready"
    fi
    ;;
down) { wineserver -k; wineserver -w; } >>"$log" 2>&1 </dev/null || true ;;
*) echo "usage: $0 up|down BUILD_DIR" >&2; exit 2 ;;
esac
