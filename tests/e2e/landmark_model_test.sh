#!/bin/bash
# The camera without the face landmark model (run under with-xvfb.sh): the model's folder
# is hidden under an empty tmpfs in a mount namespace of the test's own, and the window
# mode and the set-up check each say so in one line naming the package, with status 1.
# Skipped (status 77) where namespaces are not allowed.
#   landmark_model_test.sh FISHTANK-TRACK FACE-VIDEO
set -u
track=$1 face_video=$2
model=/usr/share/dlib/shape_predictor_68_face_landmarks.dat
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

# without_model COMMAND...: runs COMMAND with the model's folder empty. Root needs only a
# mount namespace; anyone else a user namespace too, in which they are root.
without_model() {
    local user=()
    [ "$(id -u)" -eq 0 ] || user=(--user --map-root-user)
    unshare "${user[@]}" --mount sh -c \
        'mount -t tmpfs tmpfs "${1%/*}" && [ ! -e "$1" ] && shift && exec "$@"' sh "$model" "$@"
}
if ! without_model true 2> err; then
    echo "SKIP: cannot hide $model in a mount namespace here: $(cat err)"
    exit 77
fi

"$face_video" face.avi 320x240 1 still || fail "cannot make the test video"
said="fishtank-track: cannot open the camera face.avi: the face landmark model $model is missing (it comes with Debian's libdlib-data)"
for mode in window check; do
    args=(--camera face.avi)
    [ "$mode" = check ] && args+=(--camera-check check.png)
    without_model timeout 30 "$track" "${args[@]}" > out 2> err
    status=$?
    [ "$status" -eq 1 ] && [ "$(cat err)" = "$said" ] && [ ! -s out ] && [ ! -e check.png ] ||
        fail "$mode without the model: status $status, $(cat out err)"
    echo "ok: $mode without the model: $(cat err)"
done
