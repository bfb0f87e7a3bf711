#!/bin/sh
# Builds the released program, for i686, and writes dist/ (the README's release command):
#   halvoran-<version>-win32.zip  one folder with Halvoran.exe and LISEZMOI.txt; <version> is
#                                 CMakeLists.txt's project() version, -dirty for changed files
#   Halvoran.exe                  the same executable, beside the zip
#   SHA256SUMS                    both files' SHA-256, as sha256sum writes them
#   BUILDINFO.txt                 commit, version, source date and the Debian packages used
# The same commit gives the same bytes in any folder and at any time: file times come from the
# last commit, the zip's members are in sorted order with fixed modes and no extra attributes.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" release
cd "$root"

# The version is stated once, in CMakeLists.txt's project(); a tree whose tracked files differ
# from its commit is marked -dirty.
version=$(sed -n 's/^project(Halvoran VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt's project()" >&2; exit 1; }
git update-index -q --refresh >/dev/null 2>&1 || true
git diff-index --quiet HEAD -- || version="$version-dirty"
commit=$(git rev-parse HEAD)
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
TZ=UTC
LC_ALL=C
export SOURCE_DATE_EPOCH TZ LC_ALL
umask 0022

build="$root/build/release"
dist="$root/dist"
name="halvoran-$version-win32"
rm -rf "$build" "$dist"
mkdir -p "$build" "$dist"
# The preset "release" (CMakePresets.json): MinGW-w64 i686, stripped, no tests, in $build.
cmake --preset release >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build --preset release -j "$(nproc)"

cp "$build/Halvoran.exe" "$dist/Halvoran.exe"
exe_sum=$(sha256sum "$dist/Halvoran.exe" | cut -d' ' -f1)

# The zip's folder. LISEZMOI.txt: UTF-8 with a byte order mark and CRLF lines, for Notepad.
stage="$build/zip"
mkdir -p "$stage/$name"
cp "$dist/Halvoran.exe" "$stage/$name/Halvoran.exe"
{
    printf '\357\273\277'
    sed -e "s/@VERSION@/$version/g" -e "s/@SHA256@/$exe_sum/g" -e "s/@COMMIT@/$commit/g" \
        -e 's/$/\r/' "$root/res/LISEZMOI.txt.in"
} >"$stage/$name/LISEZMOI.txt"
chmod 0755 "$stage/$name"
chmod 0644 "$stage/$name/Halvoran.exe" "$stage/$name/LISEZMOI.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage/$name" "$stage/$name/Halvoran.exe" \
    "$stage/$name/LISEZMOI.txt"
(cd "$stage" && find "$name" | sort | zip -X -q -@ "$dist/$name.zip")

(cd "$dist" && sha256sum Halvoran.exe "$name.zip" >SHA256SUMS)

# The Debian packages of the compiler, its runtime and headers, binutils, CMake and zip.
gxx=i686-w64-mingw32-g++-posix
tools="$(command -v $gxx) $($gxx -print-prog-name=cc1plus) $($gxx -print-file-name=libstdc++.a)
$($gxx -print-file-name=libgcc.a) $($gxx -print-file-name=libmsvcrt.a)
$($gxx -print-file-name=libwinpthread.a) $(command -v i686-w64-mingw32-ld)
$(command -v i686-w64-mingw32-windres) $(command -v cmake) $(command -v make) $(command -v zip)"
packages=$(for f in $tools; do dpkg -S "$(readlink -f "$f")" | cut -d: -f1; done | sort -u)
{
    echo "Halvoran $version, built for 32-bit Windows (i686)"
    echo "commit: $commit"
    echo "version: $version"
    date=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%dT%H:%M:%SZ)
    echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH ($date, the last commit's time)"
    echo "Debian $(cat /etc/debian_version), packages:"
    # shellcheck disable=SC2086
    dpkg-query -W -f='  ${Package} ${Version}\n' $packages
} >"$dist/BUILDINFO.txt"

echo "release: $dist"
cat "$dist/SHA256SUMS"
