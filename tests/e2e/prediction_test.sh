#!/bin/bash
# The camera's head drawn where it is when the picture is seen (run under with-xvfb.sh):
# the tests' synthetic face on its moving path, followed in a window with the prediction on
# and off, recorded with --record and --record-frames. Pictures come between the poses, at
# the display's pace; the heads drawn are nearer the path at their pictures' moments with
# the prediction than without; the pose record carries the exposure column, and the
# renderer still plays it.
#   prediction_test.sh FISHTANK-TRACK FACE-VIDEO FILTER-BENCH FISHTANK-RENDER SOURCE-DIR
set -u
track=$1 face_video=$2 bench=$3 render=$4 source=$5
source "$source/scripts/display.sh"  # wait_for_window, start_work
source "$source/tests/e2e/window_helpers.sh"
start_work
cd "$work" || exit 1
"$face_video" path.avi 640x480 6 path && "$face_video" still.avi 640x480 3 still ||
    fail "cannot make the test videos"

# follow NAME VIDEO ARGS...: the window follows VIDEO to its end, recording into NAME.*.
follow() {
    local name=$1 video=$2
    shift 2
    "$track" --camera "$video.avi" --distance 60 "$@" --record "$name.poses" \
        --record-frames "$name.pictures" > out 2> err &
    pid=$!
    wait_for_window Fishtank "$pid" || fail "no window"
    wait_for 60 grep -q "^fishtank-track: camera: end of $video.avi" err || fail "$name: no end"
    ends_with_status_0 xdotool key ctrl+q
}
for setting in on off; do
    follow "still-$setting" still --predict "$setting"
    follow "path-$setting" path --predict "$setting"
    "$bench" records 60 "still-$setting.poses" "still-$setting.pictures" \
        "path-$setting.poses" "path-$setting.pictures" > "$setting.measured" ||
        fail "cannot measure the records"
done

head -1 path-on.poses | grep -q -x "t,x,y,z,yaw,pitch,roll,exposure" &&
    head -1 path-on.pictures | grep -q -x "t,x,y,z,horizon_ms" || fail "the records' headers"
# Between two poses' arrivals, pictures of their own (the display's pace is 60 a second).
between=$(awk -F, 'NR == FNR { if (FNR > 1) pose[++n] = $1; next }
                   FNR > 1 { for (; k < n && pose[k + 1] <= $1; ++k) {}
                             if (k > 0 && k < n && $1 > pose[k] + 0.002) seen[k] = 1 }
                   END { for (k in seen) c++; print c / (n - 1) }' path-on.poses path-on.pictures)
awk -v b="$between" 'BEGIN { exit !(b > 0.9) }' || fail "pictures between only $between of the poses"
rms() { sed -n 's/^program: path RMS.*: //p' "$1.measured" | cut -d' ' -f"$2"; }
for axis in 1 2; do
    awk -v on="$(rms on $axis)" -v off="$(rms off $axis)" 'BEGIN { exit !(on < off) }' ||
        fail "axis $axis: predicted $(rms on $axis) cm off the path, not predicted $(rms off $axis) cm"
done
echo "ok: pictures between $between of the poses; path RMS x, y predicted $(rms on 1), $(rms on 2) cm, not $(rms off 1), $(rms off 2) cm"

"$render" --animate path-on.poses -o path.gif > out 2> err || fail "the renderer cannot play the record: $(cat err)"
echo "prediction test passed"
