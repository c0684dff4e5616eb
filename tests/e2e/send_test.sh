#!/bin/bash
# The camera as a head tracker for other programs (run under with-xvfb.sh): the datagrams
# of fishtank-track --no-window --send, read by a receiver of the tests' own; a chain into
# a second fishtank-track's window; SIGUSR1 and SIGTERM; receivers that are not there or
# stop reading; hosts and ports that cannot be sent to.
#   send_test.sh FISHTANK-TRACK FACE-VIDEO POSE-RECEIVER SCREENSHOT-CHECK SOURCE-DIR
set -u
track=$1 face_video=$2 receive=$3 check=$4 source=$5
source "$source/scripts/display.sh"  # wait_for_window, start_work
source "$source/tests/e2e/window_helpers.sh"
start_work
receiver= second=
trap 'kill $pid $receiver $second 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
# receive: a receiver in the background, its lines in poses, its port in `port`.
receive() {
    "$receive" 60 100000 > poses &
    receiver=$!
    wait_for 10 test -s poses || fail "the receiver did not start"
    port=$(head -1 poses | cut -d' ' -f2)
}
# tracker ARGS...: fishtank-track --no-window, no display, in the background.
tracker() {
    env -u DISPLAY "$track" --no-window "$@" > out 2> err &
    pid=$!
}
# last COLUMN: the newest received datagram's value in COLUMN (3: x, 5: z).
last() { tail -1 poses | cut -d, -f"$1"; }
ends_with_status_0_on() {
    kill "-$1" "$pid"
    wait_for 10 bash -c "! kill -0 $pid 2>/dev/null" || fail "still running after SIG$1"
    wait "$pid"
    local status=$?
    pid=
    [ "$status" -eq 0 ] || fail "status $status after SIG$1"
}

"$face_video" move.avi 320x240 60 move || fail "cannot make the test video"

# The head moves 12 cm to the right 1.5 s in: +x, the distance unchanged.
receive
tracker --camera move.avi --send "127.0.0.1:$port"
wait_for 10 grep -q "sending the head's poses to 127.0.0.1:$port" err || fail "no sending line"
wait_for 20 awk -F, -v n=0 'NR > 1 && $3 > 11 { n++ } END { exit n < 10 }' poses ||
    fail "the head did not reach +12 cm: $(tail -3 poses)"
awk -F, 'NR > 1 && $2 != 48 { exit 1 }' poses || fail "a datagram is not 48 bytes"
awk "BEGIN { x = $(last 3); z = $(last 5); exit !(x > 11 && x < 13 && z > -1 && z < 1) }" ||
    fail "12 cm to the right: $(last 3) across, $(last 5) away"
echo "ok: 48-byte datagrams, 12 cm to the right sent as x $(last 3), z $(last 5)"

# SIGUSR1 takes the head's place as neutral: x back to 0. SIGTERM ends with status 0.
centred() { awk "BEGIN { x = $(last 3); exit !(x > -1 && x < 1) }"; }
kill -USR1 "$pid"
wait_for 10 centred ||
    fail "SIGUSR1 took no neutral place: x $(last 3)"
echo "ok: SIGUSR1 takes the neutral place"
# A receiver that stops reading: the tracker runs on.
kill -STOP "$receiver"
sleep 2
kill -0 "$pid" || fail "the tracker ended when its receiver stopped reading"
kill -CONT "$receiver"
ends_with_status_0_on TERM
grep -q "^fishtank-track: sent [1-9][0-9]* poses to 127.0.0.1:$port" err || fail "no count: $(cat err)"
echo "ok: a receiver that stops reading costs nothing; SIGTERM ends with status 0"

# Nobody listening: the tracker runs on and counts it. SIGINT ends with status 0.
kill "$receiver"
wait "$receiver" 2>/dev/null
receiver=
tracker --camera move.avi --send "127.0.0.1:$port"
wait_for 10 grep -q tracking err || fail "no face followed: $(cat err)"
sleep 1
ends_with_status_0_on INT
grep -q "[1-9][0-9]* found nobody listening" err || fail "the refusals are not counted: $(cat err)"
echo "ok: nobody listening is counted, and SIGINT ends with status 0"

# A chain: the poses into a second fishtank-track, whose picture follows the face.
"$track" --port 0 > out2 2> err2 &
second=$!
wait_for 30 grep -q "^fishtank-track: listening on 127.0.0.1:" err2 || fail "no listening line"
port=$(sed -n 's/^fishtank-track: listening on 127.0.0.1:\([0-9]*\)$/\1/p' err2)
pid=$second
wait_for_window Fishtank "$second" || fail "no window appeared"
tracker --camera move.avi --send "127.0.0.1:$port"
# The head 12 cm to the user's right of the neutral place, 60 cm away: (0.2, 0, 1).
wait_for 30 picture_is frame9 0.08 0.28 -0.1 0.1 || fail "the chain: $(cat "$work/check")"
kill "$pid" "$second"
pid= second=
echo "ok: a second fishtank-track's picture follows the sent poses"

# From the window too.
receive
"$track" --camera move.avi --send "127.0.0.1:$port" > out 2> err &
pid=$!
wait_for 30 awk -F, 'NR > 1 && $3 > 11 { found = 1 } END { exit !found }' poses ||
    fail "the window sent no pose 12 cm to the right: $(tail -3 poses)"
kill "$pid" "$receiver"
pid= receiver=
echo "ok: the window sends its poses too"

# What cannot be sent to: one line each, before the camera opens.
for target in "127.0.0.1:0" "127.0.0.1:65536" "127.0.0.1:x" ":4242" "::1" ""; do
    env -u DISPLAY "$track" --no-window --camera move.avi --send "$target" > out 2> err
    status=$?
    [ "$status" -eq 2 ] && [ "$(wc -l < err)" -eq 1 ] && grep -q -- "--send wants" err ||
        fail "--send '$target': status $status, $(cat err)"
done
env -u DISPLAY timeout 20 "$track" --no-window --camera move.avi --send nosuchhost.invalid > out 2> err
status=$?
[ "$status" -eq 1 ] && grep -q "^fishtank-track: cannot send to nosuchhost.invalid:4242: " err &&
    ! grep -q camera err || fail "a host that does not resolve: status $status, $(cat err)"
env -u DISPLAY "$track" --no-window --camera move.avi > out 2> err
[ $? -eq 2 ] && grep -q "wants --send" err || fail "--no-window without --send: $(cat err)"
echo "ok: hosts and ports that cannot be sent to are refused with their line"
echo "send test passed"
