#!/usr/bin/env python3
"""Boots the arm64 guest once with tests/system/arm64-firstboot as PID 1 (it installs what the root
holds for it and powers off) and says whether everything was installed.

    arm64-install-boot.py WORK DISK KERNEL INITRD DEADLINE_S

The guest's console is WORK/firstboot-console.log; its "firstboot:" lines are printed.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
from guest import Guest, wait_for  # noqa: E402

work, disk, kernel, initrd, deadline = sys.argv[1:6]
# Nothing listens on the buses here: the simulator's place is taken by a program that ends at once.
guest = Guest(work, disk, kernel, initrd, "true", "/dev/null", "firstboot", "arm64")
try:
    guest.start("panel.init=/usr/local/sbin/firstboot")
    wait_for("the first boot to power off", lambda: guest.qemu.poll() is not None, int(deadline), 2)
finally:
    guest.stop()
with open(guest.console, errors="replace") as console:
    lines = [line.strip() for line in console if "firstboot:" in line]
print("\n".join(lines))
sys.exit(0 if any(line.startswith("firstboot: done 0") for line in lines) else 1)
