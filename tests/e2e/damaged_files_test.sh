#!/bin/bash
# What a broken face landmark model or an odd /dev name does (run under with-xvfb.sh). In a
# mount namespace of the test's own, the model's place holds, in turn: nothing, damaged
# copies of the model (absurd counts, values that are no numbers, cut short), a FIFO, a
# folder and a file its user may not read; /dev holds a video node whose number does not
# parse. Each says so in one line naming the file and what is wrong, with status 1, soon
# and within bounded memory; the window mode before any window. Skipped (status 77) where
# namespaces are not allowed.
#   damaged_files_test.sh FISHTANK-TRACK FACE-VIDEO
set -u
track=$1 face_video=$2
model=/usr/share/dlib/shape_predictor_68_face_landmarks.dat
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

# in_namespace SETUP COMMAND...: runs COMMAND after the shell commands SETUP, in a mount
# namespace of its own (with $model and $work set). Root needs only a mount namespace;
# anyone else a user namespace too, in which they are root.
in_namespace() {
    local setup=$1 user=()
    shift
    [ "$(id -u)" -eq 0 ] || user=(--user --map-root-user)
    unshare "${user[@]}" --mount sh -c "model=$model work=$work; $setup"' && exec "$@"' sh "$@"
}
if ! in_namespace 'mount -t tmpfs tmpfs "${model%/*}"' true 2> err; then
    echo "SKIP: cannot mount over ${model%/*} in a mount namespace here: $(cat err)"
    exit 77
fi
[ -r "$model" ] || fail "no landmark model at $model"
"$face_video" face.avi 320x240 1 still || fail "cannot make the test video"

# The model as dlib writes it: a version, the mean shape (its row count at byte 2, 136
# values from byte 6, the stages' count at byte 822), then stage 0's tree count at 824.
# A float is a mantissa and an exponent, each a byte of length then its bytes; an exponent
# of 32002 is NaN, 32000 infinity.
edit() {  # edit OUT OFFSET LENGTH BYTES: the model with LENGTH bytes at OFFSET replaced
    { head -c "$2" "$model"; printf "$4"; tail -c +$(($2 + $3 + 1)) "$model"; } > "$1"
}
edit trees-2e60.dat 824 3 '\x08\x00\x00\x00\x00\x00\x00\x00\x10'
edit trees-2e29.dat 824 3 '\x04\x00\x00\x00\x20'
edit trees-2e26.dat 824 3 '\x04\x00\x00\x00\x04'
edit stages-2e26.dat 822 2 '\x04\x00\x00\x00\x04'
edit rows-huge.dat 2 2 '\x88\xff\xff\xff\xff\xff\xff\xff\x7f'
edit rows-least.dat 2 2 '\x88\x00\x00\x00\x00\x00\x00\x00\x80'
edit mean-nan.dat 6 816 "$(for _ in $(seq 136); do printf '\\x01\\x00\\x02\\x02\\x7d'; done)"
edit mean-inf.dat 6 816 "$(for _ in $(seq 136); do printf '\\x01\\x00\\x02\\x00\\x7d'; done)"
head -c 100 "$model" > cut.dat
cp "$model" unreadable.dat && chmod 000 unreadable.dat

# with_model WHAT: the model's place holds WHAT (a file here, fifo, folder or none).
with_model() {
    local place='mount -t tmpfs tmpfs "${model%/*}"'
    case $1 in
        none) ;;
        fifo) place="$place && mkfifo \"\$model\"" ;;
        folder) place="$place && mkdir \"\$model\"" ;;
        *) place="$place && touch \"\$model\" && mount --bind \"\$work/$1\" \"\$model\"" ;;
    esac
    echo "$place"
}
# A normal run's peak is near 160 MB in the check; a model's counts must not make it more.
limit_memory() {
    [ -n "${FISHTANK_SANITIZED:-}" ] || ulimit -v "$1"  # the sanitizers map terabytes
}

named="fishtank-track: cannot open the camera face.avi: the face landmark model $model"
for case in "none:is missing (it comes with Debian's libdlib-data)" \
            "trees-2e60.dat:is damaged: too many trees" "trees-2e29.dat:is damaged: too many trees" \
            "trees-2e26.dat:is damaged: too many trees" "stages-2e26.dat:is damaged: too many stages" \
            "rows-huge.dat:is damaged: its mean shape is not of 68 points" \
            "rows-least.dat:is damaged: its mean shape holds a number out of range" \
            "mean-nan.dat:is damaged: its mean shape holds a value that is not a finite number" \
            "mean-inf.dat:is damaged: its mean shape holds a value that is not a finite number" \
            "cut.dat:is damaged: it ends within" "fifo:cannot be read: not a regular file" \
            "folder:cannot be read: a folder, not a file"; do
    file=${case%%:*} said=${case#*:}
    started=$EPOCHREALTIME
    (limit_memory 1000000; in_namespace "$(with_model "$file")" timeout 20 \
        "$track" --camera face.avi --camera-check check.png > out 2> err)
    status=$?
    took=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
    [ "$status" -eq 1 ] && [ "$(wc -l < err)" -eq 1 ] && grep -q -F "$named $said" err &&
        [ ! -e check.png ] || fail "$file: status $status after ${took}s, $(cat out err)"
    echo "ok: $file, ${took}s: $(cut -c 1-160 err)"
done

# The window mode says the same before any window.
(limit_memory 2000000; in_namespace "$(with_model cut.dat)" timeout 20 "$track" --camera face.avi \
    > out 2> err)
status=$?
[ "$status" -eq 1 ] && [ "$(wc -l < err)" -eq 1 ] && grep -q -F "$named is damaged" err &&
    [ ! -s out ] || fail "the window mode with a damaged model: status $status, $(cat out err)"
echo "ok: the window mode with a damaged model: $(cut -c 1-120 err)"

# A model its user may not read: as nobody, where root can make one.
if [ "$(id -u)" -eq 0 ] && command -v setpriv > /dev/null; then
    chmod 755 "$work"
    in_namespace "$(with_model unreadable.dat)" setpriv --reuid=nobody --regid=nogroup \
        --clear-groups timeout 20 "$track" --camera face.avi --camera-check /tmp/check.png > out 2> err
    status=$?
    [ "$status" -eq 1 ] && grep -q -F "$named cannot be read: permission denied" err ||
        fail "an unreadable model: status $status, $(cat out err)"
    echo "ok: unreadable: $(cut -c 1-120 err)"
fi

# A /dev whose only video node has a number too large to parse: no camera there.
for args in "--list-cameras" "--camera"; do
    # shellcheck disable=SC2086
    in_namespace 'mount -t tmpfs tmpfs /dev && touch /dev/video99999999999999999999999' \
        timeout 20 "$track" $args > out 2> err
    status=$?
    [ "$status" -eq 1 ] && [ "$(wc -l < err)" -eq 1 ] && grep -q "^fishtank-track: .*no video device" err ||
        fail "$args with an odd /dev name: status $status, $(cat out err)"
    echo "ok: $args with an odd /dev name: $(cat err)"
done
echo "damaged files test passed"
