#!/bin/sh
# Draws the application icon (a circuit board chip on a blue tile) and writes res/halvoran.ico:
# one 256 x 256, 32-bit image. Needs ImageMagick (Debian package imagemagick).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
convert=/usr/bin/convert
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$convert" -size 256x256 xc:none \
    -fill '#1f5fa8' -draw 'roundrectangle 8,8 247,247 40,40' \
    -stroke '#d9e6f5' -strokewidth 10 \
    -draw 'line 88,24 88,72' -draw 'line 128,24 128,72' -draw 'line 168,24 168,72' \
    -draw 'line 88,184 88,232' -draw 'line 128,184 128,232' -draw 'line 168,184 168,232' \
    -draw 'line 24,88 72,88' -draw 'line 24,128 72,128' -draw 'line 24,168 72,168' \
    -draw 'line 184,88 232,88' -draw 'line 184,128 232,128' -draw 'line 184,168 232,168' \
    -stroke none -fill '#20262e' -draw 'roundrectangle 64,64 191,191 14,14' \
    -fill '#f2b233' -draw 'circle 128,128 128,100' \
    -fill '#20262e' -draw 'circle 128,128 128,114' \
    -define png:color-type=6 "PNG32:$tmp/icon.png"
"$convert" "$tmp/icon.png" -define icon:auto-resize=256 "$here/halvoran.ico"
