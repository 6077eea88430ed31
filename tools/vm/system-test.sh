#!/usr/bin/env bash
# The package as a board gets it, on a booted amd64 guest: builds (or takes from the cache) the
# guest's root, installs the .deb there with dpkg -i in a chroot (maintainer scripts, user, boot
# link), makes a disk of it and runs tests/system/board_test.py, which boots it under QEMU and
# checks the panel from outside. Needs root.
#
#   tools/vm/system-test.sh                 uses the build folder of ./test.sh
#   BUILD_DIR=dir tools/vm/system-test.sh
#   PANEL_VM_SHOT=file.png tools/vm/system-test.sh    also saves the guest's bus control screen
set -euo pipefail
cd "$(dirname "$0")/../.."
# No compiled Python left in the checkout.
export PYTHONDONTWRITEBYTECODE=1

build_dir=${BUILD_DIR:-build}
step() { printf '\n== %s (%s)\n' "$1" "$(date +%T)"; }
fail() { echo "system-test: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (chroot, the cache under /var/cache)"

tools/install-deps.sh
tools/install-vm-deps.sh
began=$SECONDS

step "guest root"
start=$SECONDS
root=$(tools/vm/build-image.sh)
echo "system-test: guest root $root ready in $((SECONDS - start)) s"

step "package from $build_dir"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" -j 2 --target panel controller-sim
rm -f "$build_dir"/panel_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(ls "$build_dir"/panel_*_amd64.deb)
echo "$deb"

work=$(mktemp -d /var/tmp/panel-vm.XXXXXX)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT

step "install the package into a copy of the root"
start=$SECONDS
cp -a "$root" "$work/root"
cp "$deb" "$work/root/tmp/panel.deb"
# The display driver comes late on purpose, after the panel would have started: on a fast boot
# the race between the panel and its framebuffer stays hidden.
install -m 755 tests/system/late-display "$work/root/usr/local/sbin/late-display"
install -m 644 tests/system/late-display.service "$work/root/etc/systemd/system/"
ln -s /etc/systemd/system/late-display.service "$work/root/etc/systemd/system/multi-user.target.wants/"
timeout 300 chroot "$work/root" dpkg -i /tmp/panel.deb
rm "$work/root/tmp/panel.deb"
[ -L "$work/root/etc/systemd/system/multi-user.target.wants/panel.service" ] || fail "panel.service not enabled"
grep '^panel:' "$work/root/etc/passwd" || fail "user panel not created"
# What the host's check says about the unit, to compare with the guest's real systemd.
host_rating=$(systemd-analyze security --offline=yes --root="$work/root" panel.service 2>&1 | tail -n 1 \
    | sed -n 's/.*level for panel.service: *\([0-9.]*\).*/\1/p')
[ -n "$host_rating" ] || fail "no security rating on the host"
echo "host: systemd-analyze security rates panel.service $host_rating"
kernel=$(ls "$work"/root/boot/vmlinuz-* | head -n 1)
initrd=$(ls "$work"/root/boot/initrd.img-* | head -n 1)
cp "$kernel" "$work/vmlinuz"
cp "$initrd" "$work/initrd.img"
truncate -s 3G "$work/disk.img"
timeout 300 mkfs.ext4 -q -F -L panelroot -d "$work/root" "$work/disk.img"
rm -rf "$work/root"
echo "system-test: disk ready in $((SECONDS - start)) s"

step "boot and check"
# What the screens must look like: as the desktop run drew them (tools/screenshots.sh).
convert docs/screens/01-main-window.png "$work/start.ppm"
convert docs/screens/05-air-conditioner.png "$work/air-conditioner.ppm"
status=0
timeout --signal=TERM --kill-after=30 1200 python3 tests/system/board_test.py "$work" "$work/disk.img" \
    "$work/vmlinuz" "$work/initrd.img" "$build_dir/tools/simulator/controller-sim" \
    tools/simulator/default-building.scn "$work" "$host_rating" ${PANEL_VM_SHOT:+"$PANEL_VM_SHOT"} \
    || status=$?
if [ "$status" -ne 0 ]; then
    kept="$build_dir/system-test-failure"
    rm -rf "$kept" && mkdir -p "$kept"
    cp "$work"/*.log "$work"/*.png "$work"/*.err "$kept/" 2>/dev/null || true
    echo "system-test: failed ($status); logs, the guest's journal and its last picture in $kept" >&2
    tail -n 20 "$work"/boot*-console.log >&2 || true
    exit "$status"
fi
echo "system-test: passed in $((SECONDS - began)) s"
