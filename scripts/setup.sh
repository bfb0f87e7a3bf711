#!/bin/sh
# Installs, from Debian's packages, what one of the project's commands needs and is missing.
# Idempotent: a second run installs nothing. Needs root (or sudo) only when something is missing.
#   scripts/setup.sh [run|test|release|bench|all] [PACKAGE...]
#     run      build the program and show it under Wine (scripts/run.sh)
#     release  build the release (scripts/release.sh)
#     test     build and run every test (scripts/test.sh), the release's checks among them
#     bench    the benchmark and its chart (scripts/bench.sh)
#     all      all of these (the default)
# and the packages named besides.
set -eu

# Building the program: CMake, make and the MinGW-w64 compilers (x86_64 for the machines whose
# Wine runs only 64-bit programs).
build="cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686"
# Running it: Wine (32- and 64-bit), Xvfb for a display, flock for the sessions' locks.
wine="wine wine64 wine32:i386 xvfb util-linux"
# scripts/run.sh's screenshot: xwd, then convert.
run="$build $wine x11-apps imagemagick"
# The release: its version from git, its zip.
release="cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 git zip"
# The tests: GoogleTest's sources; the release's checks (reprotest, faketime and disorderfs for
# its time and file order, unzip); the executables' check (llvm-readobj, objdump, file); the
# program built as by Visual Studio (clang-cl, lld-link, llvm-rc, Wine's headers and libraries).
test="$build $wine $release googletest reprotest faketime disorderfs unzip file clang-tools-14
lld-14 llvm-14 libwine-dev libwine-dev:i386"
# The benchmark: gnuplot for its chart.
bench="$build $wine gnuplot-nox"

all="$run $test $bench"
case "${1:-}" in
run | release | test | bench | all)
    eval "packages=\$$1"
    shift
    ;;
*) packages=$all ;;
esac
packages="$packages $*"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if echo "$packages" | grep -q ':i386' && ! dpkg --print-foreign-architectures | grep -qx i386
then
    $sudo dpkg --add-architecture i386
    need_update=1
fi

missing=""
for p in $packages; do
    case " $missing " in *" $p "*) continue ;; esac
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
    # reprotest without what it recommends (diffoscope's gigabyte): the check compares by diff.
    case " $missing " in *" reprotest "*) DEBIAN_FRONTEND=noninteractive $sudo apt-get \
        -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends reprotest ;; esac
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq $missing
elif [ "${need_update:-0}" = 1 ]; then
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
fi
