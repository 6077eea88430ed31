#!/usr/bin/python3
"""Starts a program the way a systemd unit's process is left after its sandbox is set up: as the given
user with the given supplementary groups, no new privileges, the unit's SystemCallFilter= and
RestrictAddressFamilies= and, when the unit says MemoryDenyWriteExecute=yes, no memory that is
writable and executable. The system-call groups are expanded by systemd-analyze itself, so they mean
what they mean to systemd.

usage: sandbox-exec.py UNIT USER GROUP[,GROUP...] PROGRAM [ARG...]   (run as root)
"""
import ctypes
import errno
import functools
import grp
import os
import pwd
import socket
import subprocess
import sys

import seccomp

PR_SET_MDWE = 65
PR_MDWE_REFUSE_EXEC_GAIN = 1
# systemd lets these through whatever the filter says.
IMPLICITLY_ALLOWED = {"execve", "exit", "exit_group", "getrlimit", "rt_sigreturn", "sigreturn",
                      "clock_gettime", "clock_getres", "clock_nanosleep", "gettimeofday",
                      "nanosleep", "time"}


@functools.lru_cache(maxsize=None)
def system_calls(name):
    if not name.startswith("@"):
        return frozenset([name])
    listing = subprocess.run(["systemd-analyze", "syscall-filter", name], check=True,
                             capture_output=True, text=True).stdout.splitlines()
    calls = set()
    for line in listing[1:]:
        entry = line.strip()
        if entry and not entry.startswith("#"):
            calls |= system_calls(entry)
    return frozenset(calls)


class UnitSettings:
    def __init__(self, path):
        self.filters = []
        self.families = None
        self.deny_write_execute = False
        self.error = errno.EPERM
        with open(path) as unit:
            for line in unit:
                self.take(*line.strip().partition("=")[::2])

    def take(self, key, value):
        if key == "SystemCallFilter":
            self.filters.append(value)
        elif key == "SystemCallErrorNumber":
            self.error = getattr(errno, value)
        elif key == "MemoryDenyWriteExecute":
            self.deny_write_execute = value == "yes"
        elif key == "RestrictAddressFamilies":
            if value.startswith("~"):
                sys.exit("sandbox-exec: only allow-listed address families are supported")
            self.families = [getattr(socket, family) for family in value.split()]


def allowed_calls(filters):
    allowed = None
    for value in filters:
        deny = value.startswith("~")
        calls = set().union(*(system_calls(name) for name in value.lstrip("~").split()))
        if allowed is None:
            if deny:
                sys.exit("sandbox-exec: only allow-list filters are supported")
            allowed = calls
        elif deny:
            allowed -= calls
        else:
            allowed |= calls
    return None if allowed is None else allowed | IMPLICITLY_ALLOWED


def drop_to(user, groups):
    account = pwd.getpwnam(user)
    os.setgroups([grp.getgrnam(group).gr_gid for group in groups])
    os.setgid(account.pw_gid)
    os.setuid(account.pw_uid)


def deny_write_execute_memory():
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_MDWE, PR_MDWE_REFUSE_EXEC_GAIN, 0, 0, 0) != 0:
        sys.exit("sandbox-exec: PR_SET_MDWE: " + os.strerror(ctypes.get_errno()))


def load_filter(allowed, error, families):
    syscall_filter = seccomp.SyscallFilter(defaction=seccomp.ERRNO(error))
    for call in sorted(allowed - {"socket"}):
        try:
            syscall_filter.add_rule(seccomp.ALLOW, call)
        except (RuntimeError, ValueError):
            pass  # not a system call of this architecture
    if "socket" in allowed:
        if families is None:
            syscall_filter.add_rule(seccomp.ALLOW, "socket")
        else:
            for family in families:
                syscall_filter.add_rule(seccomp.ALLOW, "socket", seccomp.Arg(0, seccomp.EQ, family))
    syscall_filter.load()  # also sets no-new-privileges


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    unit, user, groups, program = sys.argv[1], sys.argv[2], sys.argv[3].split(","), sys.argv[4:]
    settings = UnitSettings(unit)
    allowed = allowed_calls(settings.filters)
    drop_to(user, groups)
    if settings.deny_write_execute:
        deny_write_execute_memory()
    if allowed is None:
        sys.exit("sandbox-exec: the unit has no SystemCallFilter=")
    load_filter(allowed, settings.error, settings.families)
    os.execv(program[0], program)


if __name__ == "__main__":
    main()
