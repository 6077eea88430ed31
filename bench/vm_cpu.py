#!/usr/bin/env python3
"""CPU of the panel and of the floor programs on the guest's own framebuffer (linuxfb).

Boots the disk of tools/vm/package-disk.sh, opens the dashboard of bus 0 controller 0 (in alarm in
bench/sixteen.scn) by touches, as bench/run.sh does on Xvfb, and measures the panel's CPU over the
given seconds from the guest's scheduler accounting. Then stops the service and measures the job
floor (/usr/local/bin/panel-job-floor, polling the same simulated controllers on the same UARTs) and
the bare floor (/usr/local/bin/panel-floor) on the same framebuffer. Alternates for the given number
of runs and prints one line per measurement:

    panel|jobfloor|floor RUN PERCENT

With a sixth argument N > 0, then times N rounds of touches per run, each touch to the next screen
fully drawn as /usr/local/bin/panel-fb-watch sees it on the guest's framebuffer: the panel from its
bus control screen to the dashboard, the air conditioner's screen and both returns, against the job
floor switching between two full-screen pictures. One line per touch:

    panel.dashboard|panel.appliance|panel.back-to-dashboard|panel.back-to-bus|jobfloor.forward|jobfloor.back RUN MS
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
# The moves timed from the bus control screen, in turn, and where each one's touch lands.
PANEL_MOVES = [("dashboard", FIRST_TILE), ("appliance", (150, 660)), ("back-to-dashboard", (1270, 215)),
               ("back-to-bus", (1833, 993))]
# Away from the panel's first touch: a touch where the tablet already is moves no pointer, and a
# program started since then would take it where its pointer starts.
JOBFLOOR_MOVES = [("forward", (900, 500)), ("back", (1020, 580))]
# The watcher's settle time; its last third is the settled screen the next touch is compared with.
SETTLE_SECONDS = 3.0


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


def start_panel_at_bus_control(guest):
    guest.run("systemctl start panel.service")
    wait_for("the panel", lambda: main_pid(guest, "panel.service") not in ("", "0"), 60, 1)
    time.sleep(3)
    touch_until(guest, MAIN_MIDDLE, "~~enter Home~~")
    # The bus control screen and the dashboard are made at start-up with the polling, so no debug
    # line tells when they show: a few seconds for each is ample under emulation.
    guest.touch(*HOME_BUS_BUTTON)
    time.sleep(3)


def timed_touches(guest, moves, rounds):
    """(move, ms) of each touch, rounds times through the moves, as the watcher in the guest saw
    them; None for a touch after which the screen did not change."""
    count = rounds * len(moves)
    guest.run(f"setsid /usr/local/bin/panel-fb-watch /dev/fb0 {count} {int(SETTLE_SECONDS * 1000)} "
              ">/run/fb-watch.out 2>&1 </dev/null &")
    # The watcher's first settled screen.
    time.sleep(SETTLE_SECONDS)
    for _ in range(rounds):
        for _, point in moves:
            guest.touch(*point)
            time.sleep(SETTLE_SECONDS + 0.5)
    wait_for("the watcher's last figure",
             lambda: len(guest.run("cat /run/fb-watch.out")[1].split()) >= count, 30, 1)
    figures = guest.run("cat /run/fb-watch.out")[1].split()
    return [(moves[n % len(moves)][0], None if figure == "nochange" else float(figure))
            for n, figure in enumerate(figures[:count])]


def print_touches(who, run, touches):
    for move, ms in touches:
        if ms is not None:
            print(f"{who}.{move} {run} {ms:.1f}", flush=True)


def panel_touches(guest, run, rounds):
    start_panel_at_bus_control(guest)
    time.sleep(5)
    print_touches("panel", run, timed_touches(guest, PANEL_MOVES, rounds))
    guest.run("systemctl stop panel.service")


def panel_run(guest, seconds):
    start_panel_at_bus_control(guest)
    guest.touch(*FIRST_TILE)
    time.sleep(3)
    # Four ticks poll every controller once; a few more let the program settle.
    time.sleep(12)
    percent = cpu_percent(guest, main_pid(guest, "panel.service"), seconds)
    guest.run("systemctl stop panel.service")
    return percent


# Its serial ports' lock files go into a /run/lock of its own, as the panel's unit keeps them: a
# stale one left by root where the panel looks would keep a bus closed.
JOBFLOOR_OPTIONS = "--property=TemporaryFileSystem=/run/lock:mode=1777 "


def start_floor(guest, unit, program, options="", arguments=""):
    guest.run(f"systemd-run --collect --unit={unit} --setenv=QT_QPA_PLATFORM={FLOOR_PLATFORM} "
              f"--setenv=QT_QPA_FB_HIDECURSOR=1 {options}/usr/local/bin/{program} {arguments}")
    wait_for(program, lambda: main_pid(guest, unit) not in ("", "0"), 60, 1)


def floor_run(guest, run, seconds, program="panel-floor", settle=10, options=""):
    # A unit of its own per run: a transient unit's name stays taken until systemd collects it.
    unit = f"{program}-{run}.service"
    start_floor(guest, unit, program, options)
    time.sleep(settle)
    percent = cpu_percent(guest, main_pid(guest, unit), seconds)
    guest.run(f"systemctl stop {unit}")
    return percent


def jobfloor_touches(guest, run, rounds):
    unit = f"panel-job-floor-switch-{run}.service"
    start_floor(guest, unit, "panel-job-floor", JOBFLOOR_OPTIONS, "--switch")
    time.sleep(11)
    print_touches("jobfloor", run, timed_touches(guest, JOBFLOOR_MOVES, rounds * 2))
    guest.run(f"systemctl stop {unit}")


def leave(signum, _frame):
    raise SystemExit(128 + signum)


def main():
    signal.signal(signal.SIGTERM, leave)
    signal.signal(signal.SIGINT, leave)
    work, simulator, scenario, runs, seconds = sys.argv[1:6]
    runs, seconds = int(runs), int(seconds)
    rounds = int(sys.argv[6]) if len(sys.argv) > 6 else 0
    # No seconds: touches only.
    cpu_runs = runs if seconds > 0 else 0
    touch_runs = runs if rounds > 0 else 0
    guest = Guest(work, f"{work}/disk.img", f"{work}/vmlinuz", f"{work}/initrd.img", simulator, scenario,
                  "bench")
    try:
        guest.start()
        guest.connect_agent(240)
        # The service starts at boot; each run starts it afresh, as after a power-up.
        wait_for("the panel started by systemd", lambda: main_pid(guest, "panel.service") not in ("", "0"),
                 120, 1)
        guest.run("systemctl stop panel.service")
        for run in range(1, cpu_runs + 1):
            print(f"panel {run} {panel_run(guest, seconds):.4f}", flush=True)
            # As long as the panel is given to reach its dashboard and settle.
            jobfloor = floor_run(guest, run, seconds, "panel-job-floor", 21, JOBFLOOR_OPTIONS)
            print(f"jobfloor {run} {jobfloor:.4f}", flush=True)
            print(f"floor {run} {floor_run(guest, run, seconds):.4f}", flush=True)
        for run in range(1, touch_runs + 1):
            panel_touches(guest, run, rounds)
            jobfloor_touches(guest, run, rounds)
    except Failure as failure:
        print(f"vm_cpu: {failure}", file=sys.stderr)
        return 1
    finally:
        guest.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
