#!/bin/bash
# The head drawn where it is when the picture is seen. The program itself, under Xvfb and
# llvmpipe (720x720), follows the tests' synthetic videos (640x480, 30 frames/s: a still
# face for 10 s, and the moving path for 21 s) RUNS times (default 3) in each of three
# settings: its prediction on (the default), off (--predict off), and a One Euro filter for
# comparison (--smooth 2,0.3,1.5,0.3). From its records (--record, --record-frames): the moving
# path's RMS error of the head each picture drew against the truth when it was seen (and
# of the same run's raw poses against the truth at their frames' time), the still face's
# jitter from picture to picture against the raw poses', and the pictures a
# second; from /proc: the program's CPU while following, and the drawing's share (the main
# thread and llvmpipe's). min / median / max over the runs.
#   bench/prediction.sh [RUNS [BUILD-DIR]]
#   bench/prediction.sh model [RUNS [BUILD-DIR]]  the filter on the pipeline's own poses, in a
#                                                 model of the display (bench/filter_bench.cpp)
#   bench/prediction.sh tune [RUNS [BUILD-DIR]]   the same for other tunings, one run
# FACE=hopper and ROOM=dim, blurred or compressed (tests/camera/SyntheticCamera.h) follow
# another face, or the same in another room.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
face=${FACE:-astronaut} room=${ROOM:-clean} ext=avi
[ "$room" = compressed ] && ext=mkv
# videos: the still face, 10 s, and the moving path, 21 s, into the scratch folder. The
# path's sideways and distance periods (4 s and 5 s) both end at 20 s in, so that over it
# the distance's velocity does not follow the head's place by chance: the test pictures'
# distance errs with the place, and a drawing that led or lagged would gain or lose by it.
videos() {
    "$build/face-video" "$work/still.$ext" 640x480 10 still "$face" "$room" &
    "$build/face-video" "$work/path.$ext" 640x480 21 path "$face" "$room" &
    wait
}
# block TITLE FIRST-COLUMN HEADINGS...: for each way in the model's runs, each column's
# min / median / max.
block() {
    local title=$1 first=$2
    shift 2
    echo
    printf '%-28s' "$title"
    printf '  %-27s' "$@"
    echo
    grep -h -E '^(display|per pose) ' "$work"/run* | cut -d: -f1 | awk '!seen[$0]++' |
        while IFS= read -r label; do
            printf '%-28s' "$label"
            for column in $(seq "$first" $((first + $# - 1))); do
                grep -h -F "$label:" "$work"/run* | cut -d: -f2 |
                    awk -v c="$column" '{ print $c }' | sort -g | awk '{ v[NR] = $1 }
                        END { printf "  %-27s", v[1] " / " v[int((NR + 1) / 2)] " / " v[NR] }'
            done
            echo
        done
}
if [ "${1:-}" = model ] || [ "${1:-}" = tune ]; then
    mode=$1 runs=${2:-3}
    build=$(cd "${3:-$root/build}" && pwd)
    start_work
    videos
    if [ "$mode" = tune ]; then
        exec "$build/bench/filter-bench" tune "$work/still.$ext" "$work/path.$ext"
    fi
    for run in $(seq "$runs"); do
        "$build/bench/filter-bench" "$work/still.$ext" "$work/path.$ext" > "$work/run$run"
    done
    grep -E '^(still|path)' "$work/run1"
    grep -h '^display: poses' "$work"/run*
    echo
    echo "== $runs runs, each value min / median / max"
    block "moving path, RMS (cm)" 1 x y z "z, the camera's own"
    block "still face, jitter (cm)" 5 x y z
    exit
fi
start_under_x 3 "$0" "$@"
start_work
videos

spread() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3g / %.3g / %.3g", v[1], v[int((NR + 1) / 2)], v[NR] }'; }

# thread_cpu PID: the CPU seconds of the main thread and llvmpipe's, then of the whole
# program (its ended threads too: the capture thread ends with the video).
thread_cpu() {
    local hz drawing=0 tid
    hz=$(getconf CLK_TCK)
    for tid in /proc/"$1"/task/*; do
        if [ "${tid##*/}" = "$1" ] || grep -q '^llvmpipe' "$tid/comm"; then
            drawing=$(awk -v a="$drawing" -v hz="$hz" '{ print a + ($14 + $15) / hz }' "$tid/stat")
        fi
    done
    echo "$drawing $(cpu_seconds "$1")"
}

# follow NAME VIDEO ARGS...: the program follows VIDEO to its end; its records as NAME.poses
# and NAME.pictures; on the path, its CPU while following into NAME.cpu.
follow() {
    local name=$1 video=$2 pid begun before after
    shift 2
    rm -f "$work/$name.poses" "$work/$name.pictures"  # records are appended to
    "$build/fishtank-track" --camera "$work/$video.$ext" --distance 60 "$@" \
        --record "$work/$name.poses" --record-frames "$work/$name.pictures" > /dev/null 2> "$work/err" &
    pid=$!
    wait_for_window Fishtank "$pid" || { cat "$work/err"; echo "prediction: no window" >&2; exit 1; }
    for _ in $(seq 200); do grep -q "^fishtank-track: tracking" "$work/err" && break; sleep 0.05; done
    begun=$(date +%s.%N) before=$(thread_cpu "$pid")
    for _ in $(seq 800); do grep -q "end of" "$work/err" && break; sleep 0.05; done
    after=$(thread_cpu "$pid")
    awk -v a="$after" -v b="$before" -v t="$(date +%s.%N)" -v s="$begun" 'BEGIN {
        split(a, x, " "); split(b, y, " ")
        printf "%.2f %.2f\n", 100 * (x[2] - y[2]) / (t - s), 100 * (x[1] - y[1]) / (x[2] - y[2]) }' > "$work/$name.cpu"
    "$build/close-window" "$window"
    wait "$pid"
}

settings=("prediction on" "prediction off" "One Euro, --smooth 2,0.3,1.5,0.3")
arguments=("" "--predict off" "--smooth 2,0.3,1.5,0.3")
for run in $(seq "$seconds"); do
    for i in "${!settings[@]}"; do
        # shellcheck disable=SC2086
        follow "still$i" still ${arguments[$i]}
        # shellcheck disable=SC2086
        follow "path$i" path ${arguments[$i]}
        "$build/bench/filter-bench" records 60 "$work/still$i.poses" "$work/still$i.pictures" \
            "$work/path$i.poses" "$work/path$i.pictures" > "$work/measured"
        read -r cpu share < "$work/path$i.cpu"
        echo "$(sed -n 's/^program: path RMS.*: //p' "$work/measured") $(sed -n "s/^program: raw poses' path RMS.*: //p" "$work/measured") $(sed -n 's/^program: still jitter.*: //p' "$work/measured") $(sed -n 's/^program: pictures.*: //p' "$work/measured") $cpu $share" >> "$work/setting$i"
    done
done

echo "== fishtank-track --camera, $face, $room, $seconds runs; min / median / max"
columns=("path RMS x (cm)" "path RMS y (cm)" "path RMS z (cm)" "path RMS z against the camera's own (cm)"
         "the same run's raw poses, path RMS x" "raw poses, path RMS y" "raw poses, path RMS z"
         "raw poses, path RMS z, the camera's own"
         "still jitter, drawn x (cm)" "drawn y" "drawn z" "raw x" "raw y" "raw z"
         "pictures a second" "CPU, % of a core" "the drawing's share, %")
for i in "${!settings[@]}"; do
    echo "-- ${settings[$i]}"
    for c in "${!columns[@]}"; do
        printf '   %-42s %s\n' "${columns[$c]}" "$(awk -v c=$((c + 1)) '{ print $c }' "$work/setting$i" | spread)"
    done
done
