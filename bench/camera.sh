#!/bin/bash
# The camera as a head tracker, on the tests' synthetic videos (640x480 and 1280x720, 30
# frames/s, played in real time): per-frame processing while following the face and when
# searching the whole picture (min / p50 / p99 / max), the landmarks' step alone, the
# accuracy and jitter of the poses, then RUNS runs (default 3) of fishtank-track --camera
# on a moving head, and on a room with nobody in view, under Xvfb: the CPU of the whole
# program and its frame-to-photon times (from a frame being read to the end of the swap
# of the first picture drawn from it), min / median / max over the runs.
# A file has no exposure stamps, so the camera's own delay is not in these; see README.
# Also the cost of making a 640x480 MJPG frame grey, RUNS runs: the camera device's decoder
# (TurboJPEG, straight to grey) against the capture library's grey decoding and its colour
# decoding with the conversion after (the device's former way).
#   bench/camera.sh [RUNS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 3 "$0" "$@"
runs=$seconds
start_work

spread() { sort -g | awk '{ v[NR] = $1 } END { printf "%.2f / %.2f / %.2f", v[1], v[int((NR + 1) / 2)], v[NR] }'; }

for size in 640x480 1280x720; do
    for path in still path none; do
        "$build/face-video" "$work/$path-$size.avi" "$size" 10 "$path" &
    done
    wait
    echo "== $size: processing a frame (ms)"
    "$build/bench/camera-bench" times "$work/path-$size.avi" | grep -E "following|landmarks"
    "$build/bench/camera-bench" times "$work/none-$size.avi" | grep searching
done
echo
echo "== 640x480 MJPG: decoding a frame to grey, $runs runs of 5 x 300 frames (medians: min / median / max over the runs)"
for run in $(seq "$runs"); do
    "$build/bench/camera-bench" decode "$work/path-640x480.avi" | tail -n +2 >> "$work/decode"
done
for way in "TurboJPEG, straight to grey" "OpenCV imdecode, straight to grey" \
           "OpenCV imdecode in colour, then cvtColor"; do
    grep -F "$way" "$work/decode" > "$work/way"
    printf '%-42s median %s ms; fastest frame %s ms, slowest %s ms\n' "$way" \
        "$(awk '{ print $(NF-2) }' "$work/way" | spread)" \
        "$(awk '{ print $(NF-4) }' "$work/way" | sort -g | head -1)" \
        "$(awk '{ print $NF }' "$work/way" | sort -g | tail -1)"
done

echo
echo "== 640x480: accuracy and jitter of the raw poses (the drawn head's: bench/prediction.sh)"
"$build/bench/camera-bench" accuracy "$work/still-640x480.avi" "$work/path-640x480.avi"

echo
for video in path-640x480 path-1280x720 none-640x480; do
    for run in $(seq "$runs"); do
        "$build/fishtank-track" --camera "$work/$video.avi" > /dev/null 2> "$work/err" &
        pid=$!
        wait_for_window Fishtank "$pid" || { cat "$work/err"; echo "camera: no window" >&2; exit 1; }
        begun=$(date +%s.%N) cpu_before=$(cpu_seconds "$pid")
        for _ in $(seq 200); do grep -q "end of" "$work/err" && break; sleep 0.05; done
        awk -v a="$(cpu_seconds "$pid")" -v b="$cpu_before" -v t="$(date +%s.%N)" -v s="$begun" \
            'BEGIN { print 100 * (a - b) / (t - s) }' >> "$work/cpu-$video"
        "$build/close-window" "$window"
        wait "$pid"
        pid=
        sed -n 's/.*from frame to photon \([0-9.]*\) ms median, \([0-9.]*\) ms p99.*/\1 \2/p' "$work/err" >> "$work/photon-$video"
    done
    if [ "${video%%-*}" = none ]; then
        echo "== ${video#*-}, nobody in view, fishtank-track --camera, $runs runs (min / median / max)"
        echo "CPU of the whole program:  $(spread < "$work/cpu-$video") % of one core"
        continue
    fi
    echo "== ${video#*-}, fishtank-track --camera, $runs runs (min / median / max)"
    echo "CPU of the whole program:  $(spread < "$work/cpu-$video") % of one core"
    echo "frame to photon, median:   $(cut -d' ' -f1 "$work/photon-$video" | spread) ms"
    echo "frame to photon, p99:      $(cut -d' ' -f2 "$work/photon-$video" | spread) ms"
done
