#!/bin/bash
# The head's motion filter and its prediction on the camera's own poses: the tests'
# synthetic videos (640x480, 30 frames/s, a still face and the moving path, 10 s each)
# followed in real time by the camera's pipeline, RUNS times (default 3). Prints the still
# face's raw noise, then for each way of drawing the head the moving path's RMS error and
# the still face's jitter from picture to picture (min / median / max over the runs), in
# the display's model and with a picture per pose (see bench/filter_bench.cpp).
# `tune` instead sweeps the filter's accelerations, on one run.
#   bench/prediction.sh [RUNS|tune [BUILD-DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${2:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# block TITLE FIRST-COLUMN HEADINGS...: for each way, each column's min / median / max.
block() {
    local title=$1 first=$2
    shift 2
    echo
    printf '%-28s' "$title"
    printf '  %-27s' "$@"
    echo
    grep -h -E '^(display|per pose) ' "$work"/run* | cut -d: -f1 | awk '!seen[$0]++' |
        while IFS= read -r label; do
            printf '%-28s' "$label"
            for column in $(seq "$first" $((first + $# - 1))); do
                grep -h -F "$label:" "$work"/run* | cut -d: -f2 |
                    awk -v c="$column" '{ print $c }' | sort -g | awk '{ v[NR] = $1 }
                        END { printf "  %-27s", v[1] " / " v[int((NR + 1) / 2)] " / " v[NR] }'
            done
            echo
        done
}

for path in still path; do
    "$build/face-video" "$work/$path.avi" 640x480 10 "$path" &
done
wait
if [ "${1:-}" = tune ]; then
    "$build/bench/filter-bench" tune "$work/still.avi" "$work/path.avi"
    exit
fi
runs=${1:-3}
for run in $(seq "$runs"); do
    "$build/bench/filter-bench" "$work/still.avi" "$work/path.avi" > "$work/run$run"
done

grep -E '^(still|path)' "$work/run1"
grep -h '^display: poses' "$work"/run*
echo
echo "== $runs runs, each value min / median / max"
block "moving path, RMS (cm)" 1 x y z "z, the camera's own"
block "still face, jitter (cm)" 5 x y z
