#!/bin/bash
# The pose record of the tracked program (run under with-xvfb.sh) against what an unlucky
# user gives it: bad targets, a file another run is recording into, a file without a last
# newline, a size limit, a FIFO read too slowly and then not at all. The record must never
# stop or hold up the program, and the project's readers must take what it wrote. Then the
# pose sender, as strict and honest as the programs it feeds.
#   record_test.sh FISHTANK-TRACK POSE-SEND RENDER SCREENSHOT-CHECK SOURCE-DIR
set -u
track=$1 send=$2 render=$3 check=$4 source=$5
source "$source/scripts/display.sh"  # wait_for_window, start_work
source "$source/tests/e2e/window_helpers.sh"
start_work
reader= sender=
trap '[ -n "$pid" ] && kill "$pid"; kill $reader $sender 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
said() { grep -c -F -- "$1" "$work/err"; }
# start [ulimit -f BLOCKS] ARGS...: the program in the background; sets pid, window and port.
start() {
    local limit=unlimited
    [ "$1" = ulimit ] && { limit=$2; shift 2; }
    # Mesa's shader cache is written on a machine's first runs: under the limit that write
    # would end the program before the record is ever written.
    (ulimit -f "$limit"; MESA_SHADER_CACHE_DISABLE=true exec "$track" --port 0 "$@") \
        > "$work/out" 2> "$work/err" &
    pid=$!
    wait_for_window Fishtank "$pid" || fail "no window appeared"
    port=$(sed -n 's/^fishtank-track: listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/err")
    xdotool windowfocus --sync "$window"
}

# Whatever the user got wrong is said before anything is announced, and nothing is left.
mkfifo unread
mkdir folder
for target in folder missing/trace.csv unread -; do
    timeout 10 "$track" --port 0 --record "$target" > out 2> err
    status=$?
    [ "$status" -eq 2 ] && [ "$(wc -l < err)" -eq 1 ] && ! grep -q listening err ||
        fail "--record $target: status $status, $(cat err)"
done
grep -q "no program reads this FIFO" <(timeout 10 "$track" --record unread 2>&1) ||
    fail "a FIFO without a reader is not named"
env -u DISPLAY "$track" --port 0 --record new.csv > out 2> err
[ $? -eq 1 ] && [ ! -e new.csv ] && ! grep -q listening err || fail "no display: $(cat err); $(ls)"
echo "ok: bad record targets are refused before anything is announced or created"

# A file from an earlier, later-clocked run whose last line has no newline; a size limit.
printf 't,x,y,z,yaw,pitch,roll\n99999998,0,0,0,0,0,0\n99999999,1,0,0,0,0,0' > old.csv
start ulimit 4 --record old.csv
timeout 10 "$track" --port 0 --record old.csv > /dev/null 2> second
[ $? -eq 2 ] && grep -q "cannot record into old.csv: another program is recording into it" second ||
    fail "a second program recording into the same file: $(cat second)"
"$send" --port "$port" --path sine --rate 200 --seconds 1 2> /dev/null
wait_for 10 grep -q "cannot write the pose record: File too large; recording stops" err ||
    fail "the size limit is not told"
kill -0 "$pid" || fail "the size limit ended the program"
ends_with_status_0 xdotool key ctrl+q
[ "$(sed -n 3,4p old.csv)" = $'99999999,1,0,0,0,0,0\nt,x,y,z,yaw,pitch,roll' ] ||
    fail "the new run does not start on a line of its own: $(head -5 old.csv)"
[ "$(tail -c 1 old.csv)" = "" ] && [ "$(stat -c %s old.csv)" -le 4096 ] || fail "old.csv ends with part of a line"
"$render" --animate old.csv -o old.gif > /dev/null 2> render.err && [ ! -s render.err ] ||
    fail "the renderer refuses the record: $(cat render.err)"
echo "ok: appended on a line of its own, locked, cut at a size limit to whole lines, readable"

# A FIFO read too slowly: poses are counted, not waited for; its reader gone: it stops.
mkfifo slow
sleep 300 < slow &
reader=$!
start --record slow
"$send" --port "$port" --trace old.csv 2> send.err || fail "replaying the record: $(cat send.err)"
# The pipe holds 64 KiB, some 1,500 poses: send until it is full, however long the lines
# are and however many datagrams a loaded machine loses.
full() { grep -q "the pose record is read too slowly: [0-9]* poses not recorded" err; }
for _ in $(seq 10); do
    "$send" --port "$port" --path sine --rate 1000 --seconds 1 2> /dev/null
    wait_for 2 full && break
done
full || fail "a full FIFO is not told"
"$send" --port "$port" --pose 30,0,0 --rate 60 --seconds 30 2> /dev/null &
sender=$!
wait_for 30 picture_is frame9 0.35 0.55 -0.1 0.1 || fail "a full FIFO held up the frames"
kill "$reader"
wait_for 10 grep -q "cannot write the pose record: Broken pipe; recording stops" err ||
    fail "a FIFO whose reader went away is not told"
kill -0 "$pid" || fail "a FIFO whose reader went away ended the program"
kill "$sender"

for args in "--port 4242.9" "--port $port --garbage 2.5" "--port $port --host ::1" \
            "--port $port --host no.such.host.invalid" "--port $port --pose 1,2" \
            "--port 0x10" "--port $port --pose 0x1,0,0" "--port $port --rate inf"; do
    # shellcheck disable=SC2086
    "$send" $args --seconds 0.1 2> send.err
    status=$?
    [ "$status" -eq 2 ] && [ "$(wc -l < send.err)" -eq 1 ] || fail "sender $args: $status, $(cat send.err)"
done
"$send" --port "$port" --host ::1 2>&1 | grep -q "IPv4 only" || fail "::1 is not explained"
"$send" --port "$port" --host localhost --seconds 0.1 2> send.err || fail "localhost: $(cat send.err)"
started=$SECONDS
"$send" --port "$port" --rate 1e6 --seconds 0.5 2> send.err
grep -q "sent [0-9]* poses" send.err && [ $((SECONDS - started)) -le 2 ] || fail "--seconds 0.5 at 1e6 poses/s"
printf '0,0,0,0,0,0,0\n1e300,0,0,0,0,0,0\n' > gap.csv
"$send" --port "$port" --trace gap.csv --seconds 1 2> send.err
grep -q "1 pause longer than 5 s is played as 5 s" send.err && [ $((SECONDS - started)) -le 4 ] ||
    fail "a trace pause of 1e300 s: $(cat send.err)"
ends_with_status_0 xdotool key ctrl+q
"$send" --port "$port" --seconds 0.2 2> send.err
[ $? -eq 1 ] && grep -qx "fishtank-pose-send: nobody is listening on 127.0.0.1:$port" send.err ||
    fail "sending to a port nobody listens on: $(cat send.err)"
echo "ok: the sender reads its options strictly, keeps to its time and tells who listens"
echo "record test passed"
