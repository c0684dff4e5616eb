#!/bin/sh
# The shipped icons are the renderer's pictures, pixel for pixel.
#   icons_test.sh FISHTANK-RENDER SOURCE-DIR
set -eu
render=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$source/scripts/render-icons.sh" "$render" "$work"
for size in 48 128 256; do
    pngtopnm "$work/$size/fishtank.png" > "$work/rendered.ppm"
    pngtopnm "$source/resources/icons/$size/fishtank.png" > "$work/shipped.ppm"
    cmp -s "$work/rendered.ppm" "$work/shipped.ppm" ||
        { echo "FAIL: the $size px icon is not the renderer's picture"; exit 1; }
done
echo "icons test passed"
