#!/bin/bash
# The camera as the head tracker of the tracked program (run under with-xvfb.sh), fed
# synthetic videos of a real face (this machine has no camera): the set-up check, the
# tracking line, the picture at a known head position, the recorded yaw of a turning
# face, the end of a file with the keys working after, a video without a face, sources
# that cannot be used, and Ctrl+Q while the camera runs and while its read blocks.
#   camera_test.sh FISHTANK-TRACK FACE-VIDEO SCREENSHOT-CHECK SOURCE-DIR
set -u
track=$1 face_video=$2 check=$3 source=$4
source "$source/scripts/display.sh"  # wait_for_window, start_work
source "$source/tests/e2e/window_helpers.sh"
start_work
feeder=
trap '[ -n "$pid" ] && kill "$pid"; [ -n "$feeder" ] && kill "$feeder"; rm -rf "$work"' EXIT
cd "$work"
said() { grep -c -x -F -- "$1" "$work/err"; }
start() {
    "$track" "$@" > "$work/out" 2> "$work/err" &
    pid=$!
    wait_for_window Fishtank "$pid" || fail "no window appeared"
    xdotool windowfocus --sync "$window"
}
# The head 12 cm to the user's right of the neutral place, 60 cm away: (0.2, 0, 1).
at_twelve_cm() { picture_is frame9 0.08 0.28 -0.1 0.1; }

"$face_video" move.avi 320x240 6 move && "$face_video" none.avi 320x240 8 none &&
    "$face_video" turn.avi 640x480 5 turn ||
    fail "cannot make the test videos"
head -c 30000 move.avi > cut.avi
echo "not a video" > text.avi

# Sources that cannot be used: one line naming the source and why, status 1. A FIFO that
# never gets a writer, or whose writer stops before a whole frame, is given up in 5 s.
mkfifo unwritten.avi early.avi
{ head -c 3000 move.avi; exec sleep 60; } > early.avi &
feeder=$!
for case in "missing.avi:no such file" "text.avi:not a video" "/dev/video99:no such device" \
            ".:a folder, not a video" "missing%03d.png:no such file" \
            "unwritten.avi:no picture came within 5 s" "early.avi:no picture came within 5 s"; do
    file=${case%%:*} reason=${case#*:}
    timeout 20 "$track" --camera "$file" > out 2> err
    status=$?
    [ "$status" -eq 1 ] && [ "$(wc -l < err)" -eq 1 ] &&
        grep -q "^fishtank-track: cannot open the camera $file: $reason" err ||
        fail "--camera $file: status $status, $(cat err)"
done
kill "$feeder"
feeder=
timeout 20 "$track" --camera move.avi --port 4242 2> err
[ $? -eq 2 ] || fail "--camera with --port: $(cat err)"
echo "ok: sources that cannot be used are named, with the reason"

# Bad values, a check picture that cannot be written among them: one line, status 2,
# before any capture. Numbers are plain decimals, as in records.
mkfifo unread.png
for args in "--distance 0x10" "--camera-fov inf" "--smooth 1,nan" "--camera-check -" \
            "--camera-check no/such/folder/check.png" "--record bad.csv" "--listen 127.0.0.1" \
            "--camera-check unread.png"; do
    # shellcheck disable=SC2086
    timeout 20 "$track" --camera move.avi --camera-check bad.png $args > out 2> err
    status=$?
    [ "$status" -eq 2 ] && [ "$(wc -l < err)" -eq 1 ] && [ ! -s out ] && [ ! -e bad.png ] &&
        [ ! -e - ] && [ ! -e bad.csv ] || fail "$args: status $status, $(cat out err)"
done
grep -q "unread.png: no program reads this FIFO" err && "$track" --list-cameras --camera 2> err
[ $? -eq 2 ] && grep -q "^fishtank-track: --list-cameras takes no other option$" err ||
    fail "--list-cameras with another option: $(cat err)"
echo "ok: bad values, options that do not go together and check pictures that cannot be written are refused at once"

# The set-up check: the face, its place and a picture; without a face, status 1.
timeout 30 "$track" --camera move.avi --camera-check check.png > check.out 2> err ||
    fail "the check with a face: $(cat check.out err)"
grep -q "^face: " check.out && grep -q "frames/s" check.out && pngtopnm check.png > /dev/null ||
    fail "the check says too little: $(cat check.out)"
timeout 30 "$track" --camera none.avi --camera-check none.png > none.out 2> err
[ $? -eq 1 ] && grep -q "no face" none.out || fail "the check without a face: $(cat none.out err)"
timeout 30 "$track" --camera cut.avi --camera-check cut.png > cut.out 2> err
[ $? -le 1 ] && grep -q "the file ended after [0-9]* frames" cut.out && ! grep -q "next is due" cut.out ||
    fail "the check of a cut file: $(cat cut.out err)"
timeout 30 "$track" --camera move.avi --camera-fov 170 --camera-check wide.png > wide.out 2> err
[ $? -eq 1 ] && grep -q "^face: " wide.out && grep -q "^no pose: " wide.out ||
    fail "the check of a face that gives no pose: $(cat wide.out err)"
timeout 30 "$track" --camera move.avi --camera-check full.png > /dev/full 2> err
[ $? -eq 3 ] && grep -q "^fishtank-track: cannot write the check's report: No space left on device$" err ||
    fail "the check's report lost: $(cat err)"
echo "ok: the set-up check finds the face, and says when there is none"

# Odd and damaged sources in the check (ffmpeg makes them from the test videos): an image
# sequence whose first picture has 16 bits a channel, whose eleventh is cut short and whose
# twentieth is no picture at all; a video with a frame's bytes overwritten; a rate of
# 0.0005 frames/s, which must not hold the check; pictures too small for a face; a video
# whose size drops midway, which the library hands over as stale pixels around the face.
"$face_video" big.avi 640x480 1 still && "$face_video" small.avi 320x240 2 still &&
    "$face_video" tiny.avi 16x16 1 still && "$face_video" long.avi 320x240 3 still ||
    fail "cannot make the odd videos"
mkdir seq && ffmpeg -loglevel error -i long.avi seq/%03d.png &&
    ffmpeg -loglevel error -i seq/001.png -pix_fmt rgb48be seq/deep.png && mv seq/deep.png seq/001.png &&
    head -c 3000 seq/011.png > seq/cut.png && mv seq/cut.png seq/011.png &&
    head -c 5000 /dev/urandom > seq/020.png &&
    cp move.avi damaged.avi &&
    at=$(($(grep -obUa 00dc move.avi | sed -n 20p | cut -d: -f1) + 20)) &&
    head -c 3000 /dev/zero | dd of=damaged.avi bs=1 seek="$at" conv=notrunc 2> /dev/null &&
    ffmpeg -loglevel error -r 0.0005 -i move.avi -c copy slow.avi &&
    printf "file big.avi\nfile small.avi\n" > parts && ffmpeg -loglevel error -f concat -i parts -c copy shrinks.avi ||
    fail "ffmpeg cannot make the odd videos"
check_says() {  # check_says SOURCE STATUS LINE...: the check ends with STATUS and says each LINE
    local source=$1 expected=$2 status line
    shift 2
    timeout 10 "$track" --camera "$source" --camera-check odd.png > odd.out 2> err
    status=$?
    [ "$status" -eq "$expected" ] || fail "the check of $source: status $status, $(cat odd.out)"
    for line in "$@"; do
        grep -q -x -F -- "$line" odd.out || fail "the check of $source does not say '$line': $(cat odd.out)"
    done
}
check_says 'seq/%03d.png' 0 "2 frames that could not be read were skipped"
! grep -q "the file ended" odd.out && [ ! -s err ] ||
    fail "the sequence ended early, or a decoder spoke: $(cat odd.out err)"
check_says damaged.avi 0 "1 frame that could not be read was skipped"
check_says slow.avi 1 "camera slow.avi: 320x240 at 0.0005 frames/s" \
    "no face: 0.0005 frames/s is too low a rate to follow a face (10 at least)"
check_says tiny.avi 1 "no face: the pictures, 16x16 pixels, are too small to find one in (45x45 at least)"
grep -q "no face was followed; whole-picture searches: [0-9]*, " odd.out || fail "tiny: $(cat odd.out)"
check_says shrinks.avi 1 "no face: the picture around it stopped changing, as a frozen or damaged video's does"
echo "ok: odd and damaged sources are read past their bad frames, and the check says what is wrong"

# Following the face: the tracking line, the picture from the head's place, no UDP port.
start --camera move.avi
wait_for 30 grep -q "^fishtank-track: tracking$" err || fail "no tracking line"
grep -q "^fishtank-track: camera move.avi: 320x240 at 30 frames/s$" err || fail "no camera line"
wait_for 30 at_twelve_cm || fail "the head 12 cm to the right: $(cat "$work/check")"
sockets=$(find /proc/$pid/fd -lname 'socket:*' -printf '%l\n' | tr -dc '0-9\n')
for inode in $sockets; do
    awk -v i="$inode" '$10 == i { exit 1 }' /proc/net/udp || fail "--camera opened a UDP socket"
done
echo "ok: the face 12 cm to the right draws the depth-9 frame from 0.08 to 0.28 across"
xdotool key c
wait_for 30 picture_is tunnel || fail "c did not take the face's place as neutral: $(cat "$work/check")"
echo "ok: c takes the face's place as the neutral one"
wait_for 30 grep -q "^fishtank-track: camera: end of move.avi$" err || fail "no end-of-file line"
xdotool keydown e
wait_for 30 picture_is empty || fail "keys do not move the head after the end: $(cat "$work/check")"
xdotool keyup e
ends_with_status_0 xdotool key ctrl+q
grep -q "^fishtank-track: camera: [0-9]* poses drawn, from frame to photon" err || fail "no summary"
echo "ok: the end of the file is told, and the keys move the head after it"

# The head's turn is recorded: yaw > 0 while the face turns to the user's own right.
start --camera turn.avi --record turn.csv
wait_for 30 grep -q "^fishtank-track: camera: end of turn.avi$" err || fail "no end of turn.avi"
ends_with_status_0 xdotool key ctrl+q
awk -F, 'NR > 1 && $5 > 12 && !right { right = NR } NR > 1 && $5 < -12 && !left { left = NR }
         END { exit !(right && left && right < left) }' turn.csv ||
    fail "the recorded yaw does not follow the turn: $(cut -d, -f5 turn.csv | tr '\n' ' ')"
echo "ok: the recorded yaw follows the face turning to the user's right, then to their left"

# No face: no tracking, the keys work; full screen and back; Ctrl+Q while the camera runs.
start --camera none.avi --fullscreen
width() { xwininfo -id "$window" | awk '/Width:/ { print $2 }'; }
is_wide() { [ "$(width)" = "$1" ]; }
wait_for 10 is_wide 1024 || fail "--fullscreen: the window is $(width) wide, the screen 1024"
xdotool key f
wait_for 10 is_wide 720 || fail "f: the window is $(width) wide, not 720 again"
xdotool keydown e
wait_for 30 picture_is empty || fail "keys do not work without a face"
xdotool keyup e
ends_with_status_0 xdotool key ctrl+q
[ "$(said "fishtank-track: tracking")" -eq 0 ] || fail "a video without a face was tracked"
echo "ok: without a face, no tracking and the keys work"

# A read that blocks: a FIFO that stops feeding its video half-way.
mkfifo stalled.avi
{ head -c 300000 move.avi; exec sleep 120; } > stalled.avi &
feeder=$!
start --camera stalled.avi
sleep 2
ends_with_status_0 xdotool key ctrl+q
awk -v t="$took" 'BEGIN { exit !(t < 0.5) }' || fail "Ctrl+Q took ${took}s while a read blocked"
echo "camera test passed"
