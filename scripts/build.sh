#!/bin/sh
# Configures and builds one architecture's tree, build/<arch>, from its preset (mingw-<arch>):
#   scripts/build.sh i686|x86_64 [--target TARGET]...
# One build of a tree at a time: another waits for it.
set -eu
arch=${1:?i686 or x86_64} && shift
cd "$(dirname "$0")/.." && mkdir -p build
exec 8>"build/.$arch.lock" && flock 8
log="build/$arch.configure.log"
cmake --preset "mingw-$arch" >"$log" 2>&1 || { cat "$log"; exit 1; }
sed -n '/^CMake Warning/,/^$/p' "$log"
cmake --build --preset "mingw-$arch" -j "$(nproc)" "$@"
