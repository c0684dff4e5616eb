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
# In the guest, /dev/video0 is vivid's metadata node, 1 and 2 its webcams; 8 to 12
# loopbacks, of which 12 is never fed.
webcams="n_devs=2 node_types=0x20001,0x1 num_inputs=1,1 input_types=0,0 meta_cap_nr=0,-1 vid_cap_nr=1,2"
if [ "${4:-}" != --in-guest ]; then
    script=$(realpath "$0") track=$(realpath "$track") face_video=$(realpath "$face_video")
    source=$(realpath "$source") work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cd "$work" || exit 1
    "$face_video" face.avi 640x480 2 still &&
        ffmpeg -loglevel error -i face.avi -vf fps=8 -c:v mjpeg -q:v 3 face.mjpg.avi &&
        ffmpeg -loglevel error -i face.avi -vf fps=8 -pix_fmt gray -f rawvideo face.grey &&
        ffmpeg -loglevel error -i face.avi -vf fps=8 -pix_fmt yuyv422 -f rawvideo face.yuyv ||
        { echo "FAIL: cannot make the face videos"; exit 1; }
    "$source/tests/guest/run.sh" -v --timeout 720 --vivid "$webcams" \
        --loopback "devices=5 video_nr=8,9,10,11,12 exclusive_caps=1,1,1,1,1" -- \
        "$source/scripts/with-xvfb.sh" bash "$script" "$track" - "$source" --in-guest
    exit
fi

# From here on in the guest, as root, in the host's scratch folder, under an Xvfb.
work=$PWD pid= feeder=
source "$source/scripts/display.sh"  # wait_for_window
source "$source/tests/e2e/window_helpers.sh"  # fail, wait_for, ends_with_status_0
trap '[ -n "$pid" ] && kill "$pid"; [ -n "$feeder" ] && kill "$feeder"' EXIT
clock() { cut -d' ' -f1 /proc/uptime; }
since=$(clock)
ok() {
    echo "ok ($(awk -v a="$since" '{ printf "%.0f", $1 - a }' /proc/uptime) s): $*"
    since=$(clock)
}
# said PATTERN N: standard error has N lines matching PATTERN, or more.
said() { [ "$(grep -c -E -- "$1" err)" -ge "$2" ]; }
# check NAME ARGS...: the set-up check, its lines kept as out.NAME and err.NAME too; its
# picture goes where anyone may write (the guest's /tmp), as the check may run as nobody.
check() {
    local name=$1; shift
    timeout 120 "$@" --camera-check "/tmp/$name.png" > out 2> err
    status=$?
    cp out "out.$name"; cp err "err.$name"
}
# fail_in NAME WHY: fails, telling out.NAME and err.NAME.
fail_in() { cp "out.$1" out; cp "err.$1" err; fail "$1: $2"; }
# window SOURCE [ARGS...]: the tracked program's window following the camera SOURCE.
window() {
    "$track" --camera "$@" > out 2> err &
    pid=$!
    wait_for_window Fishtank "$pid" || fail "no window for $1"
    xdotool windowfocus --sync "$window"
}
# Ctrl+Q ends the window within 15 s: half a second natively (camera_test.sh), but the
# guest is emulated, its xdotool slow to start, and it took up to 6 s on a busy machine.
quit() {
    ends_with_status_0 xdotool key ctrl+q
    awk -v t="$took" 'BEGIN { exit !(t < 15) }' || fail "Ctrl+Q took ${took}s"
}
format='[0-9]+x[0-9]+ .*at [0-9.]+ frames/s'

# A webcam: its format line; sources that cannot be used, named with the reason.
check webcam "$track" --camera /dev/video1
grep -q -E "^camera /dev/video1: $format$" out || fail "no format line for vivid"
ok "vivid: $(head -1 out)"
: > holder
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

# A camera unplugged as the check starts: the program is held as soon as it has the device
# open, the camera disconnected, and the program let go. It says the camera stopped (or
# delivers no pictures) and ends with status 1; with no frame read it writes no picture.
rm -f /tmp/early.png
"$track" --camera /dev/video1 --camera-check /tmp/early.png > out 2> err &
pid=$!
wait_for 120 sh -c "ls -l /proc/$pid/fd 2> /dev/null | grep -q /dev/video1" || fail "the check never opened the camera"
kill -STOP "$pid"
v4l2-ctl -d /dev/video1 -c disconnect=1
kill -CONT "$pid"
wait "$pid"
status=$?
pid=
[ "$status" -eq 1 ] &&
    grep -q -E "^the camera stopped delivering pictures after [0-9]+ frames?$|cannot open the camera /dev/video1: it delivers no pictures" out err &&
    { ! grep -q "after 0 frames" out || [ ! -e /tmp/early.png ]; } ||
    fail "a camera unplugged as the check starts: status $status"
wait_for 30 sh -c "modprobe -r vivid 2> /dev/null" && modprobe vivid $webcams && wait_for 30 test -e /dev/video1 ||
    fail "vivid did not come back"
ok "unplugged as the check starts: $(cat out err | grep -E "stopped|cannot open")"

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
    # The emulated guest may be too slow to take the neutral place within the check.
    check "$name" "$track" --camera "$node"
    [ "$status" -le 1 ] && grep -q -E "^camera $node: $format$" out && grep -q "^face: " out ||
        fail "the face through $node ($name): status $status"
    ok "$name: $(head -1 out); $(grep '^face: ' out)"
    if [ "$name" != grey ]; then
        window "$node" --record "poses.$name" --record-frames "pictures.$name"
        wait_for 60 grep -q "^fishtank-track: tracking$" err || fail "no tracking line through $node ($name)"
        sleep 5
        quit
        cp out "out.window-$name"; cp err "err.window-$name"
        # The poses' pictures were taken before they arrived (the loopback stamps nothing:
        # when they were read), and each picture's horizon is held within 100 ms.
        awk -F, 'FNR > 1 && FILENAME ~ /poses/ && !($8 <= $1 && $8 > $1 - 10) { exit 1 }
                 FNR > 1 && FILENAME ~ /pictures/ && !($5 >= 0 && $5 <= 100.001) { exit 1 }' \
            "poses.$name" "pictures.$name" && [ "$(wc -l < "pictures.$name")" -gt 1 ] ||
            fail_in "window-$name" "records: $(head -3 "poses.$name" "pictures.$name")"
        ok "$name: the tracking line, $(($(wc -l < "pictures.$name") - 1)) pictures recorded, and Ctrl+Q ended it in ${took}s"
    fi
    kill "$feeder"
    wait "$feeder"
    feeder=
done

# Unplugged and back (the module loaded again), then a fatal streaming error: the line,
# and the window program takes the camera up again by itself; its rate line.
# The rate line is told 2 s after the camera opens. For a computer certainly too slow for
# the webcam's 30 frames/s, the program is held to a twentieth of a processor (a cgroup)
# before the fatal error, so that the line told after it has the computer to blame.
unload_vivid() { modprobe -r vivid 2> /dev/null; }
window /dev/video1
stopped="^fishtank-track: camera /dev/video1 stopped delivering pictures; trying it again every second$"
opened="^fishtank-track: camera /dev/video1: $format$"
wait_for 60 said "$opened" 1 || fail "no format line in the window"
# vivid's disconnect breaks the stream but leaves the node to be opened again (with
# warnings in the kernel's log): the node is taken away too, as udev does on an unplug.
v4l2-ctl -d /dev/video1 -c disconnect=1 && mv /dev/video1 /dev/video1.unplugged
wait_for 30 said "$stopped" 1 || fail "no line when unplugged"
wait_for 30 unload_vivid || fail "vivid stays in use after the unplug"
rm /dev/video1.unplugged
modprobe vivid $webcams
wait_for 30 said "$opened" 2 || fail "the camera did not return"
ok "unplugged and back: $(grep -E "$stopped" err)"
grep -q cgroup2 /proc/mounts || mount -t cgroup2 cgroup2 /sys/fs/cgroup
echo +cpu > /sys/fs/cgroup/cgroup.subtree_control && mkdir -p /sys/fs/cgroup/slow &&
    echo "5000 100000" > /sys/fs/cgroup/slow/cpu.max && echo "$pid" > /sys/fs/cgroup/slow/cgroup.procs ||
    fail "cannot hold the program to a twentieth of a processor"
v4l2-ctl -d /dev/video1 -c inject_fatal_streaming_error=1
wait_for 30 said "$stopped" 2 || fail "no line on a fatal streaming error"
wait_for 60 said "$opened" 3 || fail "the camera did not return after the error"
ok "a fatal streaming error, and the camera taken up again"
wait_for 120 grep -q "are processed" err || fail "no rate line from the program held back"
echo "$pid" > /sys/fs/cgroup/cgroup.procs
quit
cp out out.window-vivid; cp err err.window-vivid
ok "Ctrl+Q ended the window in ${took}s"

# The program's own capture: the rate delivered (by the buffers' sequence numbers) within
# 10 % of the webcam's, the frames' age from either kind of stamp above 0 and under two
# periods, the node's kind named, a low rate blamed on the right cause, no decoder noise.
# frames NAME: the rate, the delivered rate, the median age and the frames dropped (no more
# than the check's two seconds hold), from out.NAME.
frames() {
    rate=$(sed -n -E 's/^camera .* at ([0-9.]+) frames\/s$/\1/p' "out.$1")
    delivered=$(sed -n -E 's/^the camera delivered ([0-9.]+) frames\/s by its frame numbers.*/\1/p' "out.$1")
    age=$(sed -n -E 's/^frames were ([0-9.]+) ms old .*when read, from the start of their exposure.*/\1/p' "out.$1")
    dropped=$(sed -n -E 's/.*frames it dropped for want of a free buffer: ([0-9]+),.*/\1/p' "out.$1")
    awk -v r="$rate" -v d="$delivered" -v a="$age" -v n="$dropped" \
        'BEGIN { exit !(r > 0 && d > 0.9 * r && d < 1.1 * r && a > 0 && a < 2000 / r && n != "" && n <= 2 * r) }' ||
        fail_in "$1" "$rate frames/s, $delivered delivered, $age ms old, $dropped dropped"
}
frames webcam
grep -q "from the start of their exposure (the camera stamps the end of a frame" out.webcam ||
    fail_in webcam "the end-of-frame stamp is not named"
ok "vivid, end-of-frame stamps: $rate frames/s, $delivered delivered, $age ms old, $dropped dropped"
v4l2-ctl -d /dev/video1 -c timestamp_source=1
check exposure "$track" --camera /dev/video1
frames exposure
! grep -q "stamps the end of a frame" out || fail_in exposure "start-of-exposure stamps taken for end-of-frame ones"
ok "vivid, start-of-exposure stamps: $rate frames/s, $delivered delivered, $age ms old, $dropped dropped"

for name in grey mjpg yuyv; do
    grep -q -i -E "^camera /dev/video[0-9]+: 640x480 $name at" "out.$name" || fail_in "$name" "the format not named"
done
grep -q "a metadata node" err.metadata || fail_in metadata "the metadata node is not named so"
ok "formats named: $(head -qn1 out.grey out.mjpg out.yuyv | tr '\n' ';')"
noise=$(cat err.mjpg err.window-mjpg | grep -v "^fishtank-track: ")
[ -z "$noise" ] || fail "noise on standard error through MJPG: $noise"
ok "MJPG: $(grep -h 'the camera delivered' out.mjpg); no noise on standard error"
grep -q "^fishtank-track: camera /dev/video1 delivers [0-9]* frames/s but only [0-9.]* are processed: the computer is too slow" err.window-vivid &&
    ! grep -q "in dim light" err.window-vivid || fail_in window-vivid "the low rate's cause"
grep -q "^fishtank-track: camera: .*frames [0-9.]* ms old when read" err.window-vivid ||
    fail_in window-vivid "no frame age in the summary"
ok "$(grep -h -m1 'are processed' err.window-vivid)"

# --list-cameras over every node, an infrared (GREY-only) one fed, and the default choice:
# the first node that delivers colour pictures, past the metadata node.
ffmpeg -nostdin -loglevel error -re -stream_loop -1 -f rawvideo -pix_fmt gray -video_size 640x480 \
    -framerate 8 -i face.grey -f v4l2 /dev/video9 &
feeder=$!
wait_for 30 sh -c "v4l2-ctl -d /dev/video9 -D | grep -q 'Video Capture'" || fail "ffmpeg does not feed /dev/video9"
timeout 60 "$track" --list-cameras > out 2> err || fail "--list-cameras: status $?"
for line in '/dev/video0  "vivid"  not a camera: a metadata node, it delivers no pictures' \
            "/dev/video1  \"vivid\"  delivers $format \\(the default\\)" "/dev/video2  \"vivid\"  delivers $format" \
            '/dev/video9  ".*"  delivers 640x480 GREY at [0-9.]+ frames/s: infrared, grey only' \
            '/dev/video12  ".*"  not a camera: it delivers no pictures'; do
    grep -q -x -E "$line" out || fail "--list-cameras has no line $line"
done
ok "--list-cameras: $(wc -l < out) nodes"
check default "$track" --camera
[ "$status" -le 1 ] && grep -q -E "^camera /dev/video1: $format$" out || fail "--camera chose $(head -1 out)"
ok "--camera chose $(head -1 out)"
echo "camera device test passed"
