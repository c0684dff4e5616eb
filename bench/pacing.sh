#!/bin/bash
# Runs fishtank and ref12 in turn (A B A B) under one Xvfb, SECONDS each (default 60), and
# prints for both, and as ratios: ticks per second, mean and 99th-percentile deviation of
# the tick interval from 1/12 s, drift (ticks gained or lost), CPU seconds, peak RSS.
# Ticks are counted from outside, by an LD_PRELOAD shim that timestamps every glClear.
#   bench/pacing.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 60 "$0" "$@"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ticks_per_clock=$(getconf CLK_TCK)

cpu_seconds() { awk -v hz="$ticks_per_clock" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }

# measure NAME TITLE COMMAND: one run; appends "name tps mean p99 drift cpu rss" to results.
measure() {
    local name=$1 title=$2 command=$3 stamps="$work/$1.$RANDOM" pid
    TICKSTAMP_FILE=$stamps LD_PRELOAD="$build/bench/libtickstamp.so" "$command" > /dev/null &
    pid=$!
    wait_for_window "$title" "$pid" || { echo "pacing: $name opened no window" >&2; exit 1; }
    sleep 1  # past start-up
    local cpu_before; cpu_before=$(cpu_seconds "$pid")
    sleep "$seconds"
    local cpu; cpu=$(awk -v a="$(cpu_seconds "$pid")" -v b="$cpu_before" 'BEGIN { print a - b }')
    local rss; rss=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
    "$build/close-window" "$window"
    wait "$pid"
    # Intervals from the stamps of the measured stretch (the first second left out).
    tail -n +13 "$stamps" > "$stamps.kept"
    awk 'NR > 1 { d = $1 - last - 1 / 12; print (d < 0 ? -d : d) } { last = $1 }' "$stamps.kept" |
        sort -g > "$stamps.deviations"
    local count span rate mean p99 drift
    count=$(wc -l < "$stamps.deviations")
    span=$(awk 'NR == 1 { first = $1 } { last = $1 } END { print last - first }' "$stamps.kept")
    mean=$(awk '{ s += $1 } END { printf "%.6f", s / NR }' "$stamps.deviations")
    p99=$(sed -n "$(( (count * 99 + 99) / 100 ))p" "$stamps.deviations")
    drift=$(awk -v n="$count" -v span="$span" 'BEGIN { printf "%.2f", n - 12 * span }')
    rate=$(awk -v n="$count" -v span="$span" 'BEGIN { printf "%.4f", n / span }')
    echo "$name $rate $mean $p99 $drift $cpu $rss" >> "$work/results"
}

for _ in 1 2; do
    measure fishtank Fishtank "$build/fishtank"
    measure ref12 ref12 "$build/ref12"
done

awk '
    { n[$1]++; for (k = 2; k <= 7; ++k) v[$1, k] += $k; line[NR] = $0 }
    END {
        print "run        ticks/s   mean dev (s)  p99 dev (s)  drift (ticks)  CPU (s)  peak RSS (kB)"
        for (i = 1; i <= NR; ++i) { split(line[i], f, " ");
            printf "%-9s %9.4f %12.6f %12.6f %14.2f %8.3f %14d\n", f[1], f[2], f[3], f[4], f[5], f[6], f[7] }
        printf "%-9s", "ratio"
        for (k = 2; k <= 7; ++k) {
            a = v["fishtank", k] / n["fishtank"]; b = v["ref12", k] / n["ref12"]
            if (b != 0) printf " %s", sprintf("%.3f", a / b); else printf " -"
        }
        print "   (fishtank / ref12, means of the runs)"
    }' "$work/results"
