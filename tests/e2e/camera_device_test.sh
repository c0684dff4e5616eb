#!/bin/bash
# The camera device path against real kernel drivers, in a guest of tests/guest/run.sh
# (this machine has no camera): vivid as a webcam with a metadata node before it, and
# v4l2loopback carrying the tests' synthetic face as GREY, MJPG and YUYV at 8 frames/s, a
# rate the emulated guest keeps up with, and one node that nobody feeds. The format line,
# busy, permission (as nobody), the metadata node, the GREY-only node, the face found and
# followed, an unplug and its return, a fatal streaming error, and Ctrl+Q in every window.
#   camera_device_test.sh FISHTANK-TRACK FACE-VIDEO SOURCE-DIR
set -u
track=$1 face_video=$2 source=$3
# In the guest, /dev/video0 is vivid's metadata node, 1 and 2 its webcams; 8 to 11 loopbacks.
webcams="n_devs=2 node_types=0x20001,0x1 num_inputs=1,1 input_types=0,0 meta_cap_nr=0,-1 vid_cap_nr=1,2"
if [ "${4:-}" != --in-guest ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cd "$work" || exit 1
    "$face_video" face.avi 640x480 2 still &&
        ffmpeg -loglevel error -i face.avi -vf fps=8 -c:v mjpeg -q:v 3 face.mjpg.avi &&
        ffmpeg -loglevel error -i face.avi -vf fps=8 -pix_fmt gray -f rawvideo face.grey &&
        ffmpeg -loglevel error -i face.avi -vf fps=8 -pix_fmt yuyv422 -f rawvideo face.yuyv ||
        { echo "FAIL: cannot make the face videos"; exit 1; }
    "$source/tests/guest/run.sh" -v --timeout 480 --vivid "$webcams" \
        --loopback "devices=4 video_nr=8,9,10,11 exclusive_caps=1,1,1,1" -- \
        "$source/scripts/with-xvfb.sh" bash "$0" "$track" "$face_video" "$source" --in-guest
    exit
fi

# From here on in the guest, as root, in the host's scratch folder, under an Xvfb.
work=$PWD pid= feeder=
source "$source/scripts/display.sh"  # wait_for_window
source "$source/tests/e2e/window_helpers.sh"  # fail, wait_for, ends_with_status_0
trap '[ -n "$pid" ] && kill "$pid"; [ -n "$feeder" ] && kill "$feeder"' EXIT
uptime() { cut -d' ' -f1 /proc/uptime; }
since=$(uptime)
ok() {
    echo "ok ($(awk -v a="$since" '{ printf "%.0f", $1 - a }' /proc/uptime) s): $*"
    since=$(uptime)
}
# said PATTERN N: standard error has N lines matching PATTERN, or more.
said() { [ "$(grep -c -E -- "$1" err)" -ge "$2" ]; }
# check NAME ARGS...: the set-up check, its lines kept as out.NAME and err.NAME too.
check() {
    local name=$1; shift
    timeout 120 "$@" --camera-check "$name.png" > out 2> err
    status=$?
    cp out "out.$name"; cp err "err.$name"
}
# window SOURCE: the tracked program's window following the camera SOURCE.
window() {
    "$track" --camera "$1" > out 2> err &
    pid=$!
    wait_for_window Fishtank "$pid" || fail "no window for $1"
    xdotool windowfocus --sync "$window"
}
# Ctrl+Q ends the window within 5 s (half a second natively; the guest is emulated).
quit() {
    ends_with_status_0 xdotool key ctrl+q
    awk -v t="$took" 'BEGIN { exit !(t < 5) }' || fail "Ctrl+Q took ${took}s"
}
format='[0-9]+x[0-9]+ .*at [0-9.]+ frames/s'

# A webcam: its format line; sources that cannot be used, named with the reason.
check webcam "$track" --camera /dev/video1
grep -q -E "^camera /dev/video1: $format$" out || fail "no format line for vivid"
ok "vivid: $(head -1 out)"
v4l2-ctl -d /dev/video1 --stream-mmap > holder 2>&1 &
holder=$!
wait_for 30 grep -q "<" holder || fail "v4l2-ctl does not stream"
check busy "$track" --camera /dev/video1
kill "$holder"
[ "$status" -eq 1 ] && grep -q -x "fishtank-track: cannot open the camera /dev/video1: busy: in use by another program" err ||
    fail "a camera in use: status $status"
ok "busy: $(cat err)"
check nobody setpriv --reuid=nobody --regid=nogroup --clear-groups "$track" --camera /dev/video1
[ "$status" -eq 1 ] && grep -q "^fishtank-track: cannot open the camera /dev/video1: permission denied: join the video group" err ||
    fail "a camera the user may not open: status $status"
ok "permission: $(cat err)"
check metadata "$track" --camera /dev/video0
[ "$status" -eq 1 ] && grep -q "^fishtank-track: cannot open the camera /dev/video0: not a camera" err ||
    fail "a metadata node: status $status"
ok "metadata node: $(cat err)"

# The face through v4l2loopback: GREY only (as an infrared camera), MJPG and YUYV, each
# written by ffmpeg from a stream made on the host, which it only copies.
for name in grey mjpg yuyv; do
    case $name in
        grey) node=/dev/video8 input="-f rawvideo -pix_fmt gray -video_size 640x480 -framerate 8 -i face.grey" ;;
        mjpg) node=/dev/video10 input="-i face.mjpg.avi -c:v copy" ;;
        yuyv) node=/dev/video11 input="-f rawvideo -pix_fmt yuyv422 -video_size 640x480 -framerate 8 -i face.yuyv" ;;
    esac
    ffmpeg -nostdin -loglevel error -re -stream_loop -1 $input -f v4l2 "$node" &
    feeder=$!
    wait_for 30 sh -c "v4l2-ctl -d $node -D | grep -q 'Video Capture'" || fail "ffmpeg does not feed $node"
    check "$name" "$track" --camera "$node"
    [ "$status" -eq 0 ] && grep -q -E "^camera $node: $format$" out && grep -q "^face: " out ||
        fail "the face through $node ($name): status $status"
    ok "$name: $(head -1 out); $(grep '^face: ' out)"
    if [ "$name" != grey ]; then
        window "$node"
        wait_for 60 grep -q "^fishtank-track: tracking$" err || fail "no tracking line through $node ($name)"
        quit
        cp err "err.window-$name"
        ok "$name: the tracking line, and Ctrl+Q ended it in ${took}s"
    fi
    kill "$feeder"
    wait "$feeder"
    feeder=
done

# Unplugged and back (the module loaded again), then a fatal streaming error: the line,
# and the window program takes the camera up again by itself.
window /dev/video1
stopped="^fishtank-track: camera /dev/video1 stopped delivering pictures; trying it again every second$"
opened="^fishtank-track: camera /dev/video1: $format$"
wait_for 60 grep -q -E "$opened" err || fail "no format line in the window"
wait_for 30 grep -q "delivers" err  # the rate line, once the camera has run 2 s
v4l2-ctl -d /dev/video1 -c disconnect=1
wait_for 30 grep -q -E "$stopped" err || fail "no line when unplugged"
wait_for 30 modprobe -r vivid || fail "vivid stays in use after the unplug"
modprobe vivid $webcams
wait_for 30 said "$opened" 2 || fail "the camera did not return"
ok "unplugged and back: $(grep -E "$stopped" err)"
v4l2-ctl -d /dev/video1 -c inject_fatal_streaming_error=1
wait_for 30 said "$stopped" 2 || fail "no line on a fatal streaming error"
wait_for 30 said "$opened" 3 || fail "the camera did not return after the error"
ok "a fatal streaming error, and the camera taken up again"
quit
cp err err.window-vivid
ok "Ctrl+Q ended the window in ${took}s"
echo "camera device test passed"
