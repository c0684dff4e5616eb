#!/bin/bash
# The tracked program in a real window (run under with-xvfb.sh), driven by real UDP poses
# on loopback: the picture follows the poses, keys wait while they flow, tracking is lost
# and found again, and a second program cannot take the same port.
#   track_test.sh FISHTANK-TRACK POSE-SEND SCREENSHOT-CHECK SOURCE-DIR
set -u
track=$1 send=$2 check=$3 source=$4
source "$source/scripts/display.sh"  # wait_for_window
source "$source/tests/e2e/window_helpers.sh"
work=$(mktemp -d)
pid= sender=
trap 'kill $pid $sender 2>/dev/null; rm -rf "$work"' EXIT

said() { grep -c -x -F -- "$1" "$work/err"; }
# send X,Y,Z SECONDS: poses at 60 Hz in the background
send() {
    [ -n "$sender" ] && kill "$sender" 2>/dev/null
    "$send" --port "$port" --pose "$1" --rate 60 --seconds "$2" 2>/dev/null &
    sender=$!
}

"$track" --port 0 > "$work/out" 2> "$work/err" &
pid=$!
wait_for 30 grep -q "^fishtank-track: listening on 127.0.0.1:" "$work/err" || fail "no listening line"
port=$(sed -n 's/^fishtank-track: listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/err")
wait_for_window Fishtank "$pid" || fail "no window appeared"
xdotool windowfocus --sync "$window"
wait_for 30 picture_is tunnel || fail "start picture: $(cat "$work/check")"
echo "ok: without poses, the start picture of fishtank (port $port)"

"$track" --port "$port" > /dev/null 2> "$work/second" &
second=$!
wait "$second"
status=$?
[ "$status" -eq 1 ] && grep -q "cannot listen on 127.0.0.1:$port: Address already in use" "$work/second" ||
    fail "second program on the same port: status $status, $(cat "$work/second")"
echo "ok: a second program on the same port fails clearly"

send 0,0,60 30   # leaning back by the viewing distance: head distance 2
wait_for 30 picture_is empty || fail "z = D still shows the tunnel: $(cat "$work/check")"
echo "ok: leaning back by the viewing distance clips the tunnel away"

send 30,0,0 30   # half the viewing distance to the right: head (0.5, 0, 1)
wait_for 30 picture_is frame9 0.35 0.55 -0.1 0.1 || fail "x = D/2: $(cat "$work/check")"
[ "$(said "fishtank-track: tracking")" -eq 1 ] || fail "no single tracking line"
echo "ok: x = D/2 draws the depth-9 frame from 0.35 to 0.55 across"

keys_before=$(grep -c "keydown event" "$work/out")
xdotool keydown e
sleep 3
xdotool keyup e
[ "$(grep -c "keydown event" "$work/out")" -gt "$keys_before" ] || fail "keys print no line while tracked"
picture_is frame9 0.35 0.55 -0.1 0.1 || fail "a key moved the tracked head: $(cat "$work/check")"
echo "ok: keys print their line but move nothing while poses flow"

kill "$sender"; wait "$sender" 2>/dev/null; sender=
wait_for 10 grep -q "^fishtank-track: no head pose for 0.5 s$" "$work/err" || fail "no line on lost tracking"
sleep 1
picture_is frame9 0.35 0.55 -0.1 0.1 || fail "the head did not hold after loss: $(cat "$work/check")"
echo "ok: lost tracking is told and the head holds"

xdotool keydown e
wait_for 30 picture_is empty || fail "keys do not work after loss: $(cat "$work/check")"
xdotool keyup e
echo "ok: keys move the head again after loss"

send 30,0,0 30
wait_for 30 picture_is frame9 0.35 0.55 -0.1 0.1 || fail "poses did not take the head back"
[ "$(said "fishtank-track: tracking")" -eq 2 ] || fail "no tracking line when poses returned"
echo "ok: tracking found again"

xdotool key ctrl+q
wait_for 20 bash -c "! kill -0 $pid 2>/dev/null" || fail "still running after Ctrl+Q"
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status after Ctrl+Q"
[ -z "$(grep -v -x -e "app launch" -e "prepare OpenGL." -e "keydown event....." "$work/out")" ] ||
    fail "unexpected standard output"
echo "track test passed"
