#!/bin/bash
# Runs build/fishtank under valgrind memcheck for SECONDS (default 10) under Xvfb, pressing
# the six keys and others and clicking, then closes the window; then the same for
# build/fishtank-track while a sender sends it poses mixed with datagrams it must drop, and
# for build/fishtank-track following a face in a synthetic camera video.
# Fails on any memory error or definite leak outside the suppressions (scripts/valgrind.supp).
#   scripts/memcheck.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 10 "$0" "$@"
start_work

# check NAME PROGRAM [ARGS...]: the program under memcheck for SECONDS, keys pressed.
check() {
    local name=$1 log=$work/$1.log; shift
    valgrind --error-exitcode=99 --leak-check=full --show-leak-kinds=definite \
        --errors-for-leak-kinds=definite --num-callers=30 \
        --suppressions="$root/scripts/valgrind.supp" "$@" > /dev/null 2> "$log" &
    pid=$!
    wait_for_window Fishtank "$pid" || { cat "$log"; echo "memcheck: $name: no window" >&2; exit 1; }
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    local sender=
    if [ "$name" = fishtank-track ]; then
        port=$(sed -n 's/^fishtank-track: listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$log")
        "$build/fishtank-pose-send" --port "$port" --path sine --rate 100 --garbage 2 \
            --seconds "$seconds" 2> /dev/null &
        sender=$!
    fi
    local end=$((SECONDS + seconds)) keys=(w a d s q e x W Shift_L Left)
    while [ "$SECONDS" -lt "$end" ]; do
        key=${keys[RANDOM % ${#keys[@]}]}
        xdotool keydown "$key"; sleep 0.2; xdotool keyup "$key"
        [ $((RANDOM % 4)) -eq 0 ] && xdotool click 1
    done
    [ -z "$sender" ] || wait "$sender"
    "$build/close-window" "$window"
    local status=0
    wait "$pid" || status=$?
    pid=
    grep -E "ERROR SUMMARY|definitely lost" "$log" | sed "s/^==[0-9]*== /$name: /"
    if [ "$status" -ne 0 ]; then
        cat "$log"
        echo "memcheck: $name failed (status $status)" >&2
        exit 1
    fi
}
check fishtank "$build/fishtank"
check fishtank-track "$build/fishtank-track" --port 0
"$build/face-video" "$work/face.avi" 320x240 "$((seconds + 30))" path
check fishtank-track-camera "$build/fishtank-track" --camera "$work/face.avi"
echo "memcheck: no errors in ${seconds}s each"
