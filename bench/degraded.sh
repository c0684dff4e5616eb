#!/bin/bash
# The raw poses in the rooms people sit in: the tests' synthetic videos (640x480, 30
# frames/s, 10 s, played in real time) of two faces, the astronaut and Grace Hopper, clean,
# in a dim room, blurred by a head moving during a long exposure, and heavily compressed
# (tests/camera/SyntheticCamera.h says how). For each: the share of frames with a pose from
# the first second on (the still face's, the moving one's and a still face speaking), the
# moving path's RMS error of x, y and z, and the still face's jitter from frame to frame
# (bench/camera_bench.cpp).
# The noise comes from SEED (default 1): two seeds give the run-to-run noise.
#   bench/degraded.sh [SEED [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seed=${1:-1}
build=$(cd "${2:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== raw poses, noise seed $seed"
printf '%-10s %-11s %24s %23s %23s\n' face room "poses % still/path/talk" \
    "path RMS x / y / z cm" "still jitter x / y / z cm"
for face in astronaut hopper; do
    for room in clean dim blurred compressed; do
        ext=avi
        [ "$room" = compressed ] && ext=mkv
        for path in still path talk; do
            "$build/face-video" "$work/$path.$ext" 640x480 10 "$path" "$face" "$room" "$seed" &
        done
        wait
        "$build/bench/camera-bench" accuracy "$work/still.$ext" "$work/path.$ext" > "$work/figures"
        "$build/bench/camera-bench" accuracy "$work/talk.$ext" "$work/talk.$ext" |
            sed -n 's/^poses.*still \([0-9.]*\) %.*/talk \1/p' >> "$work/figures"
        awk -v face="$face" -v room="$room" '
            /^poses/ { still = $8; path = $11 }
            /^talk / { talk = $2 }
            /^[xyz] / { rms[$1] = $2; jitter[$1] = $4 }
            END { printf "%-10s %-11s %6.1f / %5.1f / %5.1f   %6.3f / %5.3f / %5.3f   %6.4f / %6.4f / %6.4f\n",
                         face, room, still, path, talk, rms["x"], rms["y"], rms["z"],
                         jitter["x"], jitter["y"], jitter["z"] }' "$work/figures"
    done
done
