#!/bin/bash
# The true-scale picture in the tracked program (run under with-xvfb.sh, whose 1024x768
# screen reports no physical size): --screen values that are no screen's are refused;
# without --screen the set-up check says why the monitor's size cannot be used and keeps
# the viewing angle; with it, the check tells the screen, the camera's place and the eye,
# which is the synthetic face's known place plus the camera's; and a tracker's pose puts
# the eye at the centre, --distance away, plus the pose, from where the window shows the
# tunnel's far frame where the lines from the eye through it cross the screen.
#   true_scale_test.sh FISHTANK-TRACK POSE-SEND SCREENSHOT-CHECK FACE-VIDEO SOURCE-DIR
set -u
track=$1 send=$2 check=$3 face_video=$4 source=$5
source "$source/scripts/display.sh"  # wait_for_window, start_work
source "$source/tests/e2e/window_helpers.sh"
start_work
sender=
trap '[ -n "$pid" ] && kill "$pid"; [ -n "$sender" ] && kill "$sender"; rm -rf "$work"' EXIT
cd "$work" || exit 1
"$face_video" still.avi 320x240 3 still || fail "cannot make the test video"

for args in "--screen 5x4" "--screen 400x300" "--screen 40x10" "--screen 40" "--screen 0in" \
            "--screen 40x30 --mapping angle" "--camera-place 1,2" "--ipd 6" "--stereo 3d" \
            "--predict off"; do
    # shellcheck disable=SC2086
    timeout 20 "$track" $args > out 2> err
    status=$?
    [ "$status" -eq 2 ] && [ "$(wc -l < err)" -eq 1 ] || fail "$args: status $status, $(cat err)"
done
echo "ok: what is no screen, and options that do not go together, are refused: $(cat err)"

# check_eye ARGS... EXPECTED-X EXPECTED-Y EXPECTED-Z: the check of the still face (60 cm away,
# 5 cm below the camera) with ARGS tells an eye within the camera's accuracy of the one
# expected.
check_eye() {
    local expected=("${@: -3}")
    timeout 60 "$track" --camera still.avi --camera-check check.png "${@:1:$#-3}" > out 2> err ||
        fail "the check with ${*:1:$#-3}: status $?"
    eye=$(sed -n 's/^eye: x \([-+0-9.]*\) cm, y \([-+0-9.]*\) cm, z \([0-9.]*\) cm.*/\1 \2 \3/p' out)
    awk -v e="$eye" -v x="${expected[0]}" -v y="${expected[1]}" -v z="${expected[2]}" 'BEGIN {
        split(e, m, " "); exit !(m[1] - x < 0.5 && x - m[1] < 0.5 && m[2] - y < 0.5 && y - m[2] < 0.5 &&
                                 m[3] - z < 1.5 && z - m[3] < 1.5) }' ||
        fail "the eye is at $eye, not near ${expected[*]}: $(cat out)"
}
timeout 60 "$track" --camera still.avi --camera-check check.png > out 2> err
grep -q "^screen: the monitor's size cannot be used: a screen of 0 x 0 cm has no size; the picture keeps the viewing angle" out &&
    ! grep -q "^eye: " out || fail "no word on the monitor's size: $(cat out)"
check_eye --screen 40x30 0 11 60
grep -q -x "screen: 40.0 x 30.0 cm (--screen)" out && grep -q -x "camera: +0.0 cm across and +16.0 cm up from the screen's centre" out ||
    fail "the check's screen: $(cat out)"
check_eye --screen 20in --camera-place 5,-20 --distance 60 5 -25 60
grep -q -x "screen: 40.6 x 30.5 cm (--screen)" out || fail "--screen 20in: $(cat out)"
echo "ok: the check tells the screen, the camera's place and the eye: $(grep '^eye: ' out)"

# A tracker's pose 4 cm to the right and 2 cm up: the eye at (4, 2, 60). The window's far
# frame, where the lines from the eye through its corners cross the screen, in the
# window's units.
"$track" --port 0 --screen 40x30 --distance 60 > out 2> err &
pid=$!
wait_for 30 grep -q "^fishtank-track: listening on 127.0.0.1:" err || fail "no listening line"
port=$(sed -n 's/^fishtank-track: listening on 127.0.0.1:\([0-9]*\)$/\1/p' err)
wait_for_window Fishtank "$pid" || fail "no window appeared"
"$send" --port "$port" --pose 4,2,0 --rate 60 --seconds 30 2> /dev/null &
sender=$!
eval "$(xdotool getwindowgeometry --shell "$window")"
expected=$(awk -v x="$X" -v y="$Y" -v w="$WIDTH" -v h="$HEIGHT" 'BEGIN {
    c = 40 / 1024; left = (x - 512) * c; top = (384 - y) * c; right = left + w * c; bottom = top - h * c
    unit = (top - bottom) / 2; cx = (left + right) / 2; cy = (top + bottom) / 2
    k = 60 / (60 + 9 * unit)  # from the eye to the far frame, the share before the screen
    ex = 4; ey = 2
    printf "%.4f %.4f %.4f %.4f", 2 * (ex + (cx - unit - ex) * k - left) / (right - left) - 1,
        2 * (ex + (cx + unit - ex) * k - left) / (right - left) - 1,
        2 * (ey + (cy - unit - ey) * k - bottom) / (top - bottom) - 1,
        2 * (ey + (cy + unit - ey) * k - bottom) / (top - bottom) - 1 }')
# shellcheck disable=SC2086
wait_for 30 picture_is frame9 $expected || fail "the far frame from (4, 2, 60): $(cat "$work/check"), wanted $expected"
echo "ok: the far frame from the eye (4, 2, 60) is where the lines from the eye cross the screen: $expected"
kill "$sender"
sender=
ends_with_status_0 xdotool key ctrl+q
echo "true scale test passed"
