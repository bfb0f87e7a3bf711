#!/bin/sh
# Builds Halvoran and its tests and runs every test under Wine (the README's test command).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" test

# The program is a 32-bit Windows program: its i686 build is always made and checked. Where this
# machine cannot run 32-bit code, the same sources are also built for x86_64 and the tests that
# run under Wine use that build.
mkdir -p "$root/build"
"$root/scripts/build.sh" i686
run_arch=$("$root/scripts/arch.sh")
if [ "$run_arch" != i686 ]; then
    echo "test: this machine cannot run 32-bit x86 code; running the tests on the $run_arch build"
    "$root/scripts/build.sh" "$run_arch"
    (cd "$root" && ctest --preset mingw-i686 -L host)
fi

build="$root/build/$run_arch"
trap '"$root/scripts/wine-session.sh" stop "$build"' EXIT
"$root/scripts/wine-session.sh" start "$build"
cd "$root"
ctest --preset "mingw-$run_arch"
