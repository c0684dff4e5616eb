#!/bin/bash
# Installs the build into a scratch prefix and runs the installed renderer from elsewhere:
# it must find its resource in PREFIX/share/fishtank.
#   install_test.sh BUILD-DIR SCREENSHOT-CHECK
set -euo pipefail
build=$1 check=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix/usr" > /dev/null
for f in bin/fishtank bin/fishtank-render share/fishtank/teapot10.stl share/applications/fishtank.desktop; do
    [ -e "$prefix/usr/$f" ] || fail "$f not installed"
done
# Moved elsewhere after installing, the tree still works: the lookup starts at the binary.
mv "$prefix/usr" "$prefix/moved"
cd /
# (LeakSanitizer cannot run under ptrace, in a sanitizer build.)
ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=openat -o "$prefix/trace" "$prefix/moved/bin/fishtank-render" \
    -o "$prefix/frame.png" > /dev/null || fail "the installed renderer failed"
grep -q "moved/bin/../share/fishtank/teapot10.stl\", O_RDONLY" "$prefix/trace" ||
    fail "the installed renderer did not read its resource: $(grep teapot "$prefix/trace")"
grep "teapot10.stl" "$prefix/trace" | grep -q ENOENT && fail "the resource was looked for in vain"
pngtopnm "$prefix/frame.png" > "$prefix/frame.ppm"
"$check" "$prefix/frame.ppm" tunnel || fail "the installed renderer drew no tunnel"
echo "install test passed"
