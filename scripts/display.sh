# Helpers for the scripts that drive the program under X; sourced, not run. Needs `root`.

# Reads a script's arguments [SECONDS [BUILD-DIR]] into `seconds` (default DEFAULT) and
# `build` (default build/), then re-runs the script under an Xvfb of its own when no
# display is set.
#   start_under_x DEFAULT "$0" "$@"
start_under_x() {
    local script=$2
    seconds=${3:-$1}
    build=$(cd "${4:-$root/build}" && pwd)
    if [ -z "${DISPLAY:-}" ]; then exec "$root/scripts/with-xvfb.sh" "$script" "$seconds" "$build"; fi
}

# Waits up to a minute for process PID to show a window titled TITLE; sets `window` to its
# id, or to "" when none came or the process ended.
#   wait_for_window TITLE PID
wait_for_window() {
    window=
    for _ in $(seq 1200); do
        window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
        [ -n "$window" ] && return 0
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# Makes `work`, a scratch folder, and `pid`, for the program a script starts: at exit the
# program is ended if still running and the folder removed.
start_work() {
    work=$(mktemp -d)
    pid=
    trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
}

# cpu_seconds PID: the CPU time the process has used so far, in seconds.
cpu_seconds() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }
