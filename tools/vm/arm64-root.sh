#!/usr/bin/env bash
# The arm64 guest's root with Debian's packages installed, the panel's own left out. No arm64
# program runs on this host, so the root is only unpacked here (mmdebstrap --variant=extract) and
# dpkg installs the packages at the guest's first boot (tests/system/arm64-firstboot as PID 1), which
# takes a quarter of an hour under emulation. The result is kept as a folder under the cache folder,
# named after a hash of this script (suite, packages, kernel) and the first-boot script, so any
# change to what goes in builds it again. Needs root.
#
#   tools/vm/arm64-root.sh              prints the path of the cached root, building it when missing
#   tools/vm/arm64-root.sh --cached     prints it only when it is cached; fails, building nothing
#   PANEL_VM_CACHE=dir tools/vm/arm64-root.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
export PYTHONDONTWRITEBYTECODE=1

cache=${PANEL_VM_CACHE:-/var/cache/panel-vm}
suite=bookworm
packages=systemd-sysv,udev,kmod,linux-image-arm64,libsystemd0,libqt5core5a,libqt5gui5,libqt5widgets5
packages+=,libqt5serialport5,libmosquitto1,libinput10,fonts-arphic-ukai,fonts-arphic-uming,fonts-dejavu-core
packages+=,qemu-guest-agent,busybox-static
# The extract variant takes only what it is given and its dependencies: the essential packages and
# the rest of minbase must be named.
packages+=,base-files,base-passwd,bash,bsdutils,coreutils,dash,debianutils,diffutils,dpkg,findutils
packages+=,grep,gzip,hostname,init-system-helpers,libc-bin,login,mawk,ncurses-base,ncurses-bin
packages+=,perl-base,sed,sysvinit-utils,tar,util-linux,apt,usr-is-merged

fail() { echo "arm64-root: $*" >&2; exit 1; }
key=$(cat tools/vm/arm64-root.sh tests/system/arm64-firstboot | sha256sum | cut -c1-16)
root="$cache/root-arm64-$key"
if [ -d "$root" ]; then
    echo "$root"
    exit 0
fi
[ "${1:-}" = --cached ] && fail "no $root: the arm64 root is not cached"
[ "$(id -u)" -eq 0 ] || fail "needs root (the root's file owners, a loop mount)"

tools/install-vm-deps.sh arm64 >&2
mkdir -p "$cache"
# One build at a time: CI and a hand run share the cache.
exec 9>"$cache/root-arm64.lock"
flock -w 3600 9 || fail "another build of the arm64 root holds $cache/root-arm64.lock"
if [ -d "$root" ]; then
    echo "$root"
    exit 0
fi
echo "arm64-root: building the arm64 root cold (no $root yet; takes about 20 minutes)" >&2
began=$SECONDS
work=$(mktemp -d /var/tmp/panel-arm64-root.XXXXXX)
cleanup() {
    mountpoint -q "$work/mnt" 2>/dev/null && umount "$work/mnt"
    rm -rf "$work"
}
trap cleanup EXIT

# cleanup/apt/cache keeps the packages, which the first boot installs.
timeout 900 mmdebstrap --variant=extract --architectures=arm64 --format=directory --skip=cleanup/apt/cache \
    --setup-hook=/usr/share/mmdebstrap/hooks/merged-usr/setup00.sh \
    --include="$packages" \
    --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
    --dpkgopt='path-exclude=/usr/share/locale/*' \
    "$suite" "$work/root" \
    "deb http://deb.debian.org/debian $suite main" \
    "deb http://deb.debian.org/debian $suite-updates main" \
    "deb http://deb.debian.org/debian-security $suite-security main" >&2
unpacked=$work/root
ls "$unpacked"/var/cache/apt/archives/*.deb >/dev/null || fail "no packages kept for the first boot"
# Maintainer scripts start with #!/bin/sh, which dash's own installation would make.
[ -e "$unpacked/usr/bin/sh" ] || ln -s dash "$unpacked/usr/bin/sh"
# Folders that base-files would make.
mkdir -p "$unpacked"/{root,tmp,run,proc,sys,dev}
chmod 1777 "$unpacked/tmp"
chmod 700 "$unpacked/root"
echo panel-vm >"$unpacked/etc/hostname"
echo "/dev/vda / ext4 rw,errors=remount-ro 0 1" >"$unpacked/etc/fstab"
install -D -m 755 tests/system/arm64-firstboot "$unpacked/usr/local/sbin/firstboot"
version=$(ls "$unpacked/lib/modules" | head -n 1)
cp "$unpacked/boot/vmlinuz-$version" "$work/vmlinuz"
modules=$(python3 tools/vm/arm64-initrd.py "$unpacked" "$version" "$work/initrd.img")
echo "arm64-root: initrd modules: $modules" >&2
truncate -s 4G "$work/disk.img"
timeout 300 mkfs.ext4 -q -F -L panelroot -d "$unpacked" "$work/disk.img"
rm -rf "$unpacked"
echo "arm64-root: unpacked, disk made in $((SECONDS - began)) s" >&2

start=$SECONDS
PANEL_VM_TIME_FACTOR=2 timeout 3700 python3 tools/vm/arm64-install-boot.py "$work" "$work/disk.img" \
    "$work/vmlinuz" "$work/initrd.img" 1500 >&2 || {
    cp "$work/firstboot-console.log" "$cache/root-arm64-firstboot-console.log" 2>/dev/null || true
    tail -n 40 "$work/firstboot-console.log" >&2 || true
    fail "the first boot left packages uninstalled; console in $cache/root-arm64-firstboot-console.log"; }
echo "arm64-root: first boot installed the packages in $((SECONDS - start)) s" >&2

partial="$root.partial"
rm -rf "$partial"
mkdir -p "$work/mnt" "$partial"
# Read-write: the journal the guest's power-off left may need replaying.
mount -o loop "$work/disk.img" "$work/mnt"
timeout 600 cp -a "$work/mnt/." "$partial/"
umount "$work/mnt"
rm -rf "$partial/lost+found"
mv "$partial" "$root"
rm -f "$cache/root-arm64-firstboot-console.log"
# Roots of earlier versions of these scripts are of no further use.
find "$cache" -mindepth 1 -maxdepth 1 -name 'root-arm64-*' ! -path "$root" -exec rm -rf {} +
echo "arm64-root: built in $((SECONDS - began)) s" >&2
echo "$root"
