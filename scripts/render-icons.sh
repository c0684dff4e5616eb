#!/bin/sh
# Renders the program's icon, the tunnel seen from an off-centre head, at the sizes the
# desktop uses, into DIR/SIZE/fishtank.png.
#   scripts/render-icons.sh FISHTANK-RENDER DIR
set -eu
render=$1 dir=$2
for size in 48 128 256; do
    mkdir -p "$dir/$size"
    "$render" --head 0.55,0.4,1 --size "${size}x$size" -o "$dir/$size/fishtank.png" > /dev/null
done
