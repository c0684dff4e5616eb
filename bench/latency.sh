#!/bin/bash
# Pose-to-photon latency and CPU of fishtank-track under one Xvfb. For 60 and 250 poses a
# second (SECONDS each, default 20: at least 1,000 poses), fishtank-pose-send stamps each
# pose with its send time; the program records when it took each pose, and a preloaded shim
# stamps the start of every frame (glClear) and the end of every buffer swap. A pose's
# latency runs from its send time to the end of the swap of the first frame begun after
# the program took it. Beside it: what drawing the pose only at the next 12 Hz tick would
# give, computed from the tick times and the frame's duration. Then CPU per frame at 250
# poses a second against fishtank's own CPU per tick.
#   bench/latency.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 20 "$0" "$@"

start_work

# start NAME COMMAND...: starts the program with the shim; sets pid.
start() {
    local name=$1; shift
    TICKSTAMP_FILE=$work/$name.clears TICKSTAMP_SWAP_FILE=$work/$name.swaps \
        LD_PRELOAD="$build/bench/libtickstamp.so" "$@" > /dev/null 2> "$work/$name.err" &
    pid=$!
    wait_for_window Fishtank "$pid" || { cat "$work/$name.err"; echo "latency: no window" >&2; exit 1; }
    sleep 1
}
stop() {
    "$build/close-window" "$window"
    wait "$pid"
    pid=
}

for rate in 60 250; do
    start "track$rate" "$build/fishtank-track" --port 0 --record "$work/trace$rate.csv"
    port=$(sed -n 's/^fishtank-track: listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/track$rate.err")
    cpu_before=$(cpu_seconds "$pid")
    "$build/fishtank-pose-send" --port "$port" --path sine --rate "$rate" --seconds "$seconds" --stamp 2> /dev/null
    cpu=$(awk -v a="$(cpu_seconds "$pid")" -v b="$cpu_before" 'BEGIN { print a - b }')
    echo "$rate $cpu" >> "$work/cpu"
    stop
done

start plain "$build/fishtank"
cpu_before=$(cpu_seconds "$pid")
sleep "$seconds"
plain_cpu=$(awk -v a="$(cpu_seconds "$pid")" -v b="$cpu_before" 'BEGIN { print a - b }')
stop

echo "pose-to-photon latency, ms (720x720, Xvfb, llvmpipe; $seconds s per rate)"
printf "%-6s %6s %8s %8s %8s %8s   %s\n" rate poses min median p99 max "at the next 12 Hz tick instead: median p99"
for rate in 60 250; do
    # Lines: "c TIME" frame starts, "s TIME" swap ends, "p ARRIVAL SENT" poses; by time.
    { sed 's/^/c /' "$work/track$rate.clears"; sed 's/^/s /' "$work/track$rate.swaps"
      awk -F, 'NR > 1 { print "p", $1, $7 }' "$work/trace$rate.csv"; } |
    sort -k2,2g | awk -v rate="$rate" '
        function pct(a, n, q) { return a[int((n - 1) * q) + 1] }
        function sorted(a, n,    i, j, t) { for (i = 2; i <= n; ++i) for (j = i; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t } }
        $1 == "c" { ++clears; if (clears == 2) firstTick = $2
                    if (waiting) { for (i = 1; i <= waiting; ++i) pending[i] = sent[i]; npending = waiting; waiting = 0 }
                    frameStart = $2; next }
        $1 == "s" { if (frameStart) { duration[++frames] = $2 - frameStart; frameStart = 0 }
                    for (i = 1; i <= npending; ++i) lat[++n] = ($2 - pending[i]) * 1000; npending = 0; next }
        $1 == "p" { sent[++waiting] = $3; arrival[++poses] = $2; sentAt[poses] = $3 }
        END {
            sorted(duration, frames); frame = pct(duration, frames, 0.5)
            for (i = 1; i <= poses; ++i) {
                k = int((arrival[i] - firstTick) * 12) + 1
                tick[i] = (firstTick + k / 12 + frame - sentAt[i]) * 1000
            }
            sorted(lat, n); sorted(tick, poses)
            printf "%-6s %6d %8.3f %8.3f %8.3f %8.3f   %8.1f %8.1f\n", rate " Hz", n, lat[1], pct(lat, n, 0.5), pct(lat, n, 0.99), lat[n], pct(tick, poses, 0.5), pct(tick, poses, 0.99)
        }'
done

# Frames drawn while poses came at 250 a second: pose frames and ticks alike.
frames=$(awk -F, 'NR == 2 { first = $1 } NR > 1 { last = $1 } END { print first, last }' "$work/trace250.csv" |
    { read -r first last; awk -v a="$first" -v b="$last" '$1 >= a && $1 <= b + 0.1' "$work/track250.clears" | wc -l; })
awk -v cpu="$(awk '$1 == 250 { print $2 }' "$work/cpu")" -v frames="$frames" -v plain="$plain_cpu" \
    -v ticks="$(awk -v s="$seconds" 'BEGIN { print s * 12 }')" 'BEGIN {
    perFrame = cpu / frames * 1000; perTick = plain / ticks * 1000
    printf "CPU at 250 poses/s: %.3f s for %d frames: %.3f ms per frame\n", cpu, frames, perFrame
    printf "fishtank idle: %.3f s for %d ticks: %.3f ms per tick; ratio %.2f\n", plain, ticks, perTick, perFrame / perTick }'
