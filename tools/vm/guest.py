"""One boot of the guest: QEMU with the board's devices, its QMP and guest-agent sockets, the
controller simulator on the four bus UARTs, and pictures of its framebuffer.

Every wait has a deadline; QEMU and the simulator are stopped by their own pids on every path.
"""
import base64
import json
import os
import signal
import socket
import subprocess
import time


class Failure(Exception):
    pass


# Emulating another architecture is slower: PANEL_VM_TIME_FACTOR stretches every deadline.
TIME_FACTOR = float(os.environ.get("PANEL_VM_TIME_FACTOR", "1"))


def wait_for(what, condition, timeout, interval=0.5):
    """Polls condition until it returns something true, or fails after timeout seconds."""
    timeout *= TIME_FACTOR
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class JsonChannel:
    """Line-delimited JSON over a unix socket (QMP and the guest agent speak it alike)."""

    def __init__(self, path, timeout):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(timeout)
        self.sock.connect(path)
        self.buffer = b""

    def send(self, message):
        self.sock.sendall(json.dumps(message).encode() + b"\n")

    def receive(self):
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise Failure("socket closed")
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        # The guest agent may precede a reply with 0xff after a sync.
        line = line.lstrip(b"\xff").strip()
        return json.loads(line) if line else None

    def close(self):
        self.sock.close()


class Qmp(JsonChannel):
    def __init__(self, path):
        super().__init__(path, 60)
        self.receive()  # greeting
        self.command("qmp_capabilities")

    def command(self, name, **arguments):
        self.send({"execute": name, "arguments": arguments})
        while True:
            reply = self.receive()
            if reply is None or "event" in reply:
                continue
            if "error" in reply:
                raise Failure(f"QMP {name}: {reply['error']}")
            return reply["return"]


class Agent(JsonChannel):
    """The guest agent: runs a command in the guest and returns what it printed."""

    def __init__(self, path):
        super().__init__(path, 5)
        self.sync_id = 0

    def sync(self):
        self.sync_id += 1
        self.buffer = b""
        self.send({"execute": "guest-sync-delimited", "arguments": {"id": self.sync_id}})
        while True:
            reply = self.receive()
            if reply and reply.get("return") == self.sync_id:
                return True

    def call(self, name, **arguments):
        self.send({"execute": name, "arguments": arguments})
        while True:
            reply = self.receive()
            if reply is None:
                continue
            if "error" in reply:
                raise Failure(f"guest agent {name}: {reply['error']}")
            return reply["return"]

    def run(self, command, timeout=60):
        pid = self.call("guest-exec", path="/bin/sh", arg=["-c", command],
                        **{"capture-output": True})["pid"]
        status = wait_for(f"guest command {command!r}",
                          lambda: (lambda s: s if s.get("exited") else None)(
                              self.call("guest-exec-status", pid=pid)),
                          timeout, interval=0.2)
        out = base64.b64decode(status.get("out-data", "")).decode(errors="replace")
        err = base64.b64decode(status.get("err-data", "")).decode(errors="replace")
        return status.get("exitcode", -1), out + err


class Guest:
    WIDTH, HEIGHT = 1920, 1080
    TABLET = "touch"

    def __init__(self, work, disk, kernel, initrd, simulator, scenario, name, arch="amd64",
                 missing_uart=False):
        self.arch = arch
        # A board whose bus 3 UART is missing: no ttyS7 behind the node.
        self.missing_uart = missing_uart
        self.work, self.disk, self.kernel, self.initrd = work, disk, kernel, initrd
        self.simulator, self.scenario, self.name = simulator, scenario, name
        self.qemu = None
        self.sim = None
        self.qmp = None
        self.agent = None
        self.started = None
        self.sim_started = None
        self.sim_log = os.path.join(work, f"{name}-sim.log")
        self.console = os.path.join(work, f"{name}-console.log")

    def path(self, leaf):
        return os.path.join(self.work, f"{self.name}-{leaf}")

    def start(self, append_extra=""):
        qmp_path, agent_path = self.path("qmp.sock"), self.path("qga.sock")
        for stale in (qmp_path, agent_path):
            if os.path.exists(stale):
                os.unlink(stale)
        binary, machine = self.machine(append_extra)
        command = ["timeout", "--signal=KILL", str(int(1800 * TIME_FACTOR)), binary,
            "-chardev", f"file,id=con,path={self.console}",
            "-chardev", "pty,id=bus0", "-chardev", "pty,id=bus1", "-chardev", "pty,id=bus2",
            "-chardev", "pty,id=bus3",
            "-chardev", "null,id=spare0", "-chardev", "null,id=spare1", "-chardev", "null,id=spare3",
            "-chardev", "null,id=spare6"] + machine + [
            "-device", f"bochs-display,xres={self.WIDTH},yres={self.HEIGHT}",
            "-device", "qemu-xhci", "-device", f"usb-tablet,id={self.TABLET}",
            "-chardev", f"socket,id=qga,path={agent_path},server=on,wait=off",
            "-device", "virtio-serial", "-device", "virtserialport,chardev=qga,name=org.qemu.guest_agent.0",
            "-qmp", f"unix:{qmp_path},server=on,wait=off",
        ]
        self.started = time.monotonic()
        self.qemu = subprocess.Popen(command, stdout=open(self.path("qemu.out"), "w"),
                                     stderr=subprocess.STDOUT, start_new_session=True)
        wait_for("the QMP socket", lambda: os.path.exists(qmp_path) or self.qemu.poll() is not None, 30, 0.1)
        if self.qemu.poll() is not None:
            raise Failure(f"qemu ended at once: {open(self.path('qemu.out')).read()}")
        self.qmp = Qmp(qmp_path)
        ports = {c["label"]: c["filename"] for c in self.qmp.command("query-chardev")}
        buses = [ports[f"bus{n}"].split("pty:", 1)[1] for n in range(4)]
        arguments = [self.simulator, "--scenario", self.scenario, "--log", self.sim_log]
        for bus in buses:
            arguments += ["--port", bus]
        self.sim = subprocess.Popen(["timeout", "1800"] + arguments, stdout=subprocess.DEVNULL,
                                    stderr=open(self.path("sim.err"), "w"), start_new_session=True)
        self.sim_started = time.monotonic()
        self.agent_path = agent_path

    def machine(self, append_extra):
        common = ["-accel", "tcg,thread=multi", "-cpu", "max", "-smp", "2", "-m", "1024",
                  "-nodefaults", "-no-user-config", "-display", "none",
                  "-kernel", self.kernel, "-initrd", self.initrd, "-serial", "chardev:con"]
        blacklist = "8250.nr_uarts=8 modprobe.blacklist=bochs "
        if self.arch == "arm64":
            # The console is the machine's own PL011 (ttyAMA0). Debian's arm64 kernel has four 8250
            # ports at most, so one 4-port PCI card is ttyS0-3: bus 0 on ttyS2, and the guest's
            # udev links ttyS4, ttyS5 and ttyS7 to ttyS0, ttyS1 and ttyS3 for buses 1 to 3.
            return "qemu-system-aarch64", ["-M", "virt"] + common + [
                "-append", "console=ttyAMA0 " + blacklist + append_extra,
                "-drive", f"file={self.disk},format=raw,if=none,id=disk",
                "-device", "virtio-blk-pci,drive=disk",
                "-device", "pci-serial-4x,chardev1=bus1,chardev2=bus2,chardev3=bus0,chardev4=bus3"]
        # ttyS0 console, ttyS1 and ttyS3 unused, ttyS2 bus 0; the 4-port card is ttyS4 (bus 1),
        # ttyS5 (bus 2), ttyS6 unused and ttyS7 (bus 3). A 2-port card leaves ttyS6 and ttyS7 without
        # a UART: their nodes stay, and opening them fails, as on a board with a dead one.
        card = ("pci-serial-2x,chardev1=bus1,chardev2=bus2" if self.missing_uart
                else "pci-serial-4x,chardev1=bus1,chardev2=bus2,chardev3=spare6,chardev4=bus3")
        return "qemu-system-x86_64", ["-vga", "none"] + common + [
            "-append", "root=/dev/vda rw console=ttyS0 " + blacklist + append_extra,
            "-drive", f"file={self.disk},format=raw,if=virtio",
            "-serial", "chardev:spare1", "-serial", "chardev:bus0", "-serial", "chardev:spare3",
            "-device", card]

    def elapsed(self):
        return time.monotonic() - self.started

    def connect_agent(self, timeout):
        def attempt():
            try:
                agent = Agent(self.agent_path)
                agent.sync()
                self.agent = agent
                return True
            except (OSError, Failure, ValueError):
                return False
        wait_for("the guest agent", attempt, timeout, 1)

    def run(self, command, timeout=60):
        return self.agent.run(command, timeout)

    def screendump(self):
        target = self.path("screen.ppm")
        self.qmp.command("screendump", filename=target)
        return read_ppm(target)

    def touch(self, x, y):
        def axis(name, value, size):
            return {"type": "abs", "data": {"axis": name, "value": round(value * 32767 / (size - 1))}}
        self.qmp.command("input-send-event", events=[
            axis("x", x, self.WIDTH), axis("y", y, self.HEIGHT),
            {"type": "btn", "data": {"button": "left", "down": True}}])
        # A press and its release in one report would be one event: let the tablet poll between.
        time.sleep(0.1)
        self.qmp.command("input-send-event", events=[
            {"type": "btn", "data": {"button": "left", "down": False}}])

    def unplug_tablet(self):
        self.qmp.command("device_del", id=self.TABLET)

    def plug_tablet(self):
        self.qmp.command("device_add", driver="usb-tablet", id=self.TABLET)

    def sim_frames(self):
        """(seconds since the simulator started, channel, kind, bytes) of every logged frame."""
        frames = []
        try:
            with open(self.sim_log) as log:
                for line in log:
                    parts = line.split(None, 3)
                    if len(parts) == 4:
                        frames.append((float(parts[0]), int(parts[1][2:]), parts[2], parts[3].strip()))
        except FileNotFoundError:
            pass
        return frames

    def power_cut(self):
        """Kills QEMU at once, as a pulled plug would."""
        if self.qemu and self.qemu.poll() is None:
            os.killpg(self.qemu.pid, signal.SIGKILL)
            self.qemu.wait(30)

    def stop(self):
        for channel in (self.qmp, self.agent):
            if channel:
                try:
                    channel.close()
                except OSError:
                    pass
        self.power_cut()
        if self.sim and self.sim.poll() is None:
            os.killpg(self.sim.pid, signal.SIGTERM)
            try:
                self.sim.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.sim.pid, signal.SIGKILL)
                self.sim.wait(10)


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position)
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise Failure(f"{path}: not an 8-bit P6 picture")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[position + 1:position + 1 + width * height * 3]


def likeness(a, b, region=None, tolerance=48, step=5, exclude=None):
    """Share of sampled pixels (0..1) whose channels all lie within tolerance of the other picture,
    in region and outside exclude (both x0, y0, x1, y1)."""
    (wa, ha, pa), (wb, hb, pb) = a, b
    if (wa, ha) != (wb, hb):
        return 0.0
    x0, y0, x1, y1 = region or (0, 0, wa, ha)
    ex0, ey0, ex1, ey1 = exclude or (0, 0, 0, 0)
    same = total = 0
    for y in range(y0, y1, step):
        row = y * wa * 3
        for x in range(x0, x1, step):
            if ex0 <= x < ex1 and ey0 <= y < ey1:
                continue
            i = row + x * 3
            total += 1
            if (abs(pa[i] - pb[i]) <= tolerance and abs(pa[i + 1] - pb[i + 1]) <= tolerance
                    and abs(pa[i + 2] - pb[i + 2]) <= tolerance):
                same += 1
    return same / total if total else 0.0


def red_share(picture, region, step=5):
    """Share of sampled pixels (0..1) in region that are a strong red (the alarm board's)."""
    width, _, pixels = picture
    x0, y0, x1, y1 = region
    red = total = 0
    for y in range(y0, y1, step):
        for x in range(x0, x1, step):
            i = (y * width + x) * 3
            total += 1
            if pixels[i] >= 120 and pixels[i + 1] < 70 and pixels[i + 2] < 70:
                red += 1
    return red / total if total else 0.0


def pixel_share(picture, region, keep, step=5):
    """Share of sampled pixels (0..1) in region for which keep((r, g, b)) holds."""
    width, _, pixels = picture
    x0, y0, x1, y1 = region
    kept = total = 0
    for y in range(y0, y1, step):
        for x in range(x0, x1, step):
            i = (y * width + x) * 3
            total += 1
            if keep(pixels[i:i + 3]):
                kept += 1
    return kept / total if total else 0.0


def near(colour, tolerance=40):
    """A pixel test for one colour, antialiased text's core pixels included."""
    return lambda pixel: all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def write_png(picture, path):
    """The screendump as PNG, through ImageMagick (installed with the project's dependencies)."""
    width, height, pixels = picture
    ppm = path + ".ppm"
    with open(ppm, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height) + pixels)
    subprocess.run(["timeout", "60", "convert", ppm, path], check=True)
    os.unlink(ppm)
