#!/bin/sh
# Installs from Debian's packages what one of the project's commands needs and is missing;
# idempotent, and root (or sudo) is needed only when something is missing:
#   scripts/setup.sh [run|test|release|bench|all] [PACKAGE...]
set -eu
# Building: CMake, make and the MinGW-w64 compilers (x86_64 where Wine runs only 64-bit code).
build="cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686"
# Running: Wine (32- and 64-bit), Xvfb for a display, flock for one build of a tree at a time.
wine="wine wine64 wine32:i386 xvfb util-linux"
run="$build $wine x11-apps imagemagick" # run.sh's screenshot: xwd, then convert
release="cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 git zip"
# The tests: GoogleTest's sources; the release's checks (reprotest, faketime and disorderfs for
# its time and file order, unzip); the executables' check (llvm-readobj, objdump, file); the
# program built as by Visual Studio (clang-cl, lld-link, llvm-rc, Wine's headers and libraries).
test="$build $wine $release googletest reprotest faketime disorderfs unzip file clang-tools-14
lld-14 llvm-14 libwine-dev libwine-dev:i386"
bench="$build $wine gnuplot-nox" # the benchmark's chart
case "${1:-}" in
run | release | test | bench) eval "packages=\$$1" && shift ;;
all) packages="$run $test $bench" && shift ;;
*) packages="$run $test $bench" ;;
esac
missing=$(for p in $packages "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q " ok installed" || echo "$p"
done | sort -u | tr '\n' ' ')
[ -n "$missing" ] || exit 0
echo "setup: installing $missing"
sudo=sudo && [ "$(id -u)" -ne 0 ] || sudo=""
case "$missing" in *:i386*)
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
esac
apt="$sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -qq"
$apt update
# reprotest without what it recommends (diffoscope's gigabyte): the check compares by diff.
case " $missing " in *" reprotest "*) $apt install --no-install-recommends reprotest ;; esac
# shellcheck disable=SC2086
$apt install $missing
