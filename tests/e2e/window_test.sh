#!/bin/bash
# The real program in a real window (run under with-xvfb.sh): start-up lines, keys, clicks,
# the picture, and both ways of quitting.
#   window_test.sh FISHTANK SCREENSHOT-CHECK CLOSE-WINDOW
set -u
fishtank=$1 check=$2 close_window=$3
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    echo "--- standard output:"; cat "$work/out"
    echo "--- standard error:"; cat "$work/err"
    exit 1
}
# wait_for SECONDS COMMAND...: retries COMMAND until it succeeds or time runs out.
wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}
lines() { grep -c -x -F -- "$1" "$work/out"; }
has_lines() { [ "$(lines "$1")" -ge "$2" ]; }
find_window() {
    kill -0 "$pid" 2>/dev/null || fail "the program ended at start-up"
    window=$(xdotool search --name '^Fishtank$' 2>/dev/null | head -1)
    [ -n "$window" ]
}
picture_is() {
    xwd -id "$window" -silent 2>/dev/null | xwdtopnm > "$work/shot.ppm" 2>/dev/null &&
        "$check" "$work/shot.ppm" "$1" 2>"$work/check"
}
start() {
    "$fishtank" > "$work/out" 2> "$work/err" &
    pid=$!
    wait_for 60 find_window || fail "no window appeared"
    wait_for 60 has_lines "prepare OpenGL." 1 || fail "no set-up line"
    xdotool windowfocus --sync "$window"
}
# ends_with_status_0 ACTION: the process ends, with status 0, soon after ACTION.
ends_with_status_0() {
    local started=$(date +%s.%N)
    "$@"
    wait_for 20 bash -c "! kill -0 $pid 2>/dev/null" || fail "still running after $*"
    wait "$pid"; local status=$?
    pid=
    local took=$(awk "BEGIN { printf \"%.2f\", $(date +%s.%N) - $started }")
    [ "$status" -eq 0 ] || fail "exit status $status after $*"
    echo "ok: ended with status 0, ${took}s after $*"
}

start
[ "$(head -2 "$work/out")" = $'app launch\nprepare OpenGL.' ] || fail "start-up lines out of order"
[ "$(lines "app launch")" -eq 1 ] && [ "$(lines "prepare OpenGL.")" -eq 1 ] || fail "start-up lines repeated"
echo "ok: start-up lines"

wait_for 30 picture_is tunnel || fail "start picture: $(cat "$work/check")"
echo "ok: the tunnel from head distance 1"

xdotool key x
wait_for 30 has_lines "keydown event....." 1 || fail "no key-down line"
xdotool key Shift_L Control_L x   # modifiers alone are no key events
wait_for 30 has_lines "keydown event....." 2 || fail "no second key-down line"
xdotool click 1
wait_for 30 has_lines "mousedown event..." 1 || fail "no mouse line"
[ "$(lines "keydown event.....")" -eq 2 ] || fail "modifier keys printed key-down lines"
echo "ok: key and mouse lines"

xdotool keydown e
wait_for 60 picture_is empty || fail "holding e did not clip the tunnel: $(cat "$work/check")"
xdotool keyup e
echo "ok: holding e clips the tunnel away"
xdotool keydown q
wait_for 60 picture_is tunnel || fail "holding q did not bring the tunnel back: $(cat "$work/check")"
xdotool keyup q
echo "ok: holding q brings it back"

ends_with_status_0 "$close_window" "$window"

start
ends_with_status_0 xdotool key ctrl+q
[ ! -s "$work/err" ] || fail "unexpected standard error"
echo "window test passed"
