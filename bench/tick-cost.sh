#!/bin/bash
# What one tick costs on this machine, part by part, for the program and for the X server
# (Xvfb pays for the swap too). Runs bench/tick-parts in each mode (wake, swap, clear, full)
# for SECONDS (default 20), ROUNDS times in turn (default 3), and prints the median CPU per
# tick of each mode and the differences between them: the run loop's wake-up, the swap,
# the colour clear, the 98-vertex batch.
#   [ROUNDS=N] bench/tick-cost.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 20 "$0" "$@"
[ -n "${XVFB_PID:-}" ] || echo "tick-cost: XVFB_PID not set: the X server's share is not measured" >&2

results=$(mktemp)
trap 'rm -f "$results"' EXIT
for _ in $(seq "${ROUNDS:-3}"); do
    for mode in wake swap clear full; do
        "$build/bench/tick-parts" "$mode" "$seconds" >> "$results"
    done
done
awk '
    function median(m, k,    a, i, j, t, c) {
        c = n[m]; for (i = 1; i <= c; ++i) a[i] = v[m, i, k]
        for (i = 2; i <= c; ++i) for (j = i; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
        return c % 2 ? a[(c + 1) / 2] : (a[c / 2] + a[c / 2 + 1]) / 2
    }
    { ++n[$1]; v[$1, n[$1], 1] = $3 * 1000; v[$1, n[$1], 2] = $4 * 1000 }
    END {
        split("wake swap clear full", mode, " ")
        for (i = 1; i <= 4; ++i) { p[i] = median(mode[i], 1); x[i] = median(mode[i], 2) }
        printf "CPU per tick, ms (medians of %d runs)   program   X server\n", n["full"]
        printf "%-38s %9.3f %10.3f\n", "run loop wake-up (wake)", p[1], x[1]
        printf "%-38s %9.3f %10.3f\n", "swap to the X server (swap - wake)", p[2] - p[1], x[2] - x[1]
        printf "%-38s %9.3f %10.3f\n", "colour clear (clear - swap)", p[3] - p[2], x[3] - x[2]
        printf "%-38s %9.3f %10.3f\n", "98-vertex batch (full - clear)", p[4] - p[3], x[4] - x[3]
        printf "%-38s %9.3f %10.3f\n", "whole tick (full)", p[4], x[4]
    }' "$results"
