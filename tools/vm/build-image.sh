#!/usr/bin/env bash
# Builds the guest's root file system from Debian's packages: what a board runs beneath the panel
# (systemd, udev, a kernel, the panel's runtime libraries, the MQTT broker it recommends) plus the guest agent through which the
# system test looks inside. The result is a folder kept under the cache folder, named after a hash
# of this script, so any change to what goes in builds it again.
#
#   tools/vm/build-image.sh            prints the path of the cached root, building it when missing
#   PANEL_VM_CACHE=dir tools/vm/build-image.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

cache=${PANEL_VM_CACHE:-/var/cache/panel-vm}
suite=bookworm
packages=(
    systemd-sysv udev kmod linux-image-amd64 initramfs-tools
    libsystemd0 libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5 libinput10 libmosquitto1
    fonts-arphic-ukai fonts-arphic-uming fonts-dejavu-core
    mosquitto mosquitto-clients
    qemu-guest-agent
)

key=$(sha256sum "$0" | cut -c1-16)
root="$cache/root-amd64-$key"
if [ -d "$root" ]; then
    echo "$root"
    exit 0
fi

tools/install-vm-deps.sh >&2
mkdir -p "$cache"
echo "build-image: building the guest root cold (no $root yet; takes minutes)" >&2
start=$SECONDS
partial="$root.partial"
rm -rf "$partial"
include=$(IFS=,; echo "${packages[*]}")
# A guest has no network: the root's fstab, host name and console are set here once.
timeout 900 mmdebstrap --variant=minbase --format=directory --include="$include" \
    --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
    --dpkgopt='path-exclude=/usr/share/locale/*' \
    --customize-hook='echo panel-vm > "$1/etc/hostname"' \
    --customize-hook='echo "/dev/vda / ext4 rw,errors=remount-ro 0 1" > "$1/etc/fstab"' \
    --customize-hook='chroot "$1" passwd --lock root' \
    "$suite" "$partial" \
    "deb http://deb.debian.org/debian $suite main" \
    "deb http://deb.debian.org/debian $suite-updates main" \
    "deb http://deb.debian.org/debian-security $suite-security main" >&2
mv "$partial" "$root"
# Roots of earlier versions of this script are of no further use.
find "$cache" -mindepth 1 -maxdepth 1 -name 'root-amd64-*' ! -path "$root" -exec rm -rf {} +
echo "build-image: built in $((SECONDS - start)) s" >&2
echo "$root"
