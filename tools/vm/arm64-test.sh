#!/usr/bin/env bash
# The board's own package on an emulated arm64 guest (qemu-system-aarch64 -M virt): the same checks
# as tools/vm/system-test.sh. No arm64 program can run on this host (no binfmt_misc), so the root is
# only unpacked here (mmdebstrap --variant=extract) and its packages are installed at the guest's
# first boot, with the panel's .deb, by tests/system/arm64-firstboot. Not cached and not in CI:
# the whole way takes about half an hour, most of it dpkg under emulation. Needs root.
#
#   tools/vm/arm64-test.sh               builds the arm64 package in build-arm64 (panel only)
set -euo pipefail
cd "$(dirname "$0")/../.."
# No compiled Python left in the checkout.
export PYTHONDONTWRITEBYTECODE=1

build_dir=${BUILD_DIR:-build-arm64}
step() { printf '\n== %s (%s)\n' "$1" "$(date +%T)"; }
fail() { echo "arm64-test: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (the root's file owners)"

tools/install-deps.sh
tools/install-cross-deps.sh
tools/install-vm-deps.sh arm64
began=$SECONDS

step "arm64 package in $build_dir"
start=$SECONDS
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DPANEL_BUILD_IMAGEGEN=OFF -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" >/dev/null
cmake --build "$build_dir" -j 2
rm -f "$build_dir"/panel_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(ls "$build_dir"/panel_*_arm64.deb)
echo "arm64-test: $deb in $((SECONDS - start)) s"
# The simulator runs on the host.
cmake --build build -j 2 --target controller-sim >/dev/null 2>&1 || {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j 2 --target controller-sim
}

work=$(mktemp -d /var/tmp/panel-vm-arm64.XXXXXX)
trap 'rm -rf "$work"' EXIT

step "unpack the arm64 root"
start=$SECONDS
suite=bookworm
packages=systemd-sysv,udev,kmod,linux-image-arm64,libsystemd0,libqt5core5a,libqt5gui5,libqt5widgets5
packages+=,libqt5serialport5,libinput10,fonts-arphic-ukai,fonts-arphic-uming,fonts-dejavu-core
packages+=,qemu-guest-agent,busybox-static
# The extract variant takes only what it is given and its dependencies: the essential packages and
# the rest of minbase must be named.
packages+=,base-files,base-passwd,bash,bsdutils,coreutils,dash,debianutils,diffutils,dpkg,findutils
packages+=,grep,gzip,hostname,init-system-helpers,libc-bin,login,mawk,ncurses-base,ncurses-bin
packages+=,perl-base,sed,sysvinit-utils,tar,util-linux,apt,usr-is-merged
# cleanup/apt/cache keeps the packages, which the first boot installs.
timeout 900 mmdebstrap --variant=extract --architectures=arm64 --format=directory --skip=cleanup/apt/cache \
    --setup-hook=/usr/share/mmdebstrap/hooks/merged-usr/setup00.sh \
    --include="$packages" \
    --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
    --dpkgopt='path-exclude=/usr/share/locale/*' \
    "$suite" "$work/root" \
    "deb http://deb.debian.org/debian $suite main" \
    "deb http://deb.debian.org/debian $suite-updates main" \
    "deb http://deb.debian.org/debian-security $suite-security main"
root=$work/root
ls "$root"/var/cache/apt/archives/*.deb >/dev/null || fail "no packages kept for the first boot"
# Maintainer scripts start with #!/bin/sh, which dash's own installation would make.
[ -e "$root/usr/bin/sh" ] || ln -s dash "$root/usr/bin/sh"
# Folders that base-files would make.
mkdir -p "$root/root" "$root/tmp" "$root/run" "$root/proc" "$root/sys" "$root/dev"
chmod 1777 "$root/tmp"
chmod 700 "$root/root"
echo panel-vm >"$root/etc/hostname"
echo "/dev/vda / ext4 rw,errors=remount-ro 0 1" >"$root/etc/fstab"
cp "$deb" "$root/root/panel.deb"
install -D -m 755 tests/system/arm64-firstboot "$root/usr/local/sbin/firstboot"
install -m 755 tests/system/late-display "$root/usr/local/sbin/late-display"
install -D -m 644 tests/system/70-arm64-uarts.rules "$root/etc/udev/rules.d/70-arm64-uarts.rules"
install -m 644 tests/system/late-display.service "$root/etc/systemd/system/"
mkdir -p "$root/etc/systemd/system/multi-user.target.wants"
ln -s /etc/systemd/system/late-display.service "$root/etc/systemd/system/multi-user.target.wants/"
version=$(ls "$root/lib/modules" | head -n 1)
cp "$root/boot/vmlinuz-$version" "$work/vmlinuz"
echo "initrd modules: $(python3 tools/vm/arm64-initrd.py "$root" "$version" "$work/initrd.img")"
truncate -s 4G "$work/disk.img"
timeout 300 mkfs.ext4 -q -F -L panelroot -d "$root" "$work/disk.img"
rm -rf "$root"
echo "arm64-test: root unpacked and disk made in $((SECONDS - start)) s"

step "first boot: install the packages in the guest"
start=$SECONDS
timeout 3600 python3 - "$work" <<'PY'
import sys, os
sys.path.insert(0, "tools/vm")
from guest import Guest, wait_for
work = sys.argv[1]
guest = Guest(work, f"{work}/disk.img", f"{work}/vmlinuz", f"{work}/initrd.img",
              "build/tools/simulator/controller-sim", "tools/simulator/default-building.scn",
              "firstboot", "arm64")
try:
    guest.start("panel.init=/usr/local/sbin/firstboot")
    wait_for("the first boot to power off", lambda: guest.qemu.poll() is not None, 3000, 5)
finally:
    guest.stop()
PY
grep "firstboot:" "$work/firstboot-console.log" || true
grep -q "firstboot: done 0" "$work/firstboot-console.log" || {
    mkdir -p "$build_dir" && cp "$work/firstboot-console.log" "$build_dir/"
    tail -n 40 "$work/firstboot-console.log"
    fail "the first boot did not install everything; its console is $build_dir/firstboot-console.log"; }
echo "arm64-test: first boot took $((SECONDS - start)) s"

step "boot and check"
# The unit's rating on the host, from the package's own unit file, for the guest's to match.
unit_root="$work/unit-root"
dpkg-deb -x "$deb" "$unit_root"
host_rating=$(systemd-analyze security --offline=yes --root="$unit_root" panel.service 2>&1 | tail -n 1 \
    | sed -n 's/.*level for panel.service: *\([0-9.]*\).*/\1/p')
[ -n "$host_rating" ] || fail "no security rating on the host"
convert docs/screens/01-main-window.png "$work/start.ppm"
convert docs/screens/05-air-conditioner.png "$work/air-conditioner.ppm"
status=0
PANEL_VM_ARCH=arm64 PANEL_VM_TIME_FACTOR=${PANEL_VM_TIME_FACTOR:-4} \
    timeout --signal=TERM --kill-after=30 3600 python3 tests/system/board_test.py "$work" "$work/disk.img" \
    "$work/vmlinuz" "$work/initrd.img" build/tools/simulator/controller-sim \
    tools/simulator/default-building.scn "$work" "$host_rating" || status=$?
if [ "$status" -ne 0 ]; then
    kept="$build_dir/system-test-failure"
    rm -rf "$kept" && mkdir -p "$kept"
    cp "$work"/*.log "$work"/*.png "$work"/*.err "$kept/" 2>/dev/null || true
    fail "failed ($status); logs in $kept"
fi
echo "arm64-test: passed in $((SECONDS - began)) s"
