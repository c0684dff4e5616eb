#!/bin/bash
# The real program in a real window (run under with-xvfb.sh): start-up lines, keys, clicks,
# the picture, and both ways of quitting.
#   window_test.sh FISHTANK SCREENSHOT-CHECK CLOSE-WINDOW SOURCE-DIR
set -u
fishtank=$1 check=$2 close_window=$3 source=$4
source "$source/scripts/display.sh"  # wait_for_window
source "$source/tests/e2e/window_helpers.sh"
start_work

lines() { grep -c -x -F -- "$1" "$work/out"; }
has_lines() { [ "$(lines "$1")" -ge "$2" ]; }
start() {
    "$fishtank" > "$work/out" 2> "$work/err" &
    pid=$!
    wait_for_window Fishtank "$pid" || fail "no window appeared"
    wait_for 60 has_lines "prepare OpenGL." 1 || fail "no set-up line"
    xdotool windowfocus --sync "$window"
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
# A key released after Shift went down is released all the same: the head stops.
xdotool keydown e keydown Shift_L keyup e keyup Shift_L
sleep 3.5  # held on, e would have clipped the tunnel away within 2.2 s
picture_is empty && fail "e released with Shift held kept moving the head"
echo "ok: a key released with Shift held stops"
ends_with_status_0 xdotool key ctrl+q
[ ! -s "$work/err" ] || fail "unexpected standard error"

# Started with standard output, error or input closed, the window maps and works.
for closed in '>&-' '2>&-' '<&-'; do
    eval "\"\$fishtank\" > \"\$work/out\" 2> \"\$work/err\" $closed &"
    pid=$!
    wait_for_window Fishtank "$pid" || fail "no window with $closed"
    wait_for 30 picture_is tunnel || fail "no tunnel with $closed"
    xdotool windowfocus --sync "$window"
    if [ "$closed" = '>&-' ]; then
        xdotool keydown e
        wait_for 60 picture_is empty || fail "keys do nothing with $closed"
        xdotool keyup e
    fi
    ends_with_status_0 xdotool key ctrl+q
done

# Ctrl+Q held while the program starts is no fresh press: it keeps running.
xdotool keydown ctrl+q
start
sleep 1.5
kill -0 "$pid" 2>/dev/null || fail "a Ctrl+Q held from before the start quit the program"
xdotool keyup q keyup ctrl
ends_with_status_0 xdotool key ctrl+q

# On a layout whose Q key gives no Latin letter, Ctrl and that key still quit.
setxkbmap ru
start
ends_with_status_0 xdotool key ctrl+Cyrillic_shorti
setxkbmap us

# A resource larger than memory allows is one that cannot be read: both start lines, and
# the window. (Under an address-space limit, so that no machine really tries; not under
# AddressSanitizer, which needs more address space and ends a program that runs out.)
if [ -z "${FISHTANK_SANITIZED:-}" ]; then
    mkdir -p "$work/huge/resources"
    cp "$fishtank" "$work/huge/fishtank"
    truncate -s 40G "$work/huge/resources/teapot10.stl"
    fishtank=$work/huge/fishtank
    ulimit -v 8000000
    start
    [ "$(head -2 "$work/out")" = $'app launch\nprepare OpenGL.' ] || fail "start lines with a huge resource"
    ends_with_status_0 xdotool key ctrl+q
fi
echo "window test passed"
