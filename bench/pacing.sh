#!/bin/bash
# Runs fishtank, ref12 (the naive reference, default pixel format), ref12-trimmed (the
# same with Fishtank's colour-only format) and fishtank-track with no tracker sending (as
# it is, in true scale, and in anaglyph), in turn, ROUNDS times (default 3) under one
# Xvfb, SECONDS each (default 60). Prints every run, then per program the
# minimum, median and maximum of: ticks per second, mean and 99th-percentile deviation of
# the tick interval from 1/12 s, drift (ticks gained or lost), CPU seconds, peak RSS; and
# fishtank's medians as ratios to each of the others. Ticks are counted from outside, by an
# LD_PRELOAD shim that timestamps every glClear.
#   [ROUNDS=N] bench/pacing.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 60 "$0" "$@"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure NAME TITLE COMMAND...: one run; appends "name tps mean p99 drift cpu rss" to
# results.
measure() {
    local name=$1 title=$2 stamps="$work/$1.$RANDOM" pid
    TICKSTAMP_FILE=$stamps LD_PRELOAD="$build/bench/libtickstamp.so" "${@:3}" > /dev/null 2>&1 &
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

for _ in $(seq "${ROUNDS:-3}"); do
    measure fishtank Fishtank "$build/fishtank"
    measure ref12 ref12 "$build/ref12"
    measure ref12-trimmed ref12-trimmed "$build/ref12-trimmed"
    measure fishtank-track Fishtank "$build/fishtank-track"
    # Xvfb's 1024x768 screen reports no size: one in its aspect.
    measure true-scale Fishtank "$build/fishtank-track" --screen 40x30
    measure anaglyph Fishtank "$build/fishtank-track" --screen 40x30 --stereo anaglyph
done

awk '
    function median(name, k,    a, i, j, t, c) {
        c = n[name]
        for (i = 1; i <= c; ++i) a[i] = v[name, i, k]
        for (i = 2; i <= c; ++i) for (j = i; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
        lo = a[1]; hi = a[c]
        return c % 2 ? a[(c + 1) / 2] : (a[c / 2] + a[c / 2 + 1]) / 2
    }
    { n[$1]++; for (k = 2; k <= 7; ++k) v[$1, n[$1], k] = $k; if (!($1 in order)) { order[$1] = ++names; name[names] = $1 }
      printf "%-14s %9.4f %12.6f %12.6f %14.2f %8.3f %14d\n", $1, $2, $3, $4, $5, $6, $7 }
    BEGIN { print "run             ticks/s   mean dev (s)  p99 dev (s)  drift (ticks)  CPU (s)  peak RSS (kB)" }
    END {
        print ""
        print "min / median / max over " n["fishtank"] " runs"
        split("ticks/s,mean dev (s),p99 dev (s),drift (ticks),CPU (s),peak RSS (kB)", label, ",")
        for (p = 1; p <= names; ++p)
            for (k = 2; k <= 7; ++k) {
                m = median(name[p], k); med[name[p], k] = m
                printf "%-14s %-14s %12.6g %12.6g %12.6g\n", name[p], label[k - 1], lo, m, hi
            }
        for (r = 2; r <= names; ++r) {
            printf "fishtank / %-14s", name[r]
            for (k = 2; k <= 7; ++k) printf " %s", (med[name[r], k] != 0 ? sprintf("%.3f", med["fishtank", k] / med[name[r], k]) : "-")
            print "   (medians; columns as above)"
        }
    }' "$work/results"
