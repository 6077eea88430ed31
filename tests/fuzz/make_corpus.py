#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_replies: valid and nearly valid replies, in the target's input format
(see fuzz_replies.cpp). Every input's first tick polls controller 0 of every bus, the next controller 1.
Then those of fuzz_commandpath: polls, replies, commands, hang-ups and reopens, into their own folder."""
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


# The seeds of fuzz_commandpath (see fuzz_commandpath.cpp): one step per byte, (step << 1) | port,
# then the step's own bytes.
POLL, SWITCH, VALUE, REPLY, BYTES, READ, GUARD, TURN, HANG_UP, REOPEN = range(10)


def on(port, step, *arguments):
    return bytes([(step << 1) | port, *arguments])


def short_reply_of(index):
    return 1 | index << 1


command_seeds = {
    "held-until-the-reply": on(0, POLL, 1) + on(0, SWITCH, 0x25) + on(0, VALUE, 0x2A, 0x40)
    + on(0, REPLY, short_reply_of(1)) + on(0, TURN) + on(0, READ),
    "held-until-the-guard-time": on(0, POLL, 2) + on(0, SWITCH, 0x21) + on(0, GUARD) + on(0, TURN),
    "half-a-reply-then-the-read": on(1, POLL, 3) + on(1, SWITCH, 0x0D) + on(1, BYTES, 5) + b"\xCC\x03\x00\x00\x00"
    + on(1, TURN) + on(1, SWITCH, 0x11) + on(1, READ),
    "hang-up-while-held": on(0, POLL, 0) + on(0, SWITCH, 0x05) + on(0, HANG_UP) + on(0, TURN) * 3 + on(0, REOPEN)
    + on(0, POLL, 0),
    "command-after-a-hang-up": on(1, POLL, 0) + on(1, TURN) + on(1, HANG_UP) + on(1, SWITCH, 0x25) + on(1, READ)
    + on(1, TURN) * 2 + on(1, REOPEN) + on(1, SWITCH, 0x25),
    "poll-after-a-hang-up": on(0, HANG_UP) + on(0, POLL, 0) + on(0, REOPEN) * 2,
    # A reply the far side sends before the port is open on it is lost with that far side.
    "reply-before-the-port-opens": on(0, HANG_UP) + on(0, REOPEN) + on(0, POLL, 1) + on(0, REPLY, 0x40)
    + on(0, REOPEN) + on(0, POLL, 1) + on(0, REPLY, short_reply_of(1)) + on(0, TURN) + on(0, SWITCH, 0x25),
    "both-ports": on(0, POLL, 1) + on(1, POLL, 2) + on(0, SWITCH, 0x05) + on(1, VALUE, 0x09, 0x80)
    + on(0, REPLY, short_reply_of(1)) + on(1, REPLY, 2 << 1) + on(0, TURN) + on(0, READ) + on(1, READ),
}

target = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus-commandpath")
os.makedirs(target, exist_ok=True)
for name, data in command_seeds.items():
    with open(os.path.join(target, name), "wb") as seed:
        seed.write(data)
print(f"{len(command_seeds)} seeds in {target}")
