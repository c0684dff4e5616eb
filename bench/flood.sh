#!/bin/bash
# Floods fishtank-track for SECONDS (default 10) with valid poses mixed with four times as
# many datagrams it must drop, as fast as one sender on this machine can send, then checks
# that it still runs, that its memory did not grow, that frames kept coming (the longest
# gap between two frame starts, and how late the first frame after each 12 Hz tick
# deadline began), and that a pose sent afterwards is drawn.
#   bench/flood.sh [SECONDS [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/display.sh"
start_under_x 10 "$0" "$@"

start_work
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$pid/status"; }

TICKSTAMP_FILE=$work/clears LD_PRELOAD="$build/bench/libtickstamp.so" \
    "$build/fishtank-track" --port 0 > /dev/null 2> "$work/err" &
pid=$!
wait_for_window Fishtank "$pid" || { cat "$work/err"; echo "flood: no window" >&2; exit 1; }
port=$(sed -n 's/^fishtank-track: listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/err")
sleep 1
rss_before=$(rss)
"$build/fishtank-pose-send" --port "$port" --rate 0 --seconds "$seconds" --garbage 4 --path sine 2> "$work/sent"
kill -0 "$pid" || { echo "flood: the program died" >&2; exit 1; }
rss_after=$(rss)
"$build/fishtank-pose-send" --port "$port" --pose 30,0,0 --rate 60 --seconds 2 2> /dev/null
applied=unchecked
if [ -x "$build/screenshot-check" ]; then
    xwd -id "$window" -silent | xwdtopnm > "$work/shot.ppm" 2> /dev/null
    "$build/screenshot-check" "$work/shot.ppm" frame9 0.35 0.55 -0.1 0.1 && applied=yes || applied=NO
fi
"$build/close-window" "$window"
wait "$pid"
pid=

cat "$work/sent"
echo "dropped, as the program told: $(grep -o 'dropped [0-9]*' "$work/err" | awk '{ s += $2 } END { print s }') datagrams in $(grep -c dropped "$work/err") lines"
echo "RSS before and after the flood: $rss_before kB, $rss_after kB"
awk -v s="$seconds" 'NR > 1 { gap = $1 - last; if (gap > longest) longest = gap } { last = $1; t[NR] = $1 }
    END {
        # The 12 Hz grid, placed by the last idle tick before the flood: a frame with a
        # tick interval on either side.
        for (i = 3; i < NR && t[i] - t[i - 1] > 0.05; ++i)
            if (t[i + 1] - t[i] > 0.08 && t[i] - t[i - 1] > 0.08) anchor = t[i]
        i = 0
        for (k = 1; anchor + k / 12 < t[NR]; ++k) {
            g = anchor + k / 12
            while (i < NR && t[i + 1] < g) ++i
            late = t[i + 1] - g; if (late > latest) latest = late; sum += late; ++n
        }
        printf "frames: %d; longest gap between frame starts %.2f ms; first frame after a tick deadline: mean %.2f ms, worst %.2f ms late\n", NR, longest * 1000, sum / n * 1000, latest * 1000
    }' "$work/clears"
echo "a pose after the flood drawn: $applied"
[ "$applied" != NO ]
