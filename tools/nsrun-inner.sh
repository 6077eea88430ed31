#!/usr/bin/env bash
# The part of tools/nsrun.sh that runs inside the private mount namespace: builds the new /dev in a
# staging tmpfs, moves it over /dev, gives the serial locks a private directory and runs the program
# without any privilege.
#
#   nsrun-inner.sh STAGING_DIR PTY0 PTY1 PTY2 PTY3 PROGRAM [ARGS]...
set -e
stage=$1; shift
ports=("$1" "$2" "$3" "$4"); shift 4
mount -t tmpfs -o mode=755,nosuid nsrun-dev "$stage"
for node in null zero random urandom tty ptmx; do
    : >"$stage/$node"
    mount --bind "/dev/$node" "$stage/$node"
done
mkdir "$stage/pts" "$stage/shm"
mount --rbind /dev/pts "$stage/pts"
mount --rbind /dev/shm "$stage/shm"
ln -s /proc/self/fd "$stage/fd"
ln -s /proc/self/fd/0 "$stage/stdin"
ln -s /proc/self/fd/1 "$stage/stdout"
ln -s /proc/self/fd/2 "$stage/stderr"
names=(ttyS2 ttyS4 ttyS5 ttyS7)
for i in 0 1 2 3; do ln -s "${ports[$i]}" "$stage/${names[$i]}"; done
# A move is refused inside a user namespace; a recursive bind works for root and users alike.
mount --rbind "$stage" /dev
umount -l "$stage"
covered=""
for dir in /var/lock /run/lock; do
    if [ -d "$dir" ]; then
        dir=$(realpath "$dir")
        if [ "$dir" != "$covered" ]; then
            mount -t tmpfs -o mode=1777 nsrun-lock "$dir"
            covered=$dir
        fi
    fi
done
# The namespace needed root (or a user namespace's root); the program needs none of it. Started by
# root it would otherwise run with every capability, in a user namespace with those of that
# namespace. Dropped here for good: no capabilities in any set, none regained by exec as uid 0
# (securebits noroot, locked), no new privileges. The user stays the one who started the run, so
# the simulator's pseudo-terminals and the X display remain the program's to open.
exec setpriv --no-new-privs --inh-caps=-all --ambient-caps=-all --bounding-set=-all \
    --securebits=+noroot,+noroot_locked,+no_setuid_fixup,+no_setuid_fixup_locked,+keep_caps_locked \
    -- "$@"
