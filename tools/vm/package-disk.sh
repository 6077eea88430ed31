#!/usr/bin/env bash
# A guest's disk as a board gets it: a copy of the cached root (tools/vm/build-image.sh), the
# package installed there with dpkg -i in a chroot (maintainer scripts, user, boot link), and the
# display driver left for tests/system/late-display to load once the panel has started. Writes
# WORK/disk.img, WORK/vmlinuz, WORK/initrd.img and WORK/host-rating (systemd-analyze security of the
# unit, rated on the host). Needs root.
#
#   tools/vm/package-disk.sh WORK DEB [FILE DEST]...    also copies each FILE to DEST in the root
set -euo pipefail
cd "$(dirname "$0")/../.."

fail() { echo "package-disk: $*" >&2; exit 1; }
[ $# -ge 2 ] && [ $(($# % 2)) -eq 0 ] || fail "usage: package-disk.sh WORK DEB [FILE DEST]..."
work=$1
deb=$2
shift 2

root=$(tools/vm/build-image.sh)
rm -rf "$work/root"
cp -a "$root" "$work/root"
root=$work/root
cp "$deb" "$root/tmp/panel.deb"
# The display driver comes late on purpose, after the panel would have started: on a fast boot the
# race between the panel and its framebuffer stays hidden.
install -m 755 tests/system/late-display "$root/usr/local/sbin/late-display"
install -m 644 tests/system/late-display.service "$root/etc/systemd/system/"
ln -s /etc/systemd/system/late-display.service "$root/etc/systemd/system/multi-user.target.wants/"
while [ $# -gt 0 ]; do
    install -D "$1" "$root$2"
    shift 2
done
timeout 300 chroot "$root" dpkg -i /tmp/panel.deb >&2
rm "$root/tmp/panel.deb"
[ -L "$root/etc/systemd/system/multi-user.target.wants/panel.service" ] || fail "panel.service not enabled"
grep -q '^panel:' "$root/etc/passwd" || fail "user panel not created"
# What the host's check says about the unit, to compare with the guest's real systemd.
systemd-analyze security --offline=yes --root="$root" panel.service 2>&1 | tail -n 1 \
    | sed -n 's/.*level for panel.service: *\([0-9.]*\).*/\1/p' >"$work/host-rating"
[ -s "$work/host-rating" ] || fail "no security rating on the host"
cp "$(ls "$root"/boot/vmlinuz-* | head -n 1)" "$work/vmlinuz"
cp "$(ls "$root"/boot/initrd.img-* | head -n 1)" "$work/initrd.img"
truncate -s 3G "$work/disk.img"
timeout 300 mkfs.ext4 -q -F -L panelroot -d "$root" "$work/disk.img"
rm -rf "$root"
