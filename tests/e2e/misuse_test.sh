#!/bin/bash
# The programs used the way a careless or hostile user would (run under with-xvfb.sh): each
# case ends within its time with its status and its one line, and leaves the files as they
# should be. Then the recentring key while a face is followed: no pose is lost.
#   misuse_test.sh FISHTANK-TRACK FISHTANK-RENDER FISHTANK-POSE-SEND FACE-VIDEO SOURCE-DIR
set -u
track=$1 render=$2 send=$3 face_video=$4 source=$5
source "$source/scripts/display.sh"  # wait_for_window, start_work
source "$source/tests/e2e/window_helpers.sh"
start_work
cd "$work"
failures=0
miss() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect [closed|full] STATUS LINE COMMAND...: COMMAND, its standard output closed or full
# if asked, ends within 10 s with STATUS, and its standard error holds LINE (an extended
# regular expression).
expect() {
    local output=out
    case $1 in closed | full) output=$1; shift ;; esac
    local status=$1 line=$2 started=$SECONDS; shift 2
    case $output in
        closed) timeout 10 "$@" 2> err < /dev/null >&- ;;
        full) timeout 10 "$@" > /dev/full 2> err < /dev/null ;;
        *) timeout 10 "$@" > out 2> err < /dev/null ;;
    esac
    local got=$?
    if [ "$got" -eq "$status" ] && { [ -z "$line" ] || grep -q -E -- "$line" err; }; then
        echo "ok: $* -> $got in $((SECONDS - started)) s: $(head -1 err)"
    else
        miss "'$*': status $got, not $status; said: $(head -3 err)"
    fi
}

"$face_video" face.avi 320x240 3 still && "$face_video" one.avi 320x240 0.05 still ||
    fail "cannot make the test videos"
trace() { printf 't,x,y,z,yaw,pitch,roll\n0,0,0,0,0,0,0\n1,10,0,0,0,0,0\n2,0,0,0,0,0,0\n'; }
trace > trace.csv
mkfifo fifo
mkdir folder
ln -s loop-b loop-a && ln -s loop-a loop-b
true_scale="--screen 31x17.4 --eye 0,0,60"

# Outputs and inputs that are not files to write or read whole.
expect 2 "fifo: no program reads this FIFO" "$render" -o fifo
expect 2 "fifo: no program writes into this FIFO" "$render" --animate fifo -o x.gif
expect 2 "/dev/zero" "$render" --animate /dev/zero -o x.gif
expect 2 "folder" "$render" --animate folder -o x.gif
expect 2 "/dev/zero" "$send" --port 9 --trace /dev/zero
expect 2 "folder" "$send" --port 9 --trace folder
expect 2 "loop-a: .*loop" "$render" -o loop-a
[ -L loop-a ] || miss "the symbolic link loop was replaced"
expect 2 "/proc/version" "$render" -o /proc/version
! grep -q "No such file" err || miss "/proc/version: $(cat err)"
expect 2 "fifo: no program reads this FIFO" "$track" --camera face.avi --camera-check fifo
cat fifo > from-fifo.png &
expect 0 "" "$track" --camera face.avi --camera-check fifo
wait $!
pngtopnm from-fifo.png > /dev/null 2>&1 || miss "the check's FIFO got no picture"

# An output that is an input.
expect 2 "trace.csv" "$render" --animate trace.csv -o trace.csv
cp face.avi copy.avi && ln -s copy.avi link.avi
expect 2 "names the camera's source" "$track" --camera copy.avi --camera-check link.avi
expect 2 "names the camera's source" "$track" --camera link.avi --record ./copy.avi
expect 2 "names the camera's source" "$track" --camera copy.avi --record-frames copy.avi
expect 2 "name the same file" "$track" --camera face.avi --record a.csv --record-frames ./a.csv
cmp -s copy.avi face.avi && [ "$(cat trace.csv)" = "$(trace)" ] && [ ! -e a.csv ] ||
    miss "an input was written, or a record left behind"

# Failed writes: told, with their status, and the old file intact.
expect closed 2 "standard output is closed" "$render" -o -
expect closed 2 "standard output is closed" "$render" --animate orbit -o -
expect closed 3 "standard output, which is closed" "$track" --camera face.avi --camera-check c.png
[ ! -e c.png ] || miss "the check wrote a picture without its report"
for program in "$render" "$track" "$send"; do
    expect full 1 "cannot write to standard output: No space" "$program" --help
done
expect full 1 "cannot write to standard output: No space" "$track" --version
"$track" --camera face.avi --camera-check check.png > /dev/null 2>&1
cp check.png old.png
expect 3 "check.png: File too large" bash -c 'ulimit -f 20; exec "$0" "$@"' "$track" --camera face.avi \
    --camera-check check.png
cmp -s check.png old.png && [ -z "$(ls | grep partial)" ] || miss "the old picture was harmed"
# A signal ignored at start (nohup) stays ignored while the picture is written.
(trap '' HUP; exec "$render" --size 4000x4000 -o big.png > /dev/null 2>&1) &
sleep 0.5
kill -HUP $! 2>/dev/null
wait $!
[ $? -eq 0 ] && pngtopnm big.png > /dev/null 2>&1 || miss "SIGHUP under nohup ended the render"

# Options that do not apply, or contradict each other.
expect 2 "--fps" "$render" $true_scale --fps 10 --seconds 3 -o x.gif
expect 2 "x.png" "$render" --animate orbit -o x.png
expect 2 "give one" "$send" --port 9 --path sine --pose 1,2,3
expect 2 "give one" "$send" --port 9 --trace trace.csv --pose 1,2,3
[ -z "$(ls x.* 2> /dev/null)" ] || miss "a refused render wrote its file"
"$render" --animate trace.csv --fps 4 --seconds 1 -o cut.gif > out 2>&1
grep -q "cut.gif: 5 frames" out || miss "--seconds did not cut the trace: $(cat out)"

# Messages: a suggestion that is taken, numbers as typed, ranges, the source's end.
expect 2 "[0-9]+x[0-9]+ is$" "$render" $true_scale --size 1x1 -o x.png
suggested=$(grep -o -E "[0-9]+x[0-9]+ is$" err | cut -d' ' -f1)
"$render" $true_scale --size "$suggested" -o suggested.png > /dev/null 2>&1 ||
    miss "the suggested size $suggested is refused"
"$render" --head 0,0,1e39 -o head.png > /dev/null 2> err
grep -q "z 1e39" err && ! grep -q inf err || miss "--head 1e39: $(cat err)"
expect 2 "within 10000" "$render" --screen 31x17.4 --eye 0,0,1e400 -o x.png
for diagonal in 501in 0in -14in; do
    expect 2 "^fishtank-track: --screen $diagonal: " "$track" --screen "$diagonal" --camera face.avi \
        --camera-check x.png
done
expect 1 "" "$track" --camera one.avi --camera-check one.png
grep -q -E "the file ended after [0-9]+ frames?, too soon" out && ! grep -q -E "(^|[^0-9.])1 frames" out ||
    miss "the end of a one-frame source is not told: $(cat out)"
for address in localhost ::1 ""; do
    expect 2 "--listen wants an IPv4 address" "$track" --listen "$address"
done

# The recentring key while the face is followed: poses go on, no loss is told.
"$face_video" move.avi 320x240 8 move || fail "cannot make the moving video"
"$track" --camera move.avi --record poses.csv > out 2> err &
pid=$!
wait_for_window Fishtank "$pid" || fail "no window appeared"
wait_for 10 grep -q tracking err || fail "the face was not followed"
xdotool key --window "$window" c
sleep 2
kill "$pid"
wait "$pid"
pid=
gap=$(awk -F, 'NR > 2 && $1 - t > gap { gap = $1 - t } { t = $1 } END { print gap }' poses.csv)
! grep -q "no head pose" err && awk "BEGIN { exit !($gap < 0.3) }" ||
    miss "recentring lost poses: $gap s without one; $(cat err)"

[ "$failures" -eq 0 ] && echo "misuse test passed"
exit "$failures"
