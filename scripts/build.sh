#!/bin/sh
# Configures one architecture's tree from its preset (mingw-i686 or mingw-x86_64 in
# CMakePresets.json) and builds it:
#   scripts/build.sh i686|x86_64 [--dir BUILD_DIR] [--target TARGET]... [-DNAME=VALUE]...
# BUILD_DIR is the preset's (build/<arch>) unless given. The tree is configured afresh whenever
# the options asked for, or the presets, differ from those it was configured with (remembered
# in BUILD_DIR/.build-options). One build of a tree at a time: another waits for it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?i686 or x86_64}
shift
preset="mingw-$arch"
build="$root/build/$arch"
targets=""
options=""
while [ $# -gt 0 ]; do
    case "$1" in
    --dir) build=${2:?build directory}; shift 2 ;;
    --target) targets="$targets --target ${2:?target}"; shift 2 ;;
    -D*) options="$options $1"; shift ;;
    *) echo "build: unknown argument $1" >&2; exit 2 ;;
    esac
done
mkdir -p "$build"
build=$(cd "$build" && pwd)

exec 8>"$build/.build.lock"
flock 8
wanted="$preset$options presets $(md5sum <"$root/CMakePresets.json" | cut -c1-32)"
if [ ! -f "$build/CMakeCache.txt" ] || [ "$(cat "$build/.build-options" 2>/dev/null)" != "$wanted" ]
then
    fresh=""
    [ -f "$build/CMakeCache.txt" ] && fresh=--fresh
    rm -f "$build/.build-options"
    # shellcheck disable=SC2086
    cmake -S "$root" --preset "$preset" -B "$build" $fresh $options >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log"; exit 1; }
    sed -n "/^CMake Warning/,/^$/p" "$build.configure.log"
    echo "$wanted" >"$build/.build-options"
fi
# shellcheck disable=SC2086
cmake --build "$build" $targets -j "$(nproc)"
