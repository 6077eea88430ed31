#!/usr/bin/env bash
# Installs from Debian's packages what the arm64 cross build and its emulated tests need: the arm64
# architecture for dpkg, the cross compiler, Qt, libsystemd and libmosquitto for arm64 (with pkgconf:arm64 for
# aarch64-linux-gnu-pkg-config) and the user-mode emulator. Safe to run
# again: it does nothing when everything is there. Installing the arm64 Qt may bring some amd64
# shared libraries up to the same version.
set -euo pipefail

packages=(
    g++-aarch64-linux-gnu pkg-config
    qtbase5-dev:arm64 libqt5serialport5-dev:arm64 libsystemd-dev:arm64 libmosquitto-dev:arm64 pkgconf:arm64
    qemu-user-static file
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

dpkg --print-foreign-architectures | grep -qx arm64 || $sudo dpkg --add-architecture arm64

"$(dirname "$0")/install-missing.sh" "${packages[@]}"
