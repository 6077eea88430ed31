#!/usr/bin/env python3
"""CPU of the panel and of the floor programs on the guest's own framebuffer (linuxfb).

Boots the disk of tools/vm/package-disk.sh, opens the dashboard of bus 0 controller 0 (in alarm in
bench/sixteen.scn) by touches, as bench/run.sh does on Xvfb, and measures the panel's CPU over the
given seconds from the guest's scheduler accounting. Then stops the service and measures the job
floor (/usr/local/bin/panel-job-floor, polling the same simulated controllers on the same UARTs) and
the bare floor (/usr/local/bin/panel-floor) on the same framebuffer. Alternates for the given number
of runs and prints one line per measurement:

    panel|jobfloor|floor RUN PERCENT
"""
import os
import signal
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "vm"))
from guest import Guest, Failure, wait_for  # noqa: E402

# Where the touches land: the forms' own coordinates on the 1920x1080 screen.
MAIN_MIDDLE = (960, 540)
HOME_BUS_BUTTON = (1142, 537)
FIRST_TILE = (352, 250)
FLOOR_PLATFORM = "linuxfb:fb=/dev/fb0"


def journal(guest):
    """What the panel's current start has logged."""
    invocation = guest.run("systemctl show -p InvocationID --value panel.service")[1].strip()
    return guest.run(f"journalctl -b _SYSTEMD_INVOCATION_ID={invocation} -o cat --no-pager")[1]


def touch_until(guest, point, line, timeout=60):
    """Touches again every few seconds until the panel logs the line: a touch before the window is
    up goes nowhere."""
    def answered():
        if line in journal(guest):
            return True
        guest.touch(*point)
        return False
    wait_for(line, answered, timeout, 3)


def cpu_percent(guest, pid, seconds):
    """Every thread's run time (schedstat, ns) over the seconds, on the guest's own clock."""
    total = f"cat /proc/{pid}/task/*/schedstat | awk '{{s += $1}} END {{printf \"%.0f\\n\", s}}'"
    _, out = guest.run(f"a=$({total}); sleep {seconds}; b=$({total}); echo $a $b", timeout=seconds + 60)
    before, after = (int(v) for v in out.split())
    return (after - before) / (seconds * 1e7)


def main_pid(guest, service):
    return guest.run(f"systemctl show -p MainPID --value {service}")[1].strip()


def panel_run(guest, seconds):
    guest.run("systemctl start panel.service")
    wait_for("the panel", lambda: main_pid(guest, "panel.service") not in ("", "0"), 60, 1)
    time.sleep(3)
    touch_until(guest, MAIN_MIDDLE, "~~enter Home~~")
    # The bus control screen and the dashboard are made at start-up with the polling, so no debug
    # line tells when they show: a few seconds for each is ample under emulation.
    guest.touch(*HOME_BUS_BUTTON)
    time.sleep(3)
    guest.touch(*FIRST_TILE)
    time.sleep(3)
    # Four ticks poll every controller once; a few more let the program settle.
    time.sleep(12)
    percent = cpu_percent(guest, main_pid(guest, "panel.service"), seconds)
    guest.run("systemctl stop panel.service")
    return percent


def floor_run(guest, run, seconds, program="panel-floor", settle=10, options=""):
    # A unit of its own per run: a transient unit's name stays taken until systemd collects it.
    unit = f"{program}-{run}.service"
    guest.run(f"systemd-run --collect --unit={unit} --setenv=QT_QPA_PLATFORM={FLOOR_PLATFORM} "
              f"--setenv=QT_QPA_FB_HIDECURSOR=1 {options}/usr/local/bin/{program}")
    wait_for(program, lambda: main_pid(guest, unit) not in ("", "0"), 60, 1)
    time.sleep(settle)
    percent = cpu_percent(guest, main_pid(guest, unit), seconds)
    guest.run(f"systemctl stop {unit}")
    return percent


def leave(signum, _frame):
    raise SystemExit(128 + signum)


def main():
    signal.signal(signal.SIGTERM, leave)
    signal.signal(signal.SIGINT, leave)
    work, simulator, scenario, runs, seconds = sys.argv[1:6]
    guest = Guest(work, f"{work}/disk.img", f"{work}/vmlinuz", f"{work}/initrd.img", simulator, scenario,
                  "bench")
    try:
        guest.start()
        guest.connect_agent(240)
        # The service starts at boot; each run starts it afresh, as after a power-up.
        wait_for("the panel started by systemd", lambda: main_pid(guest, "panel.service") not in ("", "0"),
                 120, 1)
        guest.run("systemctl stop panel.service")
        for run in range(1, int(runs) + 1):
            print(f"panel {run} {panel_run(guest, int(seconds)):.4f}", flush=True)
            # As long as the panel is given to reach its dashboard and settle. Its serial ports' lock
            # files go into a /run/lock of its own, as the panel's unit keeps them: a stale one left
            # by root where the panel looks would keep a bus closed.
            jobfloor = floor_run(guest, run, int(seconds), "panel-job-floor", 21,
                                 "--property=TemporaryFileSystem=/run/lock:mode=1777 ")
            print(f"jobfloor {run} {jobfloor:.4f}", flush=True)
            print(f"floor {run} {floor_run(guest, run, int(seconds)):.4f}", flush=True)
    except Failure as failure:
        print(f"vm_cpu: {failure}", file=sys.stderr)
        return 1
    finally:
        guest.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
