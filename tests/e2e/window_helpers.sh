# Helpers of the window tests; sourced. They need `work` (holding out, err, check and the
# screenshot), `check` (screenshot-check), `window` and `pid`.

fail() {
    echo "FAIL: $*"
    echo "--- standard output:"; cat "$work/out"
    echo "--- standard error:"; cat "$work/err"
    exit 1
}
# wait_for SECONDS COMMAND...: retries COMMAND until it succeeds or time runs out.
wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}
# picture_is WHAT...: the window's picture passes screenshot-check WHAT...
picture_is() {
    xwd -id "$window" -silent 2>/dev/null | xwdtopnm > "$work/shot.ppm" 2>/dev/null &&
        "$check" "$work/shot.ppm" "$@" 2>"$work/check"
}
# ends_with_status_0 ACTION: the process ends, with status 0, soon after ACTION; sets
# `took` to the seconds it took.
ends_with_status_0() {
    local started=$(date +%s.%N)
    "$@"
    wait_for 20 bash -c "! kill -0 $pid 2>/dev/null" || fail "still running after $*"
    wait "$pid"; local status=$?
    pid=
    took=$(awk "BEGIN { printf \"%.2f\", $(date +%s.%N) - $started }")
    [ "$status" -eq 0 ] || fail "exit status $status after $*"
    echo "ok: ended with status 0, ${took}s after $*"
}
