#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_replies: valid and nearly valid replies, in the target's input format
(see fuzz_replies.cpp). Every input's first tick polls controller 0 of every bus, the next controller 1."""
import os
import sys


def full(index, alarm=0, fill=0, data=None):
    body = bytes([index, alarm]) + (bytes(data) if data else bytes([fill] * 27))
    return bytes([0xCC]) + body + bytes([sum(body) & 0xFF])


def short(index, alarm=0):
    return bytes([0xBB, index, alarm, 0xFF])


def shown(channel, index, appliance=None):
    return bytes([(channel << 2) | index | (0x10 | appliance << 5 if appliance is not None else 0)])


def tick(*reads, show=None):
    """One tick; reads is a list of (channel, bytes)."""
    mask = 0
    for channel, _ in reads:
        mask |= 1 << channel
    out = bytes([mask | (0x10 if show is not None else 0)])
    if show is not None:
        out += bytes([show])
    for channel in range(4):
        for ch, data in reads:
            if ch == channel:
                out += bytes([len(data)]) + data
    return out


def flip(data, position, bit):
    changed = bytearray(data)
    changed[position] ^= 1 << bit
    return bytes(changed)


seeds = {
    "full-each-bus": shown(0, 0) + tick(*[(ch, full(0, 0, 7)) for ch in range(4)])
    + tick(*[(ch, full(1, 0x80, 9)) for ch in range(4)]),
    "full-shown-alarm": shown(1, 0, 0) + tick((1, full(0, 0xA0, 3))) + tick() + tick((1, full(0, 0x20, 3))),
    "short-replies": shown(2, 0) + tick((2, short(0))) + tick((2, short(1, 0x80))) + tick((2, short(2, 0x07))),
    "silence-four-polls": shown(3, 0) + tick() + tick() + tick() + tick((3, full(1))),
    "checksum-off-by-one": shown(0, 0) + tick((0, full(0, 0x40)[:30] + bytes([(full(0, 0x40)[30] + 1) & 0xFF]))),
    "bit-flips": shown(0, 0) + tick((0, flip(full(0, 0, 0x55), 1, 0))) + tick((0, flip(full(0, 0, 0x55), 29, 7)))
    + tick((0, flip(full(1, 0, 0x55), 30, 3))),
    "all-zero-and-all-ff": shown(1, 1) + tick((1, full(0, 0, 0))) + tick((1, full(1, 0xFF, 0xFF))),
    "cut-full-replies": shown(0, 0) + b"".join(tick((0, full(i % 4, 0, 0x11)[:cut])) for i, cut in enumerate([1, 2, 16, 30])),
    "cut-short-replies": shown(0, 0) + tick((0, short(0)[:1])) + tick((0, short(0)[:2])) + tick((0, short(0)[:3])),
    "split-over-two-reads": shown(2, 0) + tick((2, full(0, 0x10, 5)[:13])) + tick((2, full(0, 0x10, 5)[13:])),
    "garbage-around": shown(0, 0) + tick((0, b"\x00\x13" + full(0))) + tick((0, full(1) + b"\xCC\xBB\x01"))
    + tick((0, b"\x7F" + short(1) + b"\x7F")),
    "false-starts": shown(0, 0) + tick((0, b"\x01\xCC\x00\x02" + full(0))) + tick((0, b"\xBB\x00\x00" + short(0))),
    "two-replies-one-read": shown(0, 0) + tick((0, short(0) + full(0, 0x80))) + tick((0, full(1, 0x08) + short(1))),
    "other-index": shown(0, 0) + tick((0, full(2))) + tick((0, short(3))) + tick((0, full(0))),
    "alarm-bytes": shown(0, 0) + b"".join(tick(*[(ch, full(i, alarm)) for ch in range(4)])
                                          for i, alarm in enumerate([0x00, 0x07, 0xF8, 0xFF])),
    "babble": shown(1, 0) + tick(*[(ch, bytes((i * 37 + ch) & 0xFF for i in range(255))) for ch in range(4)]),
    "switch-shown-controller": shown(0, 0) + tick((0, full(0, 0x80))) + tick((0, short(1)), show=(0 << 2) | 1)
    + tick((0, full(2, 0x40))),
}

target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(target, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(target, name), "wb") as seed:
        seed.write(data)
print(f"{len(seeds)} seeds in {target}")
