#!/bin/bash
# Runs a command inside a QEMU guest on Debian's own kernel with real camera drivers loaded:
# vivid (the kernel's virtual camera) and v4l2loopback (frames we write ourselves). The
# guest's root is this machine's root, shared read-only over 9p with a RAM layer on top,
# so built programs run unchanged; the current folder is shared writable at the same
# path and the command runs there, as root. Its stdout, stderr and status come back.
#   run.sh [--vivid OPTIONS] [--loopback OPTIONS] [--timeout SECONDS] [-v] -- COMMAND [ARGS...]
# OPTIONS are module options ("n_devs=2 node_types=0x1,0x20001"); without --vivid or
# --loopback that module is not loaded. -v tells the boot time on stderr. See README.md.
set -u
vivid= loopback= limit=120 verbose=
while [ $# -gt 0 ]; do
    case $1 in
        --vivid) vivid=$2; shift 2 ;;
        --loopback) loopback=$2; shift 2 ;;
        --timeout) limit=$2; shift 2 ;;
        -v) verbose=1; shift ;;
        --) shift; break ;;
        *) echo "usage: run.sh [--vivid OPTIONS] [--loopback OPTIONS] [--timeout SECONDS] [-v] -- COMMAND..." >&2
           exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "run.sh: no command to run" >&2; exit 2; }
cannot() { echo "guest: cannot run the camera drivers' test bed: $1; scripts/install-deps.sh test installs it" >&2; exit 1; }

# Debian's kernel, the one v4l2loopback was built for by dkms.
kernel=$(ls -d /lib/modules/*/updates/dkms/v4l2loopback.ko* 2>/dev/null | sort -V | tail -1)
kernel=${kernel#/lib/modules/} kernel=${kernel%%/*}
[ -n "$kernel" ] && [ -r "/boot/vmlinuz-$kernel" ] ||
    cannot "no Debian kernel with v4l2loopback built for it by dkms"
command -v qemu-system-x86_64 > /dev/null || cannot "no qemu-system-x86_64"
[ -x /bin/busybox ] && file -L /bin/busybox | grep -q 'statically linked' || cannot "no static busybox"
dir=$(mktemp -d /tmp/fishtank-guest.XXXXXX)
trap 'rm -rf "$dir"' EXIT

# The initramfs: busybox and the modules that mount the root, in load order.
mkdir -p "$dir/initramfs/bin" "$dir/initramfs/modules"
cp /bin/busybox "$dir/initramfs/bin/"
for module in virtio_pci 9pnet_virtio 9p overlay; do /sbin/modprobe -S "$kernel" --show-depends $module; done |
    awk '$1 == "insmod" && !seen[$2]++ { print $2 }' > "$dir/modules"
grep -q 9pnet_virtio "$dir/modules" || cannot "no 9p modules in /lib/modules/$kernel"
n=0
while read -r module; do
    n=$((n + 1)) name=$(printf '%02d' $n)-$(basename "${module%.ko*}").ko
    case $module in
        *.xz) xz -dc "$module" ;;
        *.zst) zstd -qdc "$module" ;;
        *) cat "$module" ;;
    esac > "$dir/initramfs/modules/$name"
done < "$dir/modules"
install -m 755 "$(dirname "$0")/init" "$dir/initramfs/init"
(cd "$dir/initramfs" && find . | cpio -o -H newc --quiet | gzip -1) > "$dir/initrd.gz"

# What the guest runs: the command in this folder, then its status.
mkdir "$dir/results"
{
    echo "export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8"
    printf 'vivid=%q loopback=%q\n' "$vivid" "$loopback"
    echo '[ -z "$vivid" ] || modprobe vivid $vivid || exit 125'
    echo '[ -z "$loopback" ] || modprobe v4l2loopback $loopback || exit 125'
    printf 'cd %q || exit 125\nexec' "$PWD"
    printf ' %q' "$@"
    echo
} > "$dir/results/command"

start=$EPOCHREALTIME
timeout -k 5 "$limit" qemu-system-x86_64 -nodefaults -no-reboot -display none -accel tcg,thread=multi \
    -cpu max -smp 2 -m 1536 -kernel "/boot/vmlinuz-$kernel" -initrd "$dir/initrd.gz" \
    -append "console=ttyS0 quiet panic=-1 results=$dir/results work=$PWD" -serial "file:$dir/console" \
    -fsdev local,id=root,path=/,security_model=none,readonly=on,multidevs=remap -device virtio-9p-pci,fsdev=root,mount_tag=root \
    -fsdev "local,id=results,path=$dir/results,security_model=none" -device virtio-9p-pci,fsdev=results,mount_tag=results \
    -fsdev "local,id=work,path=$PWD,security_model=none" -device virtio-9p-pci,fsdev=work,mount_tag=work \
    2> "$dir/qemu.err"
qemu=$?
took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { print b - a }')
cat "$dir/results/stdout" 2> /dev/null
cat "$dir/results/stderr" >&2 2> /dev/null
status=$(cat "$dir/results/status" 2> /dev/null)
[ -z "$verbose" ] || [ ! -s "$dir/results/booted" ] ||
    printf 'guest: booted in %.1f s, %.1f s in all\n' "$(cat "$dir/results/booted")" "$took" >&2
if [ ! -s "$dir/results/booted" ]; then
    echo "guest: cannot run the camera drivers' test bed: the guest did not boot: $(grep -h -m1 \
        -e qemu-system -e 'init:' -e 'not syncing' "$dir/qemu.err" "$dir/console" | head -1)" >&2
    exit 1
elif [ -z "$status" ]; then
    [ "$qemu" -eq 124 ] && echo "guest: the command did not end within $limit s" >&2 ||
        echo "guest: the guest stopped before the command ended: $(grep . "$dir/qemu.err" | head -1)" >&2
    exit 124
fi
exit "$status"
