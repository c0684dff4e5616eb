# Helpers of the window tests; sourced. They need `work` (holding out, err, check and the
# screenshot), `check` (screenshot-check) and `window`.

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
