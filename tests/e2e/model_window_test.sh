#!/bin/bash
# The model in a real window (run under with-xvfb.sh): the teapot is drawn, a drag with the
# mouse turns it, the wheel scales it, and r puts it back as it was; no tracker sends, so
# nothing else moves.
#   model_window_test.sh FISHTANK-TRACK SOURCE-DIR
set -u
track=$1 source=$2
source "$source/scripts/display.sh"  # wait_for_window, start_work
source "$source/tests/e2e/window_helpers.sh"
start_work
cd "$work" || exit 1

"$track" --port 0 --screen 40x30 --model teapot --scene model > out 2> err &
pid=$!
wait_for_window Fishtank "$pid" || fail "no window appeared"
grep -q "^fishtank-track: model .*teapot10.stl: 6320 triangles, 6.434 x 4 x 3.15 units, loaded in" err ||
    fail "no load line"
# shot NAME: the window's picture, once two in a row agree (the picture has settled).
shot() {
    wait_for 20 bash -c "xwd -id $window -silent | xwdtopnm > $1.ppm 2>/dev/null; sleep 0.3
        xwd -id $window -silent | xwdtopnm 2>/dev/null | cmp -s - $1.ppm" || fail "$1 never settles"
}
shot first
# The model's pixels: not black, grey or the tunnel's.
lit=$(pnmnoraw first.ppm | tail -n +4 | tr -s ' \n' '\n' | paste - - - |
    awk '$1 > 40 && $1 != $3 { n++ } END { print n + 0 }')
[ "$lit" -gt 2000 ] || fail "the teapot is not drawn: $lit pixels of its colour"
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH / 2)) $((HEIGHT / 2)) mousedown 1 \
    mousemove_relative --sync 60 0 mousemove_relative --sync 60 20 mouseup 1
shot turned
cmp -s first.ppm turned.ppm && fail "the drag did not turn the model"
xdotool key r
shot reset
cmp -s first.ppm reset.ppm || fail "r did not put the model back"
xdotool click 4 click 4
shot larger
cmp -s first.ppm larger.ppm && fail "the wheel did not scale the model"
echo "ok: a drag turns the model, the wheel scales it, r puts it back"
ends_with_status_0 xdotool key ctrl+q
echo "model window test passed"
