#!/bin/bash
# Runs build/fishtank under valgrind memcheck for SECONDS (default 10) under Xvfb, pressing
# the six keys and others and clicking, then closes the window. Fails on any memory error
# or definite leak outside the suppressions (scripts/valgrind.supp).
#   scripts/memcheck.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 10 "$0" "$@"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
valgrind --error-exitcode=99 --leak-check=full --show-leak-kinds=definite \
    --errors-for-leak-kinds=definite --num-callers=30 \
    --suppressions="$root/scripts/valgrind.supp" "$build/fishtank" > /dev/null 2> "$log" &
pid=$!
wait_for_window Fishtank "$pid" || { cat "$log"; echo "memcheck: no window" >&2; exit 1; }
xdotool windowfocus --sync "$window" 2>/dev/null || true
end=$((SECONDS + seconds))
keys=(w a d s q e x W Shift_L Left)
while [ "$SECONDS" -lt "$end" ]; do
    key=${keys[RANDOM % ${#keys[@]}]}
    xdotool keydown "$key"; sleep 0.2; xdotool keyup "$key"
    [ $((RANDOM % 4)) -eq 0 ] && xdotool click 1
done
"$build/close-window" "$window"
status=0
wait "$pid" || status=$?
grep -E "ERROR SUMMARY|definitely lost" "$log" | sed 's/^==[0-9]*== //'
if [ "$status" -ne 0 ]; then
    cat "$log"
    echo "memcheck: failed (status $status)" >&2
    exit 1
fi
echo "memcheck: no errors in ${seconds}s"
