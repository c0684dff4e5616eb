#!/bin/bash
# The renderer from the command line, and the program without a display.
#   render_test.sh FISHTANK-RENDER SCREENSHOT-CHECK FISHTANK
set -u
render=$1 check=$2 fishtank=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$render" -o "$work/start.png" > "$work/out" 2> "$work/err" || fail "default render failed"
pngtopnm "$work/start.png" > "$work/start.ppm" && "$check" "$work/start.ppm" tunnel ||
    fail "default picture lacks the depth-1 frame"
[ "$(head -c 16 "$work/start.ppm" | head -2 | tail -1)" = "720 720" ] || fail "default size is not 720x720"
[ ! -s "$work/err" ] || fail "default render wrote to stderr: $(cat "$work/err")"

"$render" --head 0,0,2.5 --size 300x200 -o "$work/far.png" 2> "$work/err" || fail "far render failed"
pngtopnm "$work/far.png" > "$work/far.ppm" && "$check" "$work/far.ppm" empty ||
    fail "head distance 2.5 still shows the tunnel"

"$render" --head 0,150,0.5 -o "$work/clamped.png" 2> "$work/err" || fail "clamped render failed"
grep -q "head y 150" "$work/err" && grep -q "head z 0.5" "$work/err" || fail "clamps not reported"
[ -s "$work/clamped.png" ] || fail "clamped render wrote no file"

for args in "--head" "--head 1,2" "--head a,b,c" "--head 1,2,3,4" "--head nan,0,1" "--head 1,,2" \
            "--size 0x10" "--size 16385x10" "--size 10" "--size 10x-5" "--size 1.5x3" "--bogus" \
            "-o"; do
    # shellcheck disable=SC2086
    "$render" $args -o "$work/bad.png" > /dev/null 2> "$work/err"
    status=$?
    [ "$status" -eq 2 ] || fail "'$args' gave status $status, not 2"
    [ "$(wc -l < "$work/err")" -eq 1 ] || fail "'$args' did not say one line on stderr"
    [ ! -e "$work/bad.png" ] || fail "'$args' wrote a file"
done
"$render" -o "$work/no/such/dir/x.png" 2> "$work/err"
[ $? -eq 2 ] || fail "unwritable file did not give status 2"
[ -z "$(ls "$work" | grep partial)" ] || fail "a partial file was left behind"
"$render" --help | grep -q "usage: fishtank-render" || fail "--help prints no usage"

env -u DISPLAY -u WAYLAND_DISPLAY "$fishtank" > "$work/out" 2> "$work/err"
status=$?
[ "$status" -ne 0 ] || fail "no display, yet status 0"
[ "$(wc -l < "$work/err")" -eq 1 ] && grep -q "no display" "$work/err" ||
    fail "no clear line about the display: $(cat "$work/err")"

[ "$failures" -eq 0 ] && echo "render test passed"
exit "$failures"
