#!/usr/bin/env bash
# The package as a board gets it, on a booted amd64 guest: builds (or takes from the cache) the
# guest's root, installs the .deb there with dpkg -i in a chroot (maintainer scripts, user, boot
# link), makes a disk of it and runs tests/system/board_test.py, which boots it under QEMU and
# checks the panel from outside. Needs root.
#
#   tools/vm/system-test.sh                 uses the build folder of ./test.sh
#   BUILD_DIR=dir tools/vm/system-test.sh
#   PANEL_VM_SHOT=file.png tools/vm/system-test.sh    also saves the guest's bus control screen
#   PANEL_VM_ONLY=start-up tools/vm/system-test.sh      only the start-up checks (alarm board, missing UART)
#   PANEL_VM_ONLY=missing-uart tools/vm/system-test.sh  only the boot with bus 3's UART missing
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

# The same package under a higher version: the upgrade the guest installs over the running panel.
dpkg-deb -R "$deb" "$work/repack"
sed -i 's/^Version: .*/&+1/' "$work/repack/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/repack" "$work/panel-upgrade.deb" >/dev/null
rm -rf "$work/repack"

step "guest disk: the cached root and the package"
start=$SECONDS
tools/vm/package-disk.sh "$work" "$deb" "$work/panel-upgrade.deb" /var/tmp/panel-upgrade.deb \
    tests/system/foreign-lock.conf /etc/tmpfiles.d/foreign-lock.conf
host_rating=$(cat "$work/host-rating")
echo "host: systemd-analyze security rates panel.service $host_rating"
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
