#!/usr/bin/env python3
"""Touches a program that runs on Qt's vnc platform: press and release at each point in turn.

    rfb_touch.py PORT X Y [X Y]...

Speaks just enough of the remote framebuffer protocol (version 3.3, no security) to send pointer
events, waits a moment between touches, and leaves. It never asks for the picture, so the server
only composes its screen as it would for the framebuffer.
"""
import socket
import struct
import sys
import time

POINTER_EVENT = 5
SETTLE_SECONDS = 1.5


def receive(connection, size):
    data = b""
    while len(data) < size:
        chunk = connection.recv(size - len(data))
        if not chunk:
            raise SystemExit("rfb_touch: the server closed the connection")
        data += chunk
    return data


def handshake(connection):
    receive(connection, 12)  # the server's version
    connection.sendall(b"RFB 003.003\n")
    if struct.unpack(">I", receive(connection, 4))[0] != 1:
        raise SystemExit("rfb_touch: the server asks for authentication")
    connection.sendall(b"\x01")  # shared
    receive(connection, 4 + 16)  # size and pixel format
    name_length = struct.unpack(">I", receive(connection, 4))[0]
    receive(connection, name_length)


def touch(connection, x, y):
    for buttons in (0, 1, 0):
        connection.sendall(struct.pack(">BBHH", POINTER_EVENT, buttons, x, y))
        time.sleep(0.1)


def main(arguments):
    if len(arguments) < 3 or len(arguments) % 2 == 0:
        raise SystemExit(__doc__.split("\n\n")[1])
    port, points = int(arguments[0]), [int(value) for value in arguments[1:]]
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        handshake(connection)
        for x, y in zip(points[0::2], points[1::2]):
            touch(connection, x, y)
            time.sleep(SETTLE_SECONDS)


if __name__ == "__main__":
    main(sys.argv[1:])
