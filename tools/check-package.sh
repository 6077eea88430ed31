#!/usr/bin/env bash
# Builds the Debian package of the native build, shows and checks what it holds and depends on,
# installs it into a throw-away root (dpkg --root, maintainer scripts included), checks the service
# there with systemd-analyze and removes the package again.
#
#   tools/check-package.sh          uses the build folder of ./test.sh
#   BUILD_DIR=dir tools/check-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build}

fail() { echo "check-package: $*" >&2; exit 1; }
step() { printf '\n== %s (%s)\n' "$1" "$(date +%T)"; }

tools/install-deps.sh
# systemd-analyze and systemd-sysusers; they work without systemd running, as in a container.
tools/install-missing.sh systemd

step "package from $build_dir"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake --preset default -B "$build_dir" >/dev/null
fi
cmake --build "$build_dir" -j 2 --target panel
rm -f "$build_dir"/panel_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
arch=$(dpkg --print-architecture)
deb=$(ls "$build_dir"/panel_*_"$arch".deb)

step "dpkg-deb -I $deb"
dpkg-deb -I "$deb"
step "dpkg-deb -c $deb"
contents=$(dpkg-deb -c "$deb")
echo "$contents"

step "check the package"
broker_files=(./etc/mosquitto/conf.d/panel.conf ./etc/systemd/system/mosquitto.service.d/panel.conf)
for path in ./usr/bin/panel ./usr/lib/systemd/system/panel.service ./usr/lib/sysusers.d/panel.conf \
    "${broker_files[@]}" ./usr/share/doc/panel/examples/panel-bridge.conf; do
    grep -q " $path\$" <<<"$contents" || fail "$path is missing from the package"
done
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "wrong architecture"
depends=$(dpkg-deb -f "$deb" Depends)
required=(libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5 libmosquitto1
          fonts-arphic-ukai fonts-arphic-uming fonts-dejavu-core systemd)
for package in "${required[@]}"; do
    grep -Eq "(^|[ ,|])$package( |,|\$)" <<<"$depends" || fail "Depends lacks $package"
done
dpkg-deb -f "$deb" Recommends | grep -Eq '(^|[ ,])mosquitto( |,|$)' || fail "Recommends lacks mosquitto"
conffiles=$(dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles)
for path in "${broker_files[@]}"; do
    grep -qx "${path#.}" <<<"$conffiles" || fail "${path#.} is not a conffile"
done
echo "contents, architecture, dependencies and conffiles as expected"

step "install into a throw-away root"
root=$(mktemp -d "${TMPDIR:-/tmp}/panel-root.XXXXXX")
trap 'rm -rf "$root" "$root.repack" "$root.upgrade.deb"' EXIT
mkdir -p "$root/etc" "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/usr/lib/systemd"
touch "$root/var/lib/dpkg/available"
# The root's users and groups start as this machine's, so that dialout and video keep their ids.
cp /etc/passwd /etc/group /etc/shadow /etc/gshadow "$root/etc/"
# Its package database holds only what the panel depends on, taken from this machine, so that dpkg
# checks the dependencies by name without force.
status_of() { dpkg-query -s "$1:$arch" 2>/dev/null || dpkg-query -s "$1"; }
for package in libc6 libstdc++6 libsystemd0 "${required[@]}"; do
    status_of "$package" >>"$root/var/lib/dpkg/status" || fail "$package is not installed here"
    echo >>"$root/var/lib/dpkg/status"
    touch "$root/var/lib/dpkg/info/$package.list" "$root/var/lib/dpkg/info/$package:$arch.list"
done
# The targets the unit hooks into, for systemd-analyze.
cp -a /usr/lib/systemd/system "$root/usr/lib/systemd/"

# Without chroot the maintainer scripts run with DPKG_ROOT set and work on the root.
dpkg --root="$root" --force-script-chrootless -i "$deb"

step "check the installed package"
[ -x "$root/usr/bin/panel" ] || fail "panel not installed"
grep -q '^panel:' "$root/etc/passwd" || fail "user panel not created"
for group in dialout video input panel-mqtt; do
    grep -Eq "^$group:[^:]*:[^:]*:(.*,)?panel(,|\$)" "$root/etc/group" || fail "panel is not in $group"
done
[ -L "$root/etc/systemd/system/multi-user.target.wants/panel.service" ] || fail "panel.service not enabled"
grep '^panel:' "$root/etc/passwd"
grep -E "^(dialout|video|input|panel-mqtt):" "$root/etc/group"
echo "user, groups and boot link in place"

step "systemd-analyze verify panel.service"
# verify only warns about unknown keys and bad values, so any output counts as a failure.
verify_output=$(systemd-analyze verify --root="$root" panel.service 2>&1) || fail "verify: $verify_output"
[ -z "$verify_output" ] || fail "verify: $verify_output"
echo "no findings"

step "systemd-analyze security panel.service"
# The threshold is in tenths of the printed level: weakening the hardening past 2.0 fails.
systemd-analyze security --offline=yes --root="$root" --threshold=20 panel.service 2>&1 | tail -n 1

step "remove, install again, upgrade in the throw-away root"
# As debhelper's scripts behave: enabled on every installation unless the administrator disabled it.
links() { find "$root/etc/systemd/system" -name panel.service -type l -path '*.wants/*' | sort; }
dpkg --root="$root" --force-script-chrootless -r panel
for path in "${broker_files[@]}"; do
    [ -f "$root/${path#./}" ] || fail "removing took the conffile ${path#.}"
done
dpkg --root="$root" --force-script-chrootless -i "$deb"
[ -L "$root/etc/systemd/system/multi-user.target.wants/panel.service" ] || fail "not enabled when installed again"
[ ! -e "$root/etc/systemd/system/panel.service" ] || fail "still masked when installed again"
# The same package under a higher version stands in for the next release.
repack="$root.repack"
dpkg-deb -R "$deb" "$repack"
sed -i 's/^Version: .*/&+1/' "$repack/DEBIAN/control"
dpkg-deb --root-owner-group -b "$repack" "$root.upgrade.deb" >/dev/null
rm -rf "$repack"
systemctl --root="$root" disable panel.service
dpkg --root="$root" --force-script-chrootless -i "$root.upgrade.deb"
rm -f "$root.upgrade.deb"
[ -z "$(links)" ] || fail "an upgrade enabled what the administrator disabled: $(links)"
systemctl --root="$root" enable panel.service
dpkg --root="$root" --force-script-chrootless -i "$deb"
[ -n "$(links)" ] || fail "a downgrade disabled what the administrator enabled"
echo "enabled when installed again, left disabled over an upgrade when disabled by hand"

step "purge from the throw-away root"
dpkg --root="$root" --force-script-chrootless -P panel
[ ! -e "$root/usr/bin/panel" ] || fail "panel left behind"
left=$(find "$root/etc/systemd" "$root/etc/mosquitto" "$root/var/lib/systemd" "$root/var/cache" -name '*panel*' \
    2>/dev/null || true)
[ -z "$left" ] || fail "left behind: $left"
echo "removed cleanly"
step "done: $deb"
