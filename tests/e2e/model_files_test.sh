#!/bin/bash
# Model files that cannot be shown: each is one line on standard error naming the file and
# saying why, and status 1, from the renderer and from the tracked program before any
# window (no display is set here, so a window could not open); within seconds, a FIFO too.
#   model_files_test.sh FISHTANK-RENDER FISHTANK-TRACK
set -u
render=$1 track=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
unset DISPLAY WAYLAND_DISPLAY

: > empty.stl
mkdir folder.obj
mkfifo pipe.stl
echo "not a model" > notes.xyz
head -c 300 /dev/urandom > noise.stl
printf 'solid p\nfacet normal 0 0 1\nouter loop\nvertex %s 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid p\n' nan > nan.stl
printf 'solid p\nfacet normal 0 0 1\nouter loop\nvertex 1 2 3\nvertex 1 2 3\nvertex 1 2 3\nendloop\nendfacet\nendsolid p\n' > point.stl
printf 'v 0 0 0\nv inf 0 0\nv 0 1 0\nf 1 2 3\n' > infinite.obj
# Binary STLs: 80 header bytes, the triangle count, 50 bytes a triangle.
{ head -c 80 /dev/zero; printf '\x10\x00\x00\x00'; head -c 100 /dev/zero; } > short.stl
{ head -c 80 /dev/zero; printf '\x00\x5e\xd0\xb2'; head -c 50 /dev/zero; } > billions.stl
printf 'ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\nproperty float x\nproperty float y\nproperty float z\nelement face 2000000000\nproperty list uchar int vertex_indices\nend_header\n' > billions.ply
cp nan.stl unreadable.stl
chmod 000 unreadable.stl

# file|words of its line
cases="missing.stl|No such file or directory
empty.stl|the file is empty
folder.obj|it is a directory
pipe.stl|not a regular file
notes.xyz|not one the Open Asset Import Library reads
noise.stl|its binary STL header promises
nan.stl|coordinates are not finite
infinite.obj|coordinates are not finite
point.stl|the model has no extent
short.stl|promises 16 triangles, 884 bytes, but the file has 184
billions.stl|promises 3000000000 triangles
billions.ply|its PLY header promises 4000000000 vertex, 2000000000 face
unreadable.stl|Permission denied"
failed=0
while IFS='|' read -r file words; do
    if [ "$file" = unreadable.stl ] && [ "$(id -u)" -eq 0 ]; then
        echo "skip: unreadable.stl (root reads every file)"
        continue
    fi
    for program in "$render" "$track"; do
        name=$(basename "$program")
        /usr/bin/time -f '%e %M' -o used timeout 10 "$program" --model "$file" > out 2> err
        status=$?
        read -r seconds kilobytes < <(tail -1 used)
        line="$name: cannot load the model $file: "
        if [ "$status" -ne 1 ] || [ "$(wc -l < err)" -ne 1 ] || ! grep -qF "$line" err ||
            ! grep -qF "$words" err || [ "$kilobytes" -gt 200000 ]; then
            echo "FAIL: $name --model $file: status $status, ${seconds}s, ${kilobytes} KB: $(cat err)"
            failed=1
        fi
    done
    echo "ok: $(cat err)"
done <<< "$cases"
[ "$failed" -eq 0 ] || exit 1

# A 40 mm cube at --model-units mm, its front face in the glass, seen square on from 60 cm
# on a 31 x 17.4 cm screen drawn at 40 pixels a centimetre: 160 pixels each way.
awk 'BEGIN {
    split("0 0 0|40 0 0|40 40 0|0 40 0|0 0 40|40 0 40|40 40 40|0 40 40", c, "|")
    split("1 3 2 1 4 3 5 6 7 5 7 8 1 2 6 1 6 5 4 7 3 4 8 7 1 5 8 1 8 4 2 3 7 2 7 6", t, " ")
    print "solid cube"
    for (i = 1; i <= 36; i += 3)
        printf "facet normal 0 0 0\nouter loop\nvertex %s\nvertex %s\nvertex %s\nendloop\nendfacet\n",
            c[t[i]], c[t[i + 1]], c[t[i + 2]]
    print "endsolid cube" }' > cube.stl
"$render" --screen 31x17.4 --eye 0,0,60 --size 1240x696 --model cube.stl --model-units mm \
    --model-depth 2 --scene model -o cube.png > out 2> err || { echo "FAIL: the cube: $(cat err)"; exit 1; }
grep -q "model cube.stl: 12 triangles, 40 x 40 x 40 mm" err || { echo "FAIL: load line $(cat err)"; exit 1; }
# The lit pixels of the middle row and column.
spans=$(pngtopnm cube.png | pnmnoraw | tail -n +4 | tr -s ' \n' '\n' | paste - - - | awk '
    { x = (NR - 1) % 1240; y = int((NR - 1) / 1240); lit = $1 + $2 + $3 > 0 }
    lit && y == 348 { across++ } lit && x == 620 { up++ } END { print across + 0, up + 0 }')
read -r across up <<< "$spans"
[ "$across" -ge 159 ] && [ "$across" -le 161 ] && [ "$up" -ge 159 ] && [ "$up" -le 161 ] ||
    { echo "FAIL: the 40 mm cube spans $across x $up pixels, not 160 x 160"; exit 1; }
echo "ok: a 40 mm cube at --model-units mm spans $across x $up pixels, 40 mm at 40 pixels a cm"
echo "model files test passed"
