#!/usr/bin/env python3
"""The package on a booted system, checked from outside: systemd starts the panel at boot as
user panel once its display has appeared, it draws its start picture without a restart, another
account's lock file does not keep bus 0 closed, the touch screen works after it was unplugged and
plugged in again, touches reach the screens, the four buses are polled, a dashboard switch's frame
arrives, a crash and a hang are followed by a drawn panel again, a restart, an upgrade and a removal
leave the unit not failed, the panel stops when its display card goes away and starts when it comes
back, installing again enables it, a power cut is followed by a drawn panel, the local MQTT broker's
bridge carries the alarms out and a command in,
and the unit's restrictions hold. Then a boot with bus 3's UART missing.

    board_test.py WORK DISK KERNEL INITRD SIMULATOR SCENARIO PICTURES HOST_RATING [SHOT.png]

PICTURES is a folder with start.ppm and air-conditioner.ppm, the screens as the desktop run drew them.
The disk holds /var/tmp/panel-upgrade.deb, the package under a higher version, and another account's
/run/lock/LCK..ttyS2 (tests/system/foreign-lock.conf).

Start-up behaviour (polling from start-up, the alarm board on the start picture, a missing UART that
holds nothing up) is checked with expect(): a miss is reported at once, the other checks go on, and
the test fails at its end. PANEL_VM_ONLY=start-up runs only these (one boot for the alarm board and
the crash, one with the UART missing); PANEL_VM_ONLY=missing-uart the boot with the missing UART alone.

Prints "figure: ..." lines and ends with "board-test: passed" or a "board-test: FAILED" line.
"""
import os
import re
import signal
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "vm"))
from guest import (TIME_FACTOR, Failure, Guest, likeness, near, pixel_share, read_ppm, red_share,  # noqa: E402
                   wait_for, write_png)

START_LIKENESS = 0.97  # the screens as linuxfb draws them against the ones Xvfb drew
POLL = "AA 43 58"
FAN_ON_CONTROLLER_2 = "AA 02 07 01 00 00 FF"
FAN_OFF_CONTROLLER_2 = "AA 02 07 02 00 00 FF"
BROKER_SOCKET = "/run/panel-mqtt/mqtt.sock"
BUILDING_PORT = 1884
BRIDGE_TEMPLATE = os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "mosquitto", "panel-bridge.conf")
# The template's lines for a broker across a network; the guest's building broker is on loopback.
BRIDGE_NETWORK_ONLY = ("bridge_cafile", "bridge_insecure", "bridge_tls_version", "remote_username",
                       "remote_password")
APPLIANCE_WINDOW = (560, 140, 1360, 940)
# The alarm board of the start picture (and of Home): every alarm of the house in red. The desktop
# picture may lack it, so the start picture is compared outside it.
ALARM_BOARD = (560, 820, 1360, 1050)
RED_BOARD_SHARE = 0.5
FAN_SWITCH = (1750, 805)
# The dashboard's link caption: .在线. green, .异常. yellow (the kitchen's smoke), .断线. red.
LINK_CAPTION = (30, 200, 121, 231)
ANSWERING = (near((34, 177, 76)), near((229, 235, 69)))
SILENT = near((204, 10, 0))
CAPTION_SHARE = 0.005  # its letters: a few dozen of the caption box's pixels
# Where a command the panel refused says "... 未发送": the bottom middle, or just above the alarm board.
NOTICE_AREA = (640, 860, 1280, 1040)
NOTICE_SHARE = 0.2
FAN_TOUCHES = 3
UPGRADE = "/var/tmp/panel-upgrade.deb"
# Writable by design: the serial lock files, the private /tmp and /var/tmp and the unit's own
# runtime and cache folders.
WRITABLE = {"/run/lock", "/tmp", "/var/tmp", "/run/panel", "/var/cache/panel"}
PROBED = ["/", "/etc", "/usr", "/var", "/var/lib", "/var/tmp", "/var/log", "/home", "/root", "/opt",
          "/srv", "/boot", "/run", "/dev/shm", "/dev/mqueue"] + sorted(WRITABLE)

figures = []
missed = []


def figure(name, value):
    figures.append((name, value))
    print(f"figure: {name}: {value}", flush=True)


def check(condition, message):
    if not condition:
        raise Failure(message)
    print(f"ok: {message}", flush=True)


def expect(condition, message):
    """A check that goes on after a miss; the test fails at its end."""
    if condition:
        print(f"ok: {message}", flush=True)
    else:
        print(f"MISSED: {message}", flush=True)
        missed.append(message)


def attempt(what, condition, timeout, interval):
    try:
        return wait_for(what, condition, timeout, interval)
    except Failure as failure:
        print(f"({failure})", flush=True)
        return None


def unit(guest):
    _, out = guest.run("systemctl show panel.service -p NRestarts,MainPID,User,ActiveState,Result")
    return dict(line.split("=", 1) for line in out.split())


def journal(guest, options="-u panel.service"):
    return guest.run(f"journalctl -b {options} -o cat --no-pager")[1]


def start_likeness(guest, start):
    return likeness(guest.screendump(), start, exclude=ALARM_BOARD)


def drawn(guest, start):
    return start_likeness(guest, start) >= START_LIKENESS


def guest_clock(guest, command):
    """Seconds on the guest's monotonic clock: a systemd ...TimestampMonotonic property (in us) of
    command's output, and the time now."""
    _, out = guest.run(f"{command}; cut -d' ' -f1 /proc/uptime")
    value, now = out.split()
    return int(value) / 1e6, float(now)


def alarm_board_after_ready(guest, when):
    """Without a touch, the start picture shows the default building's smoke alarm on its board."""
    board = attempt(f"the red alarm board {when}",
                    lambda: red_share(guest.screendump(), ALARM_BOARD) >= RED_BOARD_SHARE, 15, 0.5)
    ready, now = guest_clock(guest, "systemctl show panel.service -p ActiveEnterTimestampMonotonic --value")
    expect(board and now - ready <= 10 * TIME_FACTOR,
           f"the red alarm board on the start picture {now - ready:.1f} s after READY=1, untouched, {when}"
           + ("" if board else " (not seen)"))


def foreign_lock_seen(guest):
    _, owner = guest.run("stat -c %U /run/lock/LCK..ttyS2")
    check(owner.strip() == "nobody", f"another account's LCK..ttyS2 in the host's /run/lock ({owner.strip()})")


def tablet_event(guest):
    _, out = guest.run("for d in /sys/class/input/event*; do "
                       "grep -qs 'USB Tablet' $d/device/name && basename $d; done")
    return out.strip()


def replug_tablet(guest):
    """The touch controller re-enumerates: the panel must take the new device without a restart."""
    pid = unit(guest)["MainPID"]
    wait_for("the tablet in the guest", lambda: tablet_event(guest), 30, 0.5)
    guest.unplug_tablet()
    wait_for("the tablet gone", lambda: not tablet_event(guest), 30, 0.5)
    guest.plug_tablet()
    event = wait_for("the tablet back", lambda: tablet_event(guest), 30, 0.5)
    # A deleted node still held shows as "... (deleted)".
    wait_for(f"the panel opening the plugged-in tablet ({event})",
             lambda: any(line.endswith(f"-> /dev/input/{event}")
                         for line in guest.run(f"ls -l /proc/{pid}/fd")[1].splitlines()), 30, 1)
    print(f"ok: the panel took the tablet plugged in again ({event})", flush=True)


def link_caption(picture):
    if any(pixel_share(picture, LINK_CAPTION, colour, step=1) >= CAPTION_SHARE for colour in ANSWERING):
        return "answering"
    if pixel_share(picture, LINK_CAPTION, SILENT, step=1) >= CAPTION_SHARE:
        return "silent"
    return "unknown"


def notice_shown(picture):
    return pixel_share(picture, NOTICE_AREA, lambda pixel: max(pixel) < 90) >= NOTICE_SHARE


def touch_fan_switch(guest):
    """The dashboard's fan switch puts its frame on the wire. The panel refuses commands to a
    controller it takes for silent, and under emulation it sometimes reads a poll's reply before all
    of it has come through the emulated UART: a broken reply, silent until the controller's next
    poll, four seconds later. So each touch waits for the caption to show the controller answering,
    and only a refusal the screen shows earns another touch; a touch that neither sends nor is
    refused fails at once."""
    def sent():
        return any(f[1] == 0 and f[2] == "rx" and f[3] == FAN_ON_CONTROLLER_2 for f in guest.sim_frames())

    def outcome():
        if sent():
            return "sent"
        return "refused" if notice_shown(guest.screendump()) else None

    for touch in range(1, FAN_TOUCHES + 1):
        wait_for("the dashboard showing its controller answering",
                 lambda: link_caption(guest.screendump()) == "answering", 30, 0.5)
        guest.touch(*FAN_SWITCH)
        touched = time.monotonic() - guest.sim_started
        if wait_for("the fan switch's frame on bus 0, or the panel's notice that it refused it", outcome,
                    15, 0.3) == "sent":
            print(f"ok: the dashboard's fan switch sends {FAN_ON_CONTROLLER_2} on bus 0 (touch {touch})",
                  flush=True)
            figure("touches of the dashboard's fan switch until its frame", touch)
            return
        # What the simulator saw on bus 0 before the refusal: which of the controller's polls it
        # answered, and how.
        print(f"touch {touch} of the fan switch refused (the controller taken for silent); "
              f"bus 0 from 10 s before it:", flush=True)
        for when, _, kind, data in (f for f in guest.sim_frames() if f[1] == 0 and f[0] >= touched - 10):
            print(f"  {when - touched:+7.3f} s {kind} {data}", flush=True)
    raise Failure(f"the fan switch was refused {FAN_TOUCHES} times; its frame never reached bus 0")


def building_bridge(panel_id):
    """The package's bridge template, pointed at the guest's own building broker."""
    with open(BRIDGE_TEMPLATE) as template:
        lines = [line.replace("PANEL_ID", panel_id) for line in template.read().splitlines()
                 if not line.startswith(BRIDGE_NETWORK_ONLY)]
    return "\n".join(f"address 127.0.0.1:{BUILDING_PORT}" if line.startswith("address ") else line
                     for line in lines) + "\n"


def remote_chain(guest):
    """The package's local broker listener, the socket the panel may open, a bridge made from the
    package's template to a second broker standing in for the building's, the kitchen's smoke
    retained there, and a command published there reaching the kitchen's UART."""
    _, sockets = guest.run(f"systemctl is-active mosquitto.service; stat -c '%U:%G %a' {BROKER_SOCKET}")
    check(sockets.split() == ["active", "mosquitto:panel-mqtt", "770"],
          f"the local broker listens on {BROKER_SOCKET}, srwxrwx--- mosquitto:panel-mqtt ({sockets.split()})")
    named = re.search(r"remote link: panel id (\w+)", journal(guest))
    check(named, "the panel names its id in the journal")
    panel_id = named.group(1)

    def retained(topic, where=f"--unix {BROKER_SOCKET}"):
        return guest.run(f"mosquitto_sub {where} -t {topic} -C 1 -W 3")[1].strip()
    wait_for("the panel online on the local broker", lambda: retained(f"panel/{panel_id}/status") == "online", 30, 1)
    print(f"ok: panel {panel_id} online on the local broker", flush=True)

    guest.run(f"printf 'listener {BUILDING_PORT} 127.0.0.1\\nallow_anonymous true\\n' > /run/building.conf && "
              "systemd-run --unit=building-broker -p RuntimeMaxSec=900 mosquitto -c /run/building.conf")
    guest.run(f"cat > /etc/mosquitto/conf.d/bridge.conf <<'EOF'\n{building_bridge(panel_id)}EOF\n"
              "systemctl restart mosquitto.service")
    building = f"-h 127.0.0.1 -p {BUILDING_PORT}"
    wait_for("the panel online on the building broker",
             lambda: retained(f"panel/{panel_id}/status", building) == "online", 60, 1)
    smoke = retained(f"panel/{panel_id}/0/2/alarm/smoke", building)
    check(smoke == "ON", f"the kitchen's smoke is retained on the building broker ({smoke!r})")
    raised = journal(guest, "-u panel.service PANEL_ALARM_EVENT=raised PANEL_ALARM_KIND=smoke")
    check("alarm raised: bus 1, Control - 2, smoke" in raised, "the kitchen's smoke is in the journal's alarm history")

    def sent():
        return any(f[1] == 0 and f[2] == "rx" and f[3] == FAN_OFF_CONTROLLER_2 for f in guest.sim_frames())
    # As for a touch, the panel refuses a command while it takes the controller for silent.
    for attempt_number in range(1, FAN_TOUCHES + 1):
        guest.run(f"mosquitto_pub {building} -q 1 -t panel/{panel_id}/0/2/fan/set -m OFF")
        if attempt("the fan's frame from the building broker on bus 0", sent, 15, 0.3):
            print(f"ok: fan OFF published on the building broker sends {FAN_OFF_CONTROLLER_2} on bus 0 "
                  f"(attempt {attempt_number})", flush=True)
            return
    raise Failure(f"fan OFF was published {FAN_TOUCHES} times on the building broker; its frame never reached bus 0")


def boot_until_drawn(guest, start, label):
    guest.start()
    guest.connect_agent(240)
    print(f"{label}: guest agent answers after {guest.elapsed():.1f} s", flush=True)
    wait_for("the start picture in the framebuffer", lambda: drawn(guest, start), 240, 1)
    return guest.elapsed()


def signal_until_drawn_again(guest, start, pid, signal_name, restarts, restart_deadline, interval):
    """Sends the signal to the panel, waits for systemd's restart and the start picture; returns the
    seconds from the signal to the picture."""
    guest.run(f"kill -{signal_name} {pid}")
    sent = time.monotonic()
    wait_for(f"the restart after SIG{signal_name}",
             lambda: unit(guest)["NRestarts"] == str(restarts) and unit(guest)["ActiveState"] == "active",
             restart_deadline, interval)
    wait_for(f"the start picture after SIG{signal_name}", lambda: drawn(guest, start), 60, 0.5)
    seconds = time.monotonic() - sent
    if signal_name == "SEGV":
        alarm_board_after_ready(guest, "after the crash's restart")
    return seconds


def first_boot(guest, start, air_conditioner, host_rating, shot):
    seconds = boot_until_drawn(guest, start, "boot")
    drawn_at = time.monotonic()
    figure("QEMU start to the start picture in the framebuffer", f"{seconds:.1f} s")
    # The start picture is drawn before the room screens are made, and READY=1 follows them: under
    # emulation that takes seconds.
    wait_for("READY=1 after the start picture", lambda: unit(guest)["ActiveState"] == "active", 30, 1)
    state = unit(guest)
    check(state["User"] == "panel" and state["ActiveState"] == "active",
          f"systemd runs the panel at boot as user panel ({state})")
    _, owner = guest.run(f"stat -c %U /proc/{state['MainPID']}")
    check(owner.strip() == "panel", f"the panel's process runs as {owner.strip()!r}")
    check(state["NRestarts"] == "0", f"start picture drawn without a restart (NRestarts={state['NRestarts']})")
    check("loading bochs" in journal(guest, "-u late-display.service"),
          "the display driver was loaded late, on purpose")
    fb0, _ = guest_clock(guest, "systemctl show dev-fb0.device -p ActiveEnterTimestampMonotonic --value")
    began, _ = guest_clock(guest, "systemctl show panel.service -p ExecMainStartTimestampMonotonic --value")
    check(0 < fb0 < began, f"the panel started {began - fb0:.2f} s after /dev/fb0 appeared, not before")
    alarm_board_after_ready(guest, "at boot")
    foreign_lock_seen(guest)
    replug_tablet(guest)
    _, timing = guest.run("journalctl -b -o short-monotonic --no-pager -u panel.service -u late-display.service "
                          "| grep -E 'loading|Started' | head -n 8")
    print(timing, flush=True)
    ready = re.search(r"\[\s*([0-9.]+)\].*Started panel", timing)
    if ready:
        figure("kernel start to READY=1 (guest clock)", f"{float(ready.group(1)):.1f} s")
    _, analyze = guest.run("systemd-analyze 2>&1 | head -n 1")
    figure("guest boot (systemd-analyze)", analyze.strip())

    # Touches: Home, the bus control screen, a dashboard, an appliance screen.
    # The screens exist from start-up (the bus control screen polls, the first verdict makes the
    # dashboard), so a touch shows as the picture it leaves behind rather than as a "new" line.
    guest.touch(960, 540)
    wait_for("Home", lambda: "~~enter Home~~" in journal(guest), 30, 1)
    wait_for("Home drawn over the start picture", lambda: start_likeness(guest, start) < 0.9, 10, 0.5)
    print("ok: a touch in the middle opens Home", flush=True)
    check(unit(guest)["NRestarts"] == "0", "the tablet plugged in again works without a restart")
    home = guest.screendump()
    guest.touch(1142, 537)
    wait_for("the bus control screen", lambda: likeness(guest.screendump(), home) < 0.9, 30, 0.5)
    opened = guest.elapsed()
    print("ok: Home's button opens the bus control screen", flush=True)

    # Polls: about once a second on each of the four buses.
    def polls(channel):
        return [f[0] for f in guest.sim_frames() if f[1] == channel and f[2] == "rx" and f[3].startswith(POLL)]
    wait_for("six polls on every bus", lambda: all(len(polls(c)) >= 6 for c in range(4)), 60, 1)
    offset = guest.sim_started - guest.started
    for channel in range(4):
        times = polls(channel)
        gaps = sorted(b - a for a, b in zip(times[-6:], times[-5:]))
        median = gaps[len(gaps) // 2]
        check(0.8 <= median <= 1.3, f"bus {channel} polled every {median:.2f} s")
        figure(f"QEMU start to the first poll on bus {channel}", f"{times[0] + offset:.1f} s "
               f"(bus control screen opened by touch at {opened:.1f} s)")
    if shot:
        write_png(guest.screendump(), shot)

    # The kitchen's dashboard (bus 0, controller 2), its fan switch, then an appliance screen.
    bus_control = guest.screendump()
    guest.touch(212 + 70 + 280 * 2 + 70, 150 + 30 + 70)
    wait_for("the dashboard", lambda: likeness(guest.screendump(), bus_control) < 0.9, 30, 0.5)
    print("ok: a controller's tile opens its dashboard", flush=True)
    touch_fan_switch(guest)
    guest.touch(150, 660)
    wait_for("the air-conditioner screen over the dashboard",
             lambda: likeness(guest.screendump(), air_conditioner, APPLIANCE_WINDOW, tolerance=16)
             >= START_LIKENESS, 20, 1)
    print("ok: the air-conditioner tile opens its screen", flush=True)

    # Restrictions on a real systemd.
    _, rating = guest.run("systemd-analyze security panel.service --no-pager 2>&1 | tail -n 1")
    guest_level = re.search(r"level for panel.service:\s*([0-9.]+)", rating)
    check(guest_level and guest_level.group(1) == host_rating,
          f"systemd-analyze security in the guest rates {rating.strip()!r}, the host check {host_rating}")
    pid = unit(guest)["MainPID"]
    guest.run("touch /tmp/outside-the-panels-tmp /var/tmp/outside-the-panels-tmp")
    probe = " ".join(PROBED)
    _, writes = guest.run(
        f"nsenter -t {pid} -m setpriv --reuid=panel --regid=panel --init-groups sh -c '"
        f"for d in {probe}; do f=$d/.panel-write-probe; "
        "if (: > $f) 2>/dev/null; then echo writable $d; rm -f $f; fi; done; "
        "for d in /tmp /var/tmp; do test -e $d/outside-the-panels-tmp && echo shared $d; done'")
    writable = {line.split()[1] for line in writes.splitlines() if line.startswith("writable ")}
    check(writable <= WRITABLE, f"the panel can write only to {sorted(writable)}")
    check("shared" not in writes, "the panel's /tmp and /var/tmp are its own")

    # The arm64 root has no broker: the chain has nothing of the architecture in it, and that root
    # takes half an hour to build again.
    if guest.arch == "amd64":
        remote_chain(guest)

    # The keep-alive: a panel that never said WATCHDOG=1 would have been restarted by now.
    _, watchdog = guest.run("systemctl show panel.service -p WatchdogUSec --value")
    check(watchdog.strip() == "10s", f"the unit's watchdog is {watchdog.strip()}")
    wait_for("15 s of the panel's life", lambda: time.monotonic() - drawn_at > 15, 30, 1)
    check(unit(guest)["NRestarts"] == "0", "the panel outlives its watchdog interval without a restart")

    # A crash: drawn again, restarted once.
    seconds = signal_until_drawn_again(guest, start, pid, "SEGV", restarts=1, restart_deadline=60, interval=0.5)
    figure("SIGSEGV to the start picture drawn again", f"{seconds:.1f} s (RestartSec=2 included)")

    # A hang: only the watchdog can see it.
    guest.touch(960, 540)
    wait_for("Home after the restart", lambda: start_likeness(guest, start) < 0.9, 30, 1)
    pid = unit(guest)["MainPID"]
    seconds = signal_until_drawn_again(guest, start, pid, "STOP", restarts=2, restart_deadline=90, interval=1)
    figure("SIGSTOP to the start picture drawn again", f"{seconds:.1f} s (WatchdogSec=10)")
    check("Watchdog timeout" in journal(guest), "the watchdog, not something else, restarted the hung panel")
    stop_restart_upgrade_reinstall(guest, start)


def failures(guest):
    return journal(guest).count("Failed with result")


def starts(guest):
    return len(re.findall(r"^Started (panel\.service|Wall panel)", journal(guest), re.M))


def is_failed(guest):
    return guest.run("systemctl is-failed panel.service")[1].strip()


def display_away_and_back(guest, start, failed):
    """The display card taken off the bus and found again: the panel stops with it and comes back."""
    _, card = guest.run("readlink -f /sys/class/graphics/fb0/device")
    card = card.strip()
    check("/pci0000:" in card, f"fb0 is the PCI card {card}")
    guest.run(f"echo 1 > {card}/remove")
    wait_for("the panel stopped with its display gone",
             lambda: unit(guest)["ActiveState"] == "inactive" and guest.run("test -e /dev/fb0")[0] != 0,
             30, 0.5)
    guest.run("echo 1 > /sys/bus/pci/rescan")
    wait_for("the panel started again with its display back", lambda: unit(guest)["ActiveState"] == "active",
             60, 0.5)
    wait_for("the start picture with the display back", lambda: drawn(guest, start), 60, 0.5)
    state, now_failed = is_failed(guest), failures(guest)
    check(state == "active" and now_failed == failed,
          "the panel stopped when its display went away and started when it came back, no failure "
          f"(the unit {state!r}, {now_failed - failed} new failures in the journal)")


def stop_restart_upgrade_reinstall(guest, start):
    """A stop by systemd is no failure: restart, upgrade and removal leave the unit not failed."""
    failed = failures(guest)
    guest.run("systemctl restart panel.service")
    wait_for("the panel after systemctl restart", lambda: unit(guest)["ActiveState"] == "active", 60, 0.5)
    state = is_failed(guest)
    check(state == "active" and failures(guest) == failed,
          f"systemctl restart leaves the unit {state!r}, with no failure in the journal")
    wait_for("the start picture after systemctl restart", lambda: drawn(guest, start), 60, 0.5)
    display_away_and_back(guest, start, failed)

    before, started = unit(guest), starts(guest)
    code, out = guest.run(f"dpkg -i {UPGRADE}", timeout=180)
    check(code == 0, f"the upgrade installs ({out.strip().splitlines()[-1:]})")
    wait_for("the panel after the upgrade", lambda: unit(guest)["ActiveState"] == "active", 60, 0.5)
    after = unit(guest)
    state = is_failed(guest)
    check(state == "active" and failures(guest) == failed,
          f"the upgrade leaves the unit {state!r}, with no failure in the journal")
    check(after["MainPID"] != before["MainPID"] and starts(guest) == started + 1,
          f"the upgrade restarted the panel once ({starts(guest) - started} starts)")
    check(after["NRestarts"] == before["NRestarts"], f"the upgrade left NRestarts at {after['NRestarts']}")
    wait_for("the start picture after the upgrade", lambda: drawn(guest, start), 60, 0.5)

    code, out = guest.run("dpkg -r panel", timeout=180)
    state = is_failed(guest)
    check(code == 0 and state != "failed", f"removing the package stops the panel, the unit {state!r}")
    code, out = guest.run(f"dpkg -i {UPGRADE} && sync", timeout=180)
    _, enabled = guest.run("systemctl is-enabled panel.service")
    check(code == 0 and enabled.strip() == "enabled", f"installed again, the unit is {enabled.strip()!r}")


def missing_uart(guest):
    """Bus 3's UART missing: the panel still comes up, stays up and polls the other buses."""
    guest.start()
    guest.connect_agent(240)
    attempt("the panel active with a UART missing", lambda: unit(guest)["ActiveState"] == "active", 90, 1)
    ready = int(guest.run("systemctl show panel.service -p ActiveEnterTimestampMonotonic --value")[1] or 0) / 1e6
    expect(0 < ready <= 60 * TIME_FACTOR, f"READY=1 {ready:.1f} s after boot with bus 3's UART missing"
           if ready else "READY=1 with bus 3's UART missing (never came)")
    wait_for("two minutes of the guest's life",
             lambda: float(guest.run("cut -d' ' -f1 /proc/uptime")[1]) >= 120 * TIME_FACTOR, 240, 2)
    state = unit(guest)
    expect(state["ActiveState"] == "active" and state["NRestarts"] == "0",
           f"two minutes after boot with a UART missing the panel runs without a restart ({state})")
    polled = {f[1] for f in guest.sim_frames() if f[2] == "rx" and f[3].startswith(POLL)}
    expect({0, 1, 2} <= polled, f"buses {sorted(polled)} polled, untouched, with bus 3's UART missing")


def start_up_only(guest, start):
    boot_until_drawn(guest, start, "boot")
    alarm_board_after_ready(guest, "at boot")
    signal_until_drawn_again(guest, start, unit(guest)["MainPID"], "SEGV", restarts=1, restart_deadline=60,
                             interval=0.5)


def after_power_cut(guest, start):
    seconds = boot_until_drawn(guest, start, "boot after the power cut")
    figure("after a power cut: QEMU start to the start picture", f"{seconds:.1f} s")
    state = unit(guest)
    check(state["NRestarts"] == "0" and state["User"] == "panel",
          f"after the power cut the panel is back without a restart ({state})")


def leave(signum, _frame):
    # The step's time limit sends TERM: unwind, so that QEMU and the simulator are stopped.
    raise SystemExit(128 + signum)


def main():
    signal.signal(signal.SIGTERM, leave)
    signal.signal(signal.SIGINT, leave)
    work, disk, kernel, initrd, simulator, scenario, pictures, host_rating = sys.argv[1:9]
    shot = sys.argv[9] if len(sys.argv) > 9 else None
    start = read_ppm(os.path.join(pictures, "start.ppm"))
    air_conditioner = read_ppm(os.path.join(pictures, "air-conditioner.ppm"))
    began = time.monotonic()
    arch = os.environ.get("PANEL_VM_ARCH", "amd64")
    only = os.environ.get("PANEL_VM_ONLY", "")
    guest = Guest(work, disk, kernel, initrd, simulator, scenario, "boot1", arch)
    try:
        if only == "start-up":
            start_up_only(guest, start)
            guest.stop()
        elif only != "missing-uart":
            first_boot(guest, start, air_conditioner, host_rating, shot)
            cut = time.monotonic()
            guest.power_cut()
            print(f"ok: power cut, QEMU killed {time.monotonic() - cut:.1f} s later", flush=True)
            guest.stop()
            guest = Guest(work, disk, kernel, initrd, simulator, scenario, "boot2", arch)
            after_power_cut(guest, start)
            guest.stop()
        if arch == "amd64":
            guest = Guest(work, disk, kernel, initrd, simulator, scenario, "boot3", arch, missing_uart=True)
            missing_uart(guest)
        if missed:
            raise Failure(f"{len(missed)} start-up checks missed: " + "; ".join(missed))
    except Failure as failure:
        print(f"board-test: FAILED: {failure}", flush=True)
        try:
            write_png(guest.screendump(), os.path.join(work, "failure.png"))
            with open(os.path.join(work, "failure-journal.log"), "w") as out:
                out.write(guest.run("journalctl -b -o short-monotonic --no-pager")[1])
        except Exception as error:  # what is left to see after a failure is a bonus, not the verdict
            print(f"board-test: no picture or journal of the failure: {error}", flush=True)
        return 1
    finally:
        guest.stop()
    figure("booted-system test", f"{time.monotonic() - began:.0f} s")
    print("board-test: passed", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
