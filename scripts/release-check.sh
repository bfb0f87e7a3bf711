#!/bin/sh
# scripts/release-check.sh WORK_DIR: the release is reproducible (reprotest) and holds what it
# should (CONTRIBUTING.md, "The release"); the first build's dist/ stays in WORK_DIR/out/control.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:?work folder}
rm -rf "$work" && mkdir -p "$work"

# The tree as it is: a clone at its commit with the working files over it, so that a changed tree
# gives the same -dirty version (reprotest copies this folder, .git included).
git clone -q --no-checkout "$root" "$work/src"
git -C "$work/src" checkout -q --detach "$(git -C "$root" rev-parse HEAD)"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
    tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -C "$work/src" -xf -
(cd "$root" && git ls-files -z --deleted) | (cd "$work/src" && xargs -0 rm -f)

# Every variation but user_group, which needs sudo and another user and group on the machine.
reprotest --no-diffoscope --store-dir "$work/out" --variations=+all,-user_group \
    -c 'sh scripts/release.sh' "$work/src" 'dist/*' >"$work/reprotest.log" 2>&1 ||
    { cat "$work/reprotest.log"; exit 1; }
sed -n '/^No differences/,$p' "$work/reprotest.log"

# CMakeLists.txt's version (-dirty for changed tracked files) names the zip, is in LISEZMOI.txt
# and BUILDINFO.txt, which also names the commit.
dist="$work/out/control/source-root/dist" status=0
fail() { echo "release-check: $*"; status=1; }
version=$(sed -n 's/^project(Halvoran VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$root/CMakeLists.txt")
[ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] || version="$version-dirty"
folder="halvoran-$version-win32"
[ -f "$dist/$folder.zip" ] || { fail "no $folder.zip in the release: $(ls "$dist")"; exit 1; }
grep -qx "version: $version" "$dist/BUILDINFO.txt" &&
    grep -qx "commit: $(git -C "$root" rev-parse HEAD)" "$dist/BUILDINFO.txt" ||
    fail "BUILDINFO.txt lacks the version $version or the commit"
# What a user unpacks: one folder, the program and LISEZMOI.txt (UTF-8 with a byte order mark).
members=$(unzip -Z1 "$dist/$folder.zip" | tr '\n' ' ')
[ "$members" = "$folder/ $folder/Halvoran.exe $folder/LISEZMOI.txt " ] ||
    fail "the zip holds $members"
unzip -p "$dist/$folder.zip" "$folder/Halvoran.exe" | cmp - "$dist/Halvoran.exe" || status=1
unzip -p "$dist/$folder.zip" "$folder/LISEZMOI.txt" >"$work/LISEZMOI.txt"
[ "$(head -c 3 "$work/LISEZMOI.txt" | od -An -tx1)" = " ef bb bf" ] ||
    fail "LISEZMOI.txt has no UTF-8 byte order mark"
grep -q "$(sha256sum "$dist/Halvoran.exe" | cut -d' ' -f1)" "$work/LISEZMOI.txt" &&
    tail -c +4 "$work/LISEZMOI.txt" | grep -q "^Halvoran $version " &&
    ! grep -q '@[A-Z0-9]*@' "$work/LISEZMOI.txt" ||
    fail "LISEZMOI.txt lacks the program's SHA-256 or version $version, or keeps a placeholder"
(cd "$dist" && sha256sum -c --quiet SHA256SUMS) || status=1
exit $status
