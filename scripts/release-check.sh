#!/bin/sh
# Builds the release twice, from two copies of this tree in two folders of WORK_DIR, the second
# two days later by the clock (faketime) and under another umask, and fails unless both give
# the same bytes; on a difference it shows where. WORK_DIR/a/dist is kept for further checks.
#   scripts/release-check.sh WORK_DIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:?work folder}
rm -rf "$work"
mkdir -p "$work"

# A copy of the tree as it is now: a clone at its commit, then its working files over it, so
# that a tree with changes gives a copy with the same changes (and the same "dirty" version).
copy_tree() {
    git clone -q --no-checkout "$root" "$1"
    git -C "$1" checkout -q --detach "$(git -C "$root" rev-parse HEAD)"
    (cd "$root" && git ls-files -z --cached --others --exclude-standard |
        tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -C "$1" -xf -
    (cd "$root" && git ls-files -z --deleted) | (cd "$1" && xargs -0 rm -f)
}
copy_tree "$work/a"
copy_tree "$work/second-copy"

(cd "$work/a" && sh scripts/release.sh) >"$work/a.log" 2>&1 || { cat "$work/a.log"; exit 1; }
(cd "$work/second-copy" && umask 0077 && faketime -f +2d sh scripts/release.sh) \
    >"$work/second-copy.log" 2>&1 || { cat "$work/second-copy.log"; exit 1; }

a="$work/a/dist"
b="$work/second-copy/dist"
status=0
if [ "$(ls "$a")" != "$(ls "$b")" ]; then
    echo "release-check: the two releases hold different files: $(ls "$a") / $(ls "$b")"
    exit 1
fi
for path in "$a"/*; do
    f=${path##*/}
    if cmp -s "$a/$f" "$b/$f"; then
        echo "release-check: $f identical, sha256 $(sha256sum "$a/$f" | cut -d' ' -f1)"
    else
        echo "release-check: $f differs between the two builds"
        if command -v diffoscope >/dev/null; then
            diffoscope "$a/$f" "$b/$f" || true
        else
            cmp -l "$a/$f" "$b/$f" | head -20
        fi
        status=1
    fi
done

# The release is named after CMakeLists.txt's version, marked -dirty when this tree's tracked
# files differ from its commit; LISEZMOI.txt and BUILDINFO.txt carry the same version, and
# BUILDINFO.txt the commit.
version=$(sed -n 's/^project(Halvoran VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$root/CMakeLists.txt")
git -C "$root" update-index -q --refresh >/dev/null 2>&1 || true
git -C "$root" diff-index --quiet HEAD -- || version="$version-dirty"
folder="halvoran-$version-win32"
if [ ! -f "$a/$folder.zip" ]; then
    echo "release-check: no $folder.zip in the release: $(cd "$a" && echo *)"
    exit 1
fi
if ! grep -qx "version: $version" "$a/BUILDINFO.txt" ||
    ! grep -qx "commit: $(git -C "$root" rev-parse HEAD)" "$a/BUILDINFO.txt"; then
    echo "release-check: BUILDINFO.txt lacks the version $version or the commit"
    status=1
fi

# What a user unpacks: one folder with the program and its LISEZMOI.txt, a UTF-8 text with a BOM.
members=$(unzip -Z1 "$a/$folder.zip" | tr '\n' ' ')
if [ "$members" != "$folder/ $folder/Halvoran.exe $folder/LISEZMOI.txt " ]; then
    echo "release-check: the zip holds $members"
    status=1
fi
unzip -p "$a/$folder.zip" "$folder/Halvoran.exe" | cmp - "$a/Halvoran.exe" || status=1
unzip -p "$a/$folder.zip" "$folder/LISEZMOI.txt" >"$work/LISEZMOI.txt"
if [ "$(head -c 3 "$work/LISEZMOI.txt" | od -An -tx1)" != " ef bb bf" ]; then
    echo "release-check: LISEZMOI.txt has no UTF-8 byte order mark"
    status=1
fi
if ! grep -q "$(sha256sum "$a/Halvoran.exe" | cut -d' ' -f1)" "$work/LISEZMOI.txt" ||
    ! tail -c +4 "$work/LISEZMOI.txt" | grep -q "^Halvoran $version " ||
    grep -q '@[A-Z0-9]*@' "$work/LISEZMOI.txt"; then
    echo "release-check: LISEZMOI.txt lacks the program's SHA-256 or version $version," \
        "or keeps a placeholder"
    status=1
fi
(cd "$a" && sha256sum -c --quiet SHA256SUMS) || status=1
exit $status
