#!/bin/sh
# Configures and builds one architecture's tree: scripts/build.sh i686|x86_64 [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?i686 or x86_64}
build=${2:-$root/build/$arch}
mkdir -p "$(dirname "$build")"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log"; exit 1; }
fi
cmake --build "$build" -j "$(nproc)"
