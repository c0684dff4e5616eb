#!/bin/bash
# Drives the running program for SECONDS (default 600) with random presses and releases of
# the six keys and others, clicks and window resizes (down to 1x1), sampling its RSS every
# 10 s. Then checks that it is alive and still answers (a key press prints its line, a
# close ends it with status 0) and, on runs past a minute, that its RSS stopped growing
# after the first minute.
#   scripts/soak.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 600 "$0" "$@"

start_work
fail() { echo "soak: $*" >&2; exit 1; }
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$pid/status"; }
keydowns() { grep -c -x "keydown event....." "$work/out" || true; }

"$build/fishtank" > "$work/out" 2> "$work/err" &
pid=$!
wait_for_window Fishtank "$pid" || fail "no window"
xdotool windowfocus --sync "$window"

keys=(w a s d q e x W 1 space Left Return)
held=()
start=$SECONDS next_sample=$SECONDS
first_minute_peak=0 samples=()
while [ $((SECONDS - start)) -lt "$seconds" ]; do
    kill -0 "$pid" 2>/dev/null || fail "the program died: $(cat "$work/err")"
    case $((RANDOM % 10)) in
        0 | 1 | 2) key=${keys[RANDOM % ${#keys[@]}]}; xdotool keydown "$key"; held+=("$key") ;;
        3 | 4 | 5) [ ${#held[@]} -gt 0 ] && { xdotool keyup "${held[@]}"; held=(); } ;;
        6) xdotool click 1 ;;
        7) xdotool windowsize "$window" 1 1 ;;
        8) xdotool windowsize "$window" $((RANDOM % 900 + 1)) $((RANDOM % 700 + 1)) ;;
        9) xdotool windowsize "$window" 720 720 ;;
    esac
    sleep 0.0$((RANDOM % 10))
    if [ "$SECONDS" -ge "$next_sample" ]; then
        rss=$(rss_kb)
        samples+=("$((SECONDS - start))s:${rss}kB")
        [ $((SECONDS - start)) -le 60 ] && [ "$rss" -gt "$first_minute_peak" ] && first_minute_peak=$rss
        next_sample=$((next_sample + 10))
    fi
done
[ ${#held[@]} -gt 0 ] && xdotool keyup "${held[@]}"
echo "soak: RSS ${samples[*]}"

kill -0 "$pid" 2>/dev/null || fail "the program died: $(cat "$work/err")"
xdotool windowsize "$window" 720 720
xdotool windowfocus --sync "$window"
before=$(keydowns)
xdotool key x
for _ in $(seq 200); do [ "$(keydowns)" -gt "$before" ] && break; sleep 0.05; done
[ "$(keydowns)" -gt "$before" ] || fail "a key press after the soak printed nothing"

final=$(rss_kb)
if [ "$seconds" -gt 60 ] && [ "$final" -gt $((first_minute_peak + 2048)) ]; then
    fail "RSS grew after the first minute: peak ${first_minute_peak} kB then ${final} kB"
fi

"$build/close-window" "$window"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "closing gave status $status"
echo "soak: alive and answering after ${seconds}s, closed with status 0"
