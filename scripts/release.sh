#!/bin/sh
# Builds the released program from the tree as it is and writes dist/: what it holds, and why
# its bytes are the same in any folder and at any time, in CONTRIBUTING.md, "The release".
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" release
cd "$root"

version=$(sed -n 's/^project(Halvoran VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt's project()" >&2; exit 1; }
git update-index -q --refresh >/dev/null 2>&1 || true
git diff-index --quiet HEAD -- || version="$version-dirty"
commit=$(git rev-parse HEAD)
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 0022

build="$root/build/release" dist="$root/dist" name="halvoran-$version-win32"
rm -rf "$build" "$dist" && mkdir -p "$build" "$dist"
cmake --preset release >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build --preset release -j "$(nproc)"
cp "$build/Halvoran.exe" "$dist/Halvoran.exe"
exe_sum=$(sha256sum "$dist/Halvoran.exe" | cut -d' ' -f1)

# The zip's folder; LISEZMOI.txt in UTF-8 with a byte order mark and CRLF lines, for Notepad.
stage="$build/zip/$name"
install -D -m 0644 "$dist/Halvoran.exe" "$stage/Halvoran.exe"
{
    printf '\357\273\277'
    sed -e "s/@VERSION@/$version/g" -e "s/@SHA256@/$exe_sum/g" -e "s/@COMMIT@/$commit/g" \
        -e 's/$/\r/' "$root/res/LISEZMOI.txt.in"
} >"$stage/LISEZMOI.txt"
chmod 0755 "$stage" && chmod 0644 "$stage/LISEZMOI.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage" "$stage/Halvoran.exe" "$stage/LISEZMOI.txt"
(cd "$build/zip" && find "$name" | sort | zip -X -q -@ "$dist/$name.zip")
(cd "$dist" && sha256sum Halvoran.exe "$name.zip" >SHA256SUMS)

# The Debian packages of the compiler, its runtime and headers, binutils, CMake, make and zip.
gxx=i686-w64-mingw32-g++-posix
files="$(for c in $gxx i686-w64-mingw32-ld i686-w64-mingw32-windres cmake make zip; do
    command -v $c; done) $($gxx -print-prog-name=cc1plus)
$(for f in libstdc++.a libgcc.a libmsvcrt.a libwinpthread.a; do $gxx -print-file-name=$f; done)"
packages=$(for f in $files; do dpkg -S "$(readlink -f "$f")" | cut -d: -f1; done | sort -u)
date=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%dT%H:%M:%SZ)
{
    printf '%s\n' "Halvoran $version, built for 32-bit Windows (i686)" "commit: $commit" \
        "version: $version" "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH ($date, the last commit's \
time)" "Debian $(cat /etc/debian_version), packages:"
    # shellcheck disable=SC2086
    dpkg-query -W -f='  ${Package} ${Version}\n' $packages
} >"$dist/BUILDINFO.txt"
echo "release: $dist"
cat "$dist/SHA256SUMS"
