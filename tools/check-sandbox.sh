#!/usr/bin/env bash
# Runs the real panel in a sandbox like the one panel.service gives it, and checks that it still
# opens its four serial ports and keeps running: an unprivileged user in dialout and video, no new
# privileges and no capabilities, the file system read-only but for /run/lock and a private /tmp,
# no network, and the unit's own system-call filter, address families and write-or-execute rule.
# The display is the offscreen platform, the ports are pseudo-terminals behind /dev/ttyS2, 4, 5
# and 7 in a private /dev; a private network namespace stands in for IPAddressDeny=any. Needs root
# (namespaces), not systemd. What it cannot show: linuxfb, touch, the console and the device allow
# list, which need the board.
#
#   tools/check-sandbox.sh [path/to/panel]      default: build/panel
set -euo pipefail
cd "$(dirname "$0")/.."

panel=$(realpath "${1:-build/panel}")
[ -x "$panel" ] || { echo "check-sandbox: no panel at $panel" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "check-sandbox: needs root for its namespaces" >&2; exit 1; }
tools/install-missing.sh python3-minimal python3-seccomp

work=$(mktemp -d "${TMPDIR:-/tmp}/panel-sandbox.XXXXXX")
holder_pid=""
cleanup() {
    [ -n "$holder_pid" ] && kill "$holder_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The far ends of the four buses: pseudo-terminals whose slave side dialout may open, as a real
# /dev/ttyS* allows.
mkfifo "$work/ready"
/usr/bin/python3 -c '
import grp, os, signal, sys
dialout = grp.getgrnam("dialout").gr_gid
masters = []
for _ in range(4):
    master, slave = os.openpty()
    name = os.ttyname(slave)
    os.chown(name, 0, dialout)
    os.chmod(name, 0o660)
    os.close(slave)
    masters.append(master)
    print(name)
sys.stdout.flush()
os.close(1)
signal.pause()
' >"$work/ready" &
holder_pid=$!
slaves=()
exec 3<"$work/ready"
while [ ${#slaves[@]} -lt 4 ] && read -r -t 10 -u 3 slave; do
    slaves+=("$slave")
done
exec 3<&-
[ ${#slaves[@]} -eq 4 ] || { echo "check-sandbox: no pseudo-terminals" >&2; exit 1; }

# Inside a private mount, network, IPC and UTS namespace: the sandbox, then the panel dropped to
# nobody with the supplementary groups the unit's user has, under the unit's system-call filter and
# write-or-execute rule (tools/sandbox-exec.py). Everything on the way execs into the panel, so the
# background job's pid is the panel's.
unshare --mount --net --ipc --uts --propagation private bash -s -- \
    "$panel" "$work" "${slaves[@]}" <<'SANDBOX' &
set -euo pipefail
panel=$1 work=$2
shift 2

# A private /dev holding what a program needs and the four bus ports.
mkdir -p "$work/dev"
mount -t tmpfs -o mode=755 tmpfs "$work/dev"
for node in null zero full random urandom tty ptmx; do
    touch "$work/dev/$node"
    mount --bind "/dev/$node" "$work/dev/$node"
done
mkdir "$work/dev/pts" "$work/dev/shm"
mount --rbind /dev/pts "$work/dev/pts"
mount -t tmpfs -o mode=1777 tmpfs "$work/dev/shm"
ln -s "$1" "$work/dev/ttyS2"
ln -s "$2" "$work/dev/ttyS4"
ln -s "$3" "$work/dev/ttyS5"
ln -s "$4" "$work/dev/ttyS7"
mount --move "$work/dev" /dev

# RuntimeDirectory=panel and the private /run/lock (TemporaryFileSystem=) on a read-only /run.
mount -t tmpfs -o mode=755 tmpfs /run
install -d -m 1777 /run/lock
install -d -o nobody -m 700 /run/panel
# Copies the user can reach whatever the folders above the checkout allow, and that stay in
# sight when /tmp (where a checkout may live) is covered below.
install -m 755 "$panel" /run/panel/panel
install -m 644 tools/sandbox-exec.py packaging/panel.service /run/panel/
mount -o remount,bind,ro /run
mount --bind /run/lock /run/lock
mount --bind /run/panel /run/panel
# ProtectSystem=strict, PrivateTmp, ProtectHome.
mount -o remount,bind,ro /
mount -t tmpfs -o mode=1777 tmpfs /tmp
for home in /home /root; do
    if [ -d "$home" ]; then mount -t tmpfs -o ro,mode=755 tmpfs "$home"; fi
done

exec env -i PATH=/usr/bin:/bin HOME=/nonexistent LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    XDG_RUNTIME_DIR=/run/panel XDG_CACHE_HOME=/run/panel/cache \
    /usr/bin/python3 /run/panel/sandbox-exec.py /run/panel/panel.service nobody dialout,video /run/panel/panel
SANDBOX
panel_pid=$!

open_ports() {
    local count=0 slave
    for slave in "${slaves[@]}"; do
        if ls -l "/proc/$panel_pid/fd" 2>/dev/null | grep -q -- "-> $slave\$"; then
            count=$((count + 1))
        fi
    done
    echo "$count"
}
status=1
for _ in $(seq 1 100); do
    if ! kill -0 "$panel_pid" 2>/dev/null; then
        echo "check-sandbox: the panel stopped in the sandbox" >&2
        break
    fi
    if [ "$(open_ports)" -eq 4 ]; then
        status=0
        break
    fi
    sleep 0.2
done
# What the kernel says about the running panel: the user, no capabilities, no new privileges,
# a system-call filter.
sandboxed=0
if [ "$status" -eq 0 ]; then
    grep -E '^(Uid|Groups|CapEff|NoNewPrivs|Seccomp):' "/proc/$panel_pid/status"
    awk -v nobody="$(id -u nobody)" '
        $1 == "Uid:" && $2 == nobody && $3 == nobody { ok++ }
        $1 == "CapEff:" && $2 ~ /^0+$/ { ok++ }
        $1 == "NoNewPrivs:" && $2 == 1 { ok++ }
        $1 == "Seccomp:" && $2 == 2 { ok++ }
        END { exit ok == 4 ? 0 : 1 }' "/proc/$panel_pid/status" && sandboxed=1
fi
kill "$panel_pid" 2>/dev/null || true
wait "$panel_pid" 2>/dev/null || true
[ "$sandboxed" -eq 1 ] || [ "$status" -ne 0 ] || { echo "check-sandbox: the panel ran outside its sandbox" >&2; exit 1; }
[ "$status" -eq 0 ] || { echo "check-sandbox: the panel did not open its four ports in the sandbox" >&2; exit 1; }
echo "check-sandbox: the panel runs as an unprivileged user without network on a read-only system and opens its four ports"
