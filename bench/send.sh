#!/bin/bash
# The camera as a head tracker for other programs: fishtank-track --no-window --send, its
# datagrams read by the tests' pose-receiver on 127.0.0.1, on the tests' synthetic videos
# (640x480, 30 frames/s, played in real time). RUNS runs (default 3) of each, min / median /
# max over the runs:
# - the CPU of the whole program following a face, and with nobody in view, from 3 s after
#   its start for 8 s, the videos' frames given as raw grey pictures (Y4M), as near to a
#   camera's as a file gets (a camera's MJPG frame costs about 0.7 ms more to decode, and
#   the capture library's MJPG decoding of the same AVI more);
# - the rotation's jitter on a still face (SD of yaw, pitch and roll, degrees), as measured
#   (--smooth-rotation off) and as sent;
# - the sent yaw's step response on a head that turns from +25 to -25 degrees: the time it
#   takes from +15 to -15.
# - a sent pose's age from its frame's read (a file has no exposure stamps; a camera adds
#   its exposure and delivery before the read).
#   bench/send.sh [RUNS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"  # cpu_seconds
runs=${1:-3}
build=$(cd "${2:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

spread() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3g / %.3g / %.3g", v[1], v[int((NR + 1) / 2)], v[NR] }'; }

# send VIDEO-FILE NAME [OPTIONS...]: the video's poses into $work/NAME.csv, the CPU used into
# $work/NAME.cpu (percent of a core over the run).
send() {
    local video=$1 name=$2; shift 2
    rm -f "$work/$name.csv"  # not to read the last run's port
    "$build/pose-receiver" 60 1000000 > "$work/$name.csv" &
    local receiver=$!
    until [ -s "$work/$name.csv" ]; do sleep 0.05; done
    local port; port=$(head -1 "$work/$name.csv" | cut -d' ' -f2)
    env -u DISPLAY "$build/fishtank-track" --camera "$work/$video" --no-window \
        --send "127.0.0.1:$port" "$@" 2> "$work/$name.err" &
    local tracker=$!
    # Once started (the face's models read, the face found), over 8 s.
    sleep 3
    local before begun; before=$(cpu_seconds "$tracker") begun=$(date +%s.%N)
    sleep 8
    local after; after=$(cpu_seconds "$tracker") || { echo "send: $video ended early: $(cat "$work/$name.err")" >&2; exit 1; }
    awk -v a="$after" -v b="$before" -v t="$(date +%s.%N)" -v s="$begun" \
        'BEGIN { print 100 * (a - b) / (t - s) }' >> "$work/$name.cpu"
    wait "$tracker"
    sed -n 's/.* to sending \([0-9.]*\) ms median, \([0-9.]*\) ms p99.*/\1 \2/p' "$work/$name.err" \
        >> "$work/$name.age"
    kill "$receiver"
}
# The SD of the angles (columns 6 to 8) after the first second.
jitter() {
    awk -F, 'NR == 2 { start = $1 } NR > 1 && $1 - start > 1 {
        for (i = 6; i <= 8; i++) { s[i] += $i; q[i] += $i * $i } n++ }
        END { for (i = 6; i <= 8; i++) { m = s[i] / n; printf "%s ", sqrt(q[i] / n - m * m) } print "" }' "$1"
}
step() {
    awk -F, 'NR == 2 { start = $1 } NR > 1 && $1 - start > 2.5 && $6 < 15 && !from { from = $1 }
        NR > 1 && $1 - start > 2.5 && $6 < -15 && !to { to = $1 } END { print (to - from) * 1000 }' "$1"
}

for path in still path none turn; do "$build/face-video" "$work/$path.avi" 640x480 15 "$path" & done
wait
for path in path none; do
    ffmpeg -loglevel error -i "$work/$path.avi" -pix_fmt gray "$work/$path-raw.y4m"
done
for run in $(seq "$runs"); do
    send path-raw.y4m path
    send none-raw.y4m none
    send still.avi raw --smooth-rotation off
    jitter "$work/raw.csv" >> "$work/raw.sd"
    send still.avi sent
    jitter "$work/sent.csv" >> "$work/sent.sd"
    send turn.avi turn-raw --smooth-rotation off
    step "$work/turn-raw.csv" >> "$work/turn-raw.ms"
    send turn.avi turn
    step "$work/turn.csv" >> "$work/turn.ms"
done
echo "== fishtank-track --no-window --send, 640x480, $runs runs (min / median / max)"
echo "CPU following a face:      $(spread < "$work/path.cpu") % of one core"
echo "CPU with nobody in view:   $(spread < "$work/none.cpu") % of one core"
echo "a pose's age when sent, from its frame's read: median $(cut -d' ' -f1 "$work/path.age" | spread)," \
     "p99 $(cut -d' ' -f2 "$work/path.age" | spread) ms"
for angle in 1:yaw 2:pitch 3:roll; do
    echo "${angle#*:} SD on a still face:  measured $(cut -d' ' -f"${angle%%:*}" "$work/raw.sd" | spread)," \
         "sent $(cut -d' ' -f"${angle%%:*}" "$work/sent.sd" | spread) degrees"
done
echo "yaw from +15 to -15:       measured $(spread < "$work/turn-raw.ms"), sent $(spread < "$work/turn.ms") ms"
