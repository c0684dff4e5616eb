#!/bin/sh
# Installs the Debian packages that Fishtank needs and a fresh machine of ours lacks:
# `run` what building and running need, `test` also what the tests, benchmarks and the
# package need. Quiet and quick when everything is there. The camera drivers' tests boot
# Debian's kernel in QEMU (tests/guest): dkms builds v4l2loopback for it once its headers
# are there, whatever kernel this machine runs.
#   scripts/install-deps.sh run|test
set -eu

run="cmake g++ make pkg-config libglfw3-dev libgl-dev libegl-dev libx11-dev libpng-dev libgif-dev
libopencv-videoio-dev libopencv-objdetect-dev libopencv-imgproc-dev libopencv-imgcodecs-dev opencv-data
libopencv-calib3d-dev libdlib-data libturbojpeg0-dev libassimp-dev"
test="$run clang libglu1-mesa-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool x11-apps
x11-xkb-utils netpbm valgrind strace dpkg-dev file lintian desktop-file-utils mandoc
qemu-system-x86 busybox-static cpio linux-image-amd64 linux-headers-amd64 v4l2loopback-dkms ffmpeg
v4l-utils"
case "${1:-}" in
    run) packages=$run ;;
    test) packages=$test ;;
    *) echo "usage: install-deps.sh run|test" >&2; exit 2 ;;
esac

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing Debian packages:$missing" >&2
    echo "install-deps: run as root, or: sudo apt-get install$missing" >&2
    exit 1
fi

echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
if ! apt-get install -y -qq $missing >/dev/null 2>&1; then
    apt-get update -qq >/dev/null
    # shellcheck disable=SC2086
    apt-get install -y -qq $missing >/dev/null || {
        echo "install-deps: apt-get could not install:$missing" >&2
        exit 1
    }
fi
