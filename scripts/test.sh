#!/bin/sh
# Builds Halvoran and its tests and runs every test (the README's test command).
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh test

# The i686 build, the program, is always made and checked; where this machine runs no 32-bit
# code, the tests that run under Wine use an x86_64 build of the same sources.
sh scripts/build.sh i686
arch=$(sh scripts/arch.sh)
if [ "$arch" != i686 ]; then
    echo "test: this machine cannot run 32-bit x86 code; running the tests on the $arch build"
    sh scripts/build.sh "$arch"
    ctest --preset mingw-i686 -L host
fi
# One display for the run: the caller's, else an Xvfb of its own. The fixture wine ends the
# run's wineserver, and so does the trap when ctest is interrupted.
trap 'sh scripts/wine-server.sh down "build/$arch"' EXIT
[ -n "${DISPLAY:-}" ] || set -- xvfb-run -a -s "-screen 0 1280x800x24"
"$@" ctest --preset "mingw-$arch"
