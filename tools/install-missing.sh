#!/usr/bin/env bash
# Installs from Debian's packages those of the named packages that the machine lacks; does nothing,
# not even a look at the package lists, when it has them all. Every install script and check calls
# it, so that a fresh machine gets what they need.
#
#   tools/install-missing.sh PACKAGE...      (names may carry an architecture: qtbase5-dev:arm64)
set -euo pipefail

missing=()
for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
