#!/usr/bin/env bash
# Installs from Debian's packages what the booted-system test needs on the host: the emulator, the
# root file system builder and the ext4 tools (with "arm64", the arm64 emulator too). Safe to run
# again: it does nothing when everything is there.
set -euo pipefail

packages=(
    qemu-system-x86 mmdebstrap e2fsprogs python3-minimal
)
# tools/vm/arm64-test.sh also boots an arm64 guest.
[ "${1:-}" = arm64 ] && packages+=(qemu-system-arm)

"$(dirname "$0")/install-missing.sh" "${packages[@]}"
