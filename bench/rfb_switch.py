#!/usr/bin/env python3
"""Times each touch of a program on Qt's vnc platform until its next screen is fully drawn.

    rfb_switch.py PORT X Y [X Y]...

Touches each point in turn (press and release at once) and prints one line per touch: the
milliseconds from the release to the framebuffer update after which the screen is as it stays, or
"nochange". It follows the screen as a viewer does, asking for every change, and compares a sample of
its pixels: an update completes the move when it leaves at most 1 % of the pixels the move changes
different from the settled screen. Pixels that change on a settled screen (the clock, blinking icons)
count for neither.
"""
import select
import socket
import struct
import sys
import time

SETTLE_SECONDS = 2.0
QUIET_TAIL_SECONDS = 0.8
STEP = 8  # every eighth pixel of every eighth row
SET_PIXEL_FORMAT, SET_ENCODINGS, UPDATE_REQUEST, POINTER_EVENT = 0, 2, 3, 5
RAW = 0


class Viewer:
    def __init__(self, port):
        self.connection = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.receive(12)
        self.connection.sendall(b"RFB 003.003\n")
        if struct.unpack(">I", self.receive(4))[0] != 1:
            raise SystemExit("rfb_switch: the server asks for authentication")
        self.connection.sendall(b"\x01")
        self.width, self.height = struct.unpack(">HH", self.receive(4))
        self.bytes_per_pixel = self.receive(16)[0] // 8
        self.receive(struct.unpack(">I", self.receive(4))[0])
        self.stride = self.width * self.bytes_per_pixel
        self.screen = bytearray(self.stride * self.height)
        # 32-bit true colour, as the screen holds it.
        self.connection.sendall(struct.pack(">B3xBBBBHHHBBB3x", SET_PIXEL_FORMAT, 32, 24, 0, 1, 255, 255, 255, 16, 8, 0))
        self.connection.sendall(struct.pack(">BBHi", SET_ENCODINGS, 0, 1, RAW))
        self.request(incremental=False)
        self.next_update()

    def receive(self, size):
        data = bytearray()
        while len(data) < size:
            chunk = self.connection.recv(size - len(data))
            # Acknowledged at once: the vnc server sends small writes with Nagle's algorithm, so an
            # update may wait for the ack of the one before, which Linux would delay by up to 40 ms.
            self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
            if not chunk:
                raise SystemExit("rfb_switch: the server closed the connection")
            data += chunk
        return bytes(data)

    def request(self, incremental=True):
        self.connection.sendall(struct.pack(">BBHHHH", UPDATE_REQUEST, int(incremental), 0, 0, self.width, self.height))

    def touch(self, x, y):
        for buttons in (1, 0):
            self.connection.sendall(struct.pack(">BBHH", POINTER_EVENT, buttons, x, y))
        return time.monotonic()

    # Applies one framebuffer update and returns when it began to arrive: the program has drawn it by
    # then, and the copy's own time is the viewer's. Other server messages are read and dropped.
    def next_update(self):
        while True:
            kind = self.receive(1)[0]
            arrived = time.monotonic()
            if kind == 0:
                break
            if kind == 1:
                self.receive(3)
                self.receive(6 * struct.unpack(">H", self.receive(2))[0])
            elif kind == 3:
                self.receive(3)
                self.receive(struct.unpack(">I", self.receive(4))[0])
            elif kind != 2:
                raise SystemExit(f"rfb_switch: unknown server message {kind}")
        self.receive(1)
        for _ in range(struct.unpack(">H", self.receive(2))[0]):
            x, y, w, h, encoding = struct.unpack(">HHHHi", self.receive(12))
            if encoding != RAW:
                raise SystemExit(f"rfb_switch: encoding {encoding} instead of raw")
            row = w * self.bytes_per_pixel
            pixels = self.receive(row * h)
            for line in range(h):
                start = (y + line) * self.stride + x * self.bytes_per_pixel
                self.screen[start:start + row] = pixels[line * row:(line + 1) * row]
        return arrived

    def sample(self):
        step = STEP * self.bytes_per_pixel
        return b"".join(bytes(self.screen[row * self.stride:(row + 1) * self.stride:step])
                        for row in range(0, self.height, STEP))

    # Snapshots, with their times, until `until`: a request is always out, as a viewer keeps one.
    def watch(self, until):
        snapshots = []
        while time.monotonic() < until:
            if not select.select([self.connection], [], [], 0.05)[0]:
                continue
            arrived = self.next_update()
            snapshots.append((arrived, self.sample()))
            self.request()
        return snapshots


def changing(snapshots):
    moving = set()
    for (_, before), (_, after) in zip(snapshots, snapshots[1:]):
        moving.update(i for i in range(len(before)) if before[i] != after[i])
    return moving


def latency(before, released, snapshots, noise):
    final = snapshots[-1][1]
    moved = [i for i in range(len(final)) if final[i] != before[i] and i not in noise]
    if not moved:
        return None
    allowed = len(moved) // 100
    for when, snapshot in snapshots:
        if sum(1 for i in moved if snapshot[i] != final[i]) <= allowed:
            return (when - released) * 1000
    return None


def main(arguments):
    if len(arguments) < 3 or len(arguments) % 2 == 0:
        raise SystemExit(__doc__.split("\n\n")[1])
    viewer = Viewer(int(arguments[0]))
    viewer.request()
    points = [int(value) for value in arguments[1:]]
    quiet = viewer.watch(time.monotonic() + QUIET_TAIL_SECONDS)
    for x, y in zip(points[0::2], points[1::2]):
        before = viewer.sample()
        released = viewer.touch(x, y)
        snapshots = viewer.watch(released + SETTLE_SECONDS)
        tail = [shot for shot in snapshots if shot[0] > released + SETTLE_SECONDS - QUIET_TAIL_SECONDS]
        noise = changing(quiet) | changing(tail)
        took = latency(before, released, snapshots, noise) if snapshots else None
        print("nochange" if took is None else f"{took:.1f}", flush=True)
        quiet = tail


if __name__ == "__main__":
    main(sys.argv[1:])
