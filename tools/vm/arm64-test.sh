#!/usr/bin/env bash
# The board's own package on an emulated arm64 guest (qemu-system-aarch64 -M virt): the same checks
# as tools/vm/system-test.sh. No arm64 program can run on this host (no binfmt_misc), so Debian's
# packages are installed by dpkg at the guest's first boot, once per cached root
# (tools/vm/arm64-root.sh, about twenty minutes cold). Each run copies that root, installs the
# panel's .deb at a short first boot in the guest (tests/system/arm64-firstboot), makes the disk and
# boots it for the checks: under five minutes with the root cached. Needs root.
#
#   tools/vm/arm64-test.sh               the arm64 package of build-arm64 (configured panel only
#                                        when new; tools/cross-build.sh's folder as it is)
#   BUILD_DIR=dir tools/vm/arm64-test.sh
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
# A folder tools/cross-build.sh configured is used as it is (in CI it has just built there): tests
# switched off in its cache would stay off for its next run.
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
        -DPANEL_BUILD_IMAGEGEN=OFF -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" >/dev/null
fi
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

step "arm64 root"
start=$SECONDS
cached=$(tools/vm/arm64-root.sh)
echo "arm64-test: root $cached ready in $((SECONDS - start)) s"

work=$(mktemp -d /var/tmp/panel-vm-arm64.XXXXXX)
trap 'rm -rf "$work"' EXIT

step "guest disk: the cached root and the package"
start=$SECONDS
root=$work/root
timeout 600 cp -a "$cached" "$root"
cp "$deb" "$root/root/panel.deb"
install -m 755 tests/system/late-display "$root/usr/local/sbin/late-display"
install -D -m 644 tests/system/70-arm64-uarts.rules "$root/etc/udev/rules.d/70-arm64-uarts.rules"
# As tools/vm/system-test.sh gives the amd64 guest: the same package under a higher version, for the
# upgrade over the running panel, and another account's lock on bus 0's port.
dpkg-deb -R "$deb" "$work/repack"
sed -i 's/^Version: .*/&+1/' "$work/repack/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/repack" "$root/var/tmp/panel-upgrade.deb" >/dev/null
rm -rf "$work/repack"
install -D -m 644 tests/system/foreign-lock.conf "$root/etc/tmpfiles.d/foreign-lock.conf"
install -m 644 tests/system/late-display.service "$root/etc/systemd/system/"
mkdir -p "$root/etc/systemd/system/multi-user.target.wants"
ln -s /etc/systemd/system/late-display.service "$root/etc/systemd/system/multi-user.target.wants/"
version=$(ls "$root/lib/modules" | head -n 1)
cp "$root/boot/vmlinuz-$version" "$work/vmlinuz"
echo "initrd modules: $(python3 tools/vm/arm64-initrd.py "$root" "$version" "$work/initrd.img")"
truncate -s 4G "$work/disk.img"
timeout 300 mkfs.ext4 -q -F -L panelroot -d "$root" "$work/disk.img"
rm -rf "$root"
echo "arm64-test: disk made in $((SECONDS - start)) s"

step "install the package at a short first boot"
# dpkg -i in the guest, as on a board. dpkg --root --force-script-chrootless on the host works for
# the package's own scripts, but runs the host's tools, and a trigger the package set off would run
# an arm64 package's script, unaware of DPKG_ROOT, on the host.
start=$SECONDS
timeout 1300 python3 tools/vm/arm64-install-boot.py "$work" "$work/disk.img" "$work/vmlinuz" \
    "$work/initrd.img" 1200 || {
    mkdir -p "$build_dir" && cp "$work/firstboot-console.log" "$build_dir/" || true
    tail -n 40 "$work/firstboot-console.log" || true
    fail "the package was not installed; the guest's console is $build_dir/firstboot-console.log"; }
echo "arm64-test: package installed in $((SECONDS - start)) s"

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
