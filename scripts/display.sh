# Helpers for the scripts that drive the program under X; sourced, not run. Needs `root`.

# Re-runs the calling script, with the same arguments, under an Xvfb of its own when no
# display is set.
#   ensure_display "$0" "$@"
ensure_display() {
    if [ -z "${DISPLAY:-}" ]; then exec "$root/tests/e2e/with-xvfb.sh" "$@"; fi
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
