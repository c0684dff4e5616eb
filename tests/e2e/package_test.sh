#!/bin/bash
# The Debian package: built with CPack from the install rules, extracted (never installed)
# into a scratch folder, its renderer run from there (it must find its resource in the
# extracted /usr/share/fishtank), its file list and dependencies checked, and lintian,
# desktop-file-validate and mandoc's lint run on it.
#   package_test.sh BUILD-DIR SCREENSHOT-CHECK SOURCE-DIR
set -euo pipefail
build=$1 check=$2 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/fishtank_*_amd64.deb)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$(basename "$deb")" = "fishtank_${version}_amd64.deb" ] || fail "package named $(basename "$deb")"

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' > "$work/files"
for f in /usr/bin/fishtank /usr/bin/fishtank-track /usr/bin/fishtank-render /usr/bin/fishtank-pose-send \
         /usr/share/fishtank/teapot10.stl /usr/share/applications/fishtank.desktop \
         /usr/share/icons/hicolor/48x48/apps/fishtank.png /usr/share/icons/hicolor/128x128/apps/fishtank.png \
         /usr/share/icons/hicolor/256x256/apps/fishtank.png /usr/share/man/man1/fishtank.1.gz \
         /usr/share/man/man1/fishtank-track.1.gz /usr/share/man/man1/fishtank-render.1.gz \
         /usr/share/man/man1/fishtank-pose-send.1.gz \
         /usr/share/doc/fishtank/copyright /usr/share/doc/fishtank/changelog.gz; do
    grep -qx "$f" "$work/files" || fail "$f not in the package"
done
[ -z "$(grep -v '^/usr' "$work/files")" ] || fail "files outside /usr: $(grep -v '^/usr' "$work/files")"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libglfw3 libpng16-16 libgif7 libstdc++6 libopencv-videoio406 \
               libopencv-objdetect406 libopencv-imgproc406 opencv-data; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "section is not graphics"

dpkg-deb -x "$deb" "$work/root"
cd /
ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=openat -o "$work/trace" "$work/root/usr/bin/fishtank-render" \
    -o "$work/frame.png" > /dev/null || fail "the extracted renderer failed"
grep -q "root/usr/bin/../share/fishtank/teapot10.stl\", O_RDONLY" "$work/trace" ||
    fail "the extracted renderer did not read its resource: $(grep teapot "$work/trace")"
pngtopnm "$work/frame.png" > "$work/frame.ppm" && "$check" "$work/frame.ppm" tunnel ||
    fail "the extracted renderer drew no tunnel"
"$work/root/usr/bin/fishtank-render" --version | grep -qx "fishtank-render $version" || fail "renderer version"
"$work/root/usr/bin/fishtank-track" --version | grep -qx "fishtank-track $version" || fail "tracker version"
! ldd "$work/root/usr/bin/fishtank" | grep -qi opencv || fail "fishtank links the camera's library"

lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" > "$work/lintian" 2>&1 || { cat "$work/lintian"; fail "lintian reports errors"; }
sed 's/^/lintian: /' "$work/lintian"
! grep -E "hardening-no-(bindnow|fortify-functions|relro|pie)" "$work/lintian" || fail "binaries are not hardened"
desktop-file-validate "$work/root/usr/share/applications/fishtank.desktop" || fail "desktop entry invalid"
for page in "$source"/docs/man/*.1; do
    mandoc -Tlint -W warning "$page" || fail "$page has lint"
done
echo "package test passed: $(basename "$deb"), $(wc -l < "$work/files") entries"
