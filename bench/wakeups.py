#!/usr/bin/env python3
"""What each of a program's wake-ups costs, by where in the second it comes.

    wakeups.py PID SECONDS [GAP_MS]

Reads the process's time on the CPU (/proc/PID/schedstat) every 0.3 ms for SECONDS and gathers
what it gains into bursts, a burst ending at GAP_MS (default 0.8) without a gain. The bursts are
folded by the second, from the first one, into 10 ms slots: a program that polls, reads and blinks
on a one-second rhythm shows one line per kind of wake-up, with how often it came and what it cost.
Only the program's own time is counted; this reader runs beside it on another core.
"""
import collections
import sys
import time


def gains(pid, seconds):
    with open(f"/proc/{pid}/schedstat", "rb") as stat:
        def on_cpu():
            stat.seek(0)
            return int(stat.read().split()[0])
        last = on_cpu()
        start = time.monotonic()
        while (now := time.monotonic()) - start < seconds:
            ran = on_cpu()
            if ran != last:
                yield now, ran - last
                last = ran
            time.sleep(0.0003)


def bursts(pid, seconds, gap):
    found = []
    for when, ran in gains(pid, seconds):
        if found and when - found[-1][1] < gap:
            found[-1][1] = when
            found[-1][2] += ran
        else:
            found.append([when, when, ran])
    return found


def main(arguments):
    if len(arguments) < 2:
        raise SystemExit(__doc__.split("\n\n")[1])
    pid, seconds = int(arguments[0]), float(arguments[1])
    gap = float(arguments[2]) / 1000 if len(arguments) > 2 else 0.0008
    found = bursts(pid, seconds, gap)
    if not found:
        raise SystemExit("wakeups: the program did not run")
    total = sum(ran for _, _, ran in found)
    print(f"{len(found) / seconds:.1f} bursts a second, CPU {total / seconds / 1e7:.4f} %")
    first = found[0][0]
    slots = collections.defaultdict(lambda: [0, 0])
    for began, _, ran in found:
        slot = int((began - first) % 1.0 * 100) * 10
        slots[slot][0] += 1
        slots[slot][1] += ran
    for slot in sorted(slots):
        count, ran = slots[slot]
        print(f"{slot:4d} ms: {count / seconds:5.2f} a second, {ran / count / 1000:7.1f} us each, "
              f"CPU {ran / seconds / 1e7:.4f} %")


if __name__ == "__main__":
    main(sys.argv[1:])
