#!/bin/bash
# A user's model: its load time, pictures a second and memory for generated spheres of
# 100,000 and 1,000,000 triangles (bench/model-bench: a 640x480 true-scale picture on the
# offscreen context, from an eye moving as a followed face does), each against the tunnel
# alone, ROUNDS times (default 3), as min / median / max; then the idle CPU of a window with
# the teapot against the tunnel alone and against fishtank, over SECONDS each (default 20).
#   [ROUNDS=N] bench/model.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 20 "$0" "$@"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench=$build/bench/model-bench
"$bench" write 100000 "$work/100k.stl" > /dev/null
"$bench" write 1000000 "$work/1m.stl" > /dev/null

# stats: min / median / max of the numbers on standard input.
stats() { sort -g | awk '{ v[NR] = $1 } END { printf "%.2f / %.2f / %.2f", v[1], v[int((NR + 1) / 2)], v[NR] }'; }
for _ in $(seq "${ROUNDS:-3}"); do
    for model in none "$work/100k.stl" "$work/1m.stl"; do
        echo "$(basename "$model") $("$bench" draw "$model" 10 2> /dev/null | tail -1)"
    done
done > "$work/runs"
# Lines: NAME load S s, P pictures/s, M MB, at most H MB
printf "%-10s %-20s %-24s %-24s %s\n" model "load s" "pictures/s" "MB over the tunnel alone" "at most"
for name in 100k.stl 1m.stl; do
    load=$(awk -v m="$name" '$1 == m { print $3 }' "$work/runs" | stats)
    rate=$(awk -v m="$name" '$1 == m { print $5 }' "$work/runs" | stats)
    memory=$(awk -v m="$name" '$1 == "none" { base = $7 } $1 == m { print $7 - base }' "$work/runs" | stats)
    peak=$(awk -v m="$name" '$1 == "none" { base = $11 } $1 == m { print $11 - base }' "$work/runs" | stats)
    printf "%-10s %-20s %-24s %-24s %s\n" "$name" "$load" "$rate" "$memory" "$peak"
done

# idle NAME PROGRAM ARGS...: the CPU share of a window nothing moves, over `seconds`.
idle() {
    local name=$1; shift
    "$@" > /dev/null 2>&1 &
    local pid=$!
    wait_for_window Fishtank "$pid" || { echo "$name: no window"; return; }
    sleep 2
    local before=$(cpu_seconds "$pid")
    sleep "$seconds"
    local after=$(cpu_seconds "$pid")
    kill "$pid"; wait "$pid" 2> /dev/null || true
    awk -v n="$name" -v a="$before" -v b="$after" -v s="$seconds" 'BEGIN { printf "%-34s %5.1f %% of a core\n", n, 100 * (b - a) / s }'
}
echo "idle CPU over $seconds s"
idle "fishtank" "$build/fishtank"
idle "fishtank-track, the tunnel alone" "$build/fishtank-track" --port 0 --screen 40x30
idle "fishtank-track, with the teapot" "$build/fishtank-track" --port 0 --screen 40x30 --model teapot
