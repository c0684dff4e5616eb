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
            "--head -inf,0,1" "--head 0x1,0,1" "--head 1,2,3e" \
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
grep -q "the folder $work/no/such/dir does not exist" "$work/err" || fail "no reason given: $(cat "$work/err")"

# Head values: numbers too large for a float are clamped, and told as typed.
"$render" --head 1e39,-1e39,1e-45 -o "$work/extreme.png" 2> "$work/err" || fail "extreme head refused"
grep -q "head x 1e39 is out of range, drawn at 100" "$work/err" && grep -q "head y -1e39 is" "$work/err" && grep -q "head z 1e-45 is" "$work/err" ||
    fail "extreme head values not clamped alike: $(cat "$work/err")"

# Where the picture goes: standard output, into a FIFO or through a pipe, through a
# symbolic link, over a file whose permissions stay.
is_png() { pngtopnm "$1" > /dev/null 2>&1; }
"$render" -o - > "$work/stdout.png" 2> /dev/null && is_png "$work/stdout.png" &&
    [ "$(head -c 8 "$work/stdout.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] &&
    [ "$(tail -c 8 "$work/stdout.png" | od -An -tx1 | tr -d ' \n')" = 49454e44ae426082 ] ||
    fail "-o - wrote no PNG, and nothing else, to standard output"
[ ! -e "$work/-" ] || fail "-o - made a file named -"
"$render" -o /dev/stdout | cat > "$work/piped.png" && is_png "$work/piped.png" || fail "no PNG through /dev/stdout"
mkfifo "$work/fifo"
cat "$work/fifo" > "$work/from-fifo.png" &
"$render" -o "$work/fifo" > /dev/null || fail "writing into a FIFO failed"
wait $!
[ -p "$work/fifo" ] && is_png "$work/from-fifo.png" || fail "the FIFO was replaced or got no PNG"
echo old > "$work/target.png"
ln -s target.png "$work/link.png"
"$render" -o "$work/link.png" > /dev/null && [ -L "$work/link.png" ] && is_png "$work/target.png" ||
    fail "the symbolic link was replaced instead of its target written"
echo old > "$work/private.png"
chmod 600 "$work/private.png"
"$render" -o "$work/private.png" > /dev/null && is_png "$work/private.png" &&
    [ "$(stat -c %a "$work/private.png")" = 600 ] || fail "the file lost its permissions"
echo "not ours" > "$work/mine.png.partial"
"$render" -o "$work/mine.png" > /dev/null && [ "$(cat "$work/mine.png.partial")" = "not ours" ] ||
    fail "an existing NAME.partial was overwritten"

# A write error names its reason and leaves neither the picture nor a temporary file.
(ulimit -f 8; "$render" --size 2000x2000 -o "$work/limited.png" > /dev/null 2> "$work/err")
[ $? -eq 2 ] && grep -q "limited.png: File too large" "$work/err" || fail "write error: $(cat "$work/err")"
[ ! -e "$work/limited.png" ] || fail "a half picture was left"
# Interrupted while writing: the temporary file goes too.
"$render" --size 8000x8000 -o "$work/big.png" > /dev/null 2>&1 &
pid=$!
for _ in $(seq 3000); do
    compgen -G "$work/big.png.partial.*" > /dev/null && break
    sleep 0.01
done
kill -TERM "$pid"
wait "$pid"
[ $? -eq 143 ] || fail "SIGTERM did not end the render"
[ -z "$(ls "$work" | grep -v mine.png.partial | grep partial)" ] || fail "a temporary file was left behind"
"$render" --help | grep -q "usage: fishtank-render" || fail "--help prints no usage"
"$render" --version | grep -qx "fishtank-render [0-9.]*" || fail "--version prints no version"

# The true-scale picture of a window filling a 31 x 17.4 cm screen: in the screen's aspect,
# its far frame (78.3 cm behind the screen) where the lines from the eye 60 cm away cross
# the screen, 60 / 138.3 of the mouth's size, and toward the eye when it moves.
"$render" --screen 31x17.4 --eye 0,0,60 -o "$work/true.png" > /dev/null 2> "$work/err" ||
    fail "true-scale render failed"
[ ! -s "$work/err" ] || fail "true-scale render wrote to stderr: $(cat "$work/err")"
pngtopnm "$work/true.png" > "$work/true.ppm" &&
    [ "$(head -c 16 "$work/true.ppm" | head -2 | tail -1)" = "1283 720" ] ||
    fail "true-scale default size is not 1283x720"
"$check" "$work/true.ppm" frame9 -0.2435 0.2435 -0.4338 0.4338 || fail "true-scale far frame misplaced"
"$render" --screen 31x17.4 --eye 10,0,60 --size 1280x720 -o "$work/moved.png" > /dev/null &&
    pngtopnm "$work/moved.png" > "$work/moved.ppm" &&
    "$check" "$work/moved.ppm" frame9 0.1218 0.6088 -0.4338 0.4338 || fail "the far frame did not follow the eye"
"$render" --screen 31x17.4 --eye 0,0,60 --stereo anaglyph --ipd 6.5 -o "$work/anaglyph.png" > /dev/null ||
    fail "anaglyph render failed"
pngtopnm "$work/anaglyph.png" | ppmhist -noheader | awk '{ print $1, $2, $3 }' > "$work/colours"
for colour in "255 0 0" "0 255 255" "255 255 255"; do
    grep -qx "$colour" "$work/colours" || fail "no $colour in the anaglyph"
done
[ "$(wc -l < "$work/colours")" -eq 4 ] || fail "the anaglyph has other colours: $(cat "$work/colours")"
"$render" --screen 31x17.4 --eye 2,1,0.5 -o "$work/near.png" > /dev/null 2> "$work/err" &&
    [ "$(cat "$work/err")" = "fishtank-render: eye z 0.5 is nearer the screen than 3 cm, drawn at 3" ] ||
    fail "an eye nearer than 3 cm: $(cat "$work/err")"
screen="--screen 31x17.4 --eye 0,0,60"
for args in "--screen 31x17.4" "--eye 0,0,60" "--screen 5x3 --eye 0,0,60" "--screen 31 --eye 0,0,60" \
            "--screen 400x200 --eye 0,0,60" "--screen 31x0 --eye 0,0,60" "--screen 100x10 --eye 0,0,60" \
            "--screen 31x17.4 --eye 0,0,0" "--screen 31x17.4 --eye 0,0,-5" "--screen 31x17.4 --eye 0,0" \
            "--screen 31x17.4 --eye 1e5,0,60" "--screen 31x17.4 --eye nan,0,60" "$screen --size 720x720" \
            "$screen --stereo red" "--stereo anaglyph" "--ipd 6.3" "$screen --ipd 6" \
            "$screen --stereo anaglyph --ipd 20" "$screen --head 0,0,1" "$screen --animate orbit"; do
    # shellcheck disable=SC2086
    "$render" $args -o "$work/bad.png" > /dev/null 2> "$work/err"
    status=$?
    [ "$status" -eq 2 ] && [ "$(wc -l < "$work/err")" -eq 1 ] && [ ! -e "$work/bad.png" ] ||
        fail "'$args' gave status $status, $(cat "$work/err")"
done

# Animations: the built-in orbit and a recorded trace, as looping GIFs.
frames() { LC_ALL=C grep -c -aoP '\x21\xf9\x04' "$1"; }  # one graphic control block a frame
"$render" --animate orbit --size 64x48 --fps 5 --seconds 2 -o "$work/orbit.gif" > "$work/out" ||
    fail "orbit animation failed"
[ "$(head -c 6 "$work/orbit.gif")" = GIF89a ] && grep -q NETSCAPE2.0 "$work/orbit.gif" &&
    [ "$(frames "$work/orbit.gif")" -eq 10 ] || fail "orbit: not a looping GIF of 10 frames"
grep -q "wrote $work/orbit.gif: 10 frames" "$work/out" || fail "orbit: $(cat "$work/out")"
printf 't,x,y,z,yaw,pitch,roll\n10.0,0,0,0,0,0,0\n10.5,30,0,0,0,0,0\n11.0,0,0,60,0,0,0\n' > "$work/trace.csv"
"$render" --animate "$work/trace.csv" --fps 4 -o "$work/trace.gif" > /dev/null &&
    [ "$(frames "$work/trace.gif")" -eq 5 ] || fail "trace animation: not 5 frames"
printf 't,x,y,z,yaw,pitch,roll\n' > "$work/empty.csv"
printf '1,2,3\n' > "$work/short.csv"
printf '0,0,0,0,0,0,0\n1,0,0,nan,0,0,0\n' > "$work/nan.csv"
seq 0 4 400 | sed 's/$/,0,0,0,0,0,0/' > "$work/long.csv"  # 400 s: 4001 frames at 10 a second
for args in "--animate $work/missing.csv" "--animate $work/empty.csv" "--animate $work/short.csv" \
            "--animate $work/nan.csv" "--animate $work/long.csv" "--animate orbit --fps 0" \
            "--animate orbit --fps 500" "--animate orbit --seconds 1e9" \
            "--animate orbit --size 4000x4000" "--animate"; do
    # shellcheck disable=SC2086
    "$render" $args -o "$work/bad.gif" > /dev/null 2> "$work/err"
    status=$?
    [ "$status" -eq 2 ] && [ "$(wc -l < "$work/err")" -eq 1 ] && [ ! -e "$work/bad.gif" ] ||
        fail "'$args' gave status $status, $(cat "$work/err")"
done
grep -q "short.csv:1: not a pose line" <("$render" --animate "$work/short.csv" 2>&1) ||
    fail "a malformed line is not named"

env -u DISPLAY -u WAYLAND_DISPLAY "$fishtank" > "$work/out" 2> "$work/err"
status=$?
[ "$status" -ne 0 ] || fail "no display, yet status 0"
[ "$(wc -l < "$work/err")" -eq 1 ] && grep -q "no display" "$work/err" ||
    fail "no clear line about the display: $(cat "$work/err")"

[ "$failures" -eq 0 ] && echo "render test passed"
exit "$failures"
