#!/bin/sh
# Installs, from Debian's packages, what building and testing Halvoran needs and is missing.
# Idempotent: a second run installs nothing. Needs root (or sudo) only when something is missing.
#   scripts/setup.sh [PACKAGE...]   also the packages named (the benchmark's chart, for example)
set -eu

packages="cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 wine wine64
wine32:i386 xvfb x11-apps imagemagick googletest pci.ids usb.ids procps util-linux file"
# The release (scripts/release.sh): its version from git, its zip.
packages="$packages git zip"
# Its checks: two builds at different times, the zip's members.
packages="$packages faketime unzip"
# The program compiled as by Visual Studio: clang-cl, lld-link and llvm-rc, Wine's headers and
# import libraries.
packages="$packages clang-tools-14 lld-14 llvm-14 libwine-dev libwine-dev:i386"
# Whatever the caller names besides (the benchmark's chart).
packages="$packages $*"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    need_update=1
fi

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq $missing
elif [ "${need_update:-0}" = 1 ]; then
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
fi
