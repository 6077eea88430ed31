#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the run command need and the
# machine lacks. Safe to run again: it does nothing when everything is there.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config libsystemd-dev
    qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
    fonts-arphic-ukai fonts-arphic-uming fonts-dejavu-core
    xvfb xauth xdotool x11-utils imagemagick util-linux procps
    libxcb1-dev libxcb-damage0-dev
    mosquitto mosquitto-clients libmosquitto-dev
)

"$(dirname "$0")/install-missing.sh" "${packages[@]}"
