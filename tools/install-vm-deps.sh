#!/usr/bin/env bash
# Installs from Debian's packages what the booted-system test needs on the host: the emulator,
# the root file system builder and the ext4 tools (with "arm64", the arm64 emulator too). Safe to run again: it does nothing when
# everything is there.
set -euo pipefail

packages=(
    qemu-system-x86 mmdebstrap e2fsprogs python3-minimal
)
# tools/vm/arm64-test.sh also boots an arm64 guest.
[ "${1:-}" = arm64 ] && packages+=(qemu-system-arm)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
