#!/bin/bash
# Runs a command against a fresh Xvfb server of its own, started on a free display number;
# the command starts once the server announces (-displayfd) that it accepts connections.
# -noreset: by default an X server resets when its last client leaves and refuses
# connections while it does, so a program started just after a short-lived client
# (xdotool) could fail to connect.
#   with-xvfb.sh COMMAND [ARGS...]
set -u
ready=$(mktemp)
# Servers started at the same moment can pick the same free number: start one at a time.
exec 9> /tmp/fishtank-xvfb.lock
flock 9
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3> "$ready" 2> /dev/null 9>&- &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$ready"' EXIT
for _ in $(seq 600); do
    [ -s "$ready" ] && break
    kill -0 "$server" 2>/dev/null || { echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
    sleep 0.05
done
[ -s "$ready" ] || { echo "with-xvfb: Xvfb did not become ready" >&2; exit 1; }
export DISPLAY=":$(head -1 "$ready")" XVFB_PID=$server
flock -u 9
exec 9>&-
"$@"
