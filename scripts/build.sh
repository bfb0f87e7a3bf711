#!/bin/sh
# Configures and builds one architecture's tree:
#   scripts/build.sh i686|x86_64 [BUILD_DIR [CMAKE_OPTION...]]   (options: first configuration)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?i686 or x86_64}
build=${2:-$root/build/$arch}
[ $# -ge 2 ] && shift 2 || shift $#
mkdir -p "$(dirname "$build")"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log"; exit 1; }
fi
cmake --build "$build" -j "$(nproc)"
