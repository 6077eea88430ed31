#!/usr/bin/env python3
"""Where a recorded program spent its time, from perf(1) call graphs (recorded with --call-graph dwarf).

    perf_share.py PERF_DATA [FUNCTION...]
    perf_share.py PERF_DATA --under FUNCTION [DEPTH]

The first form gives the share of all samples that had each function on their stack (inclusive:
a function's callees count for it); without functions, the panel's own steps and Qt's painting.
The second breaks the samples under one function down by the calls it made, DEPTH levels deep.
A function matches by the start of its name, so "QSerialPortPrivate" takes all of its functions.
"""
import collections
import subprocess
import sys

# The blinking shows as setVisible (the only shows and hides while the dashboard is up), the X round
# trips as xcb_wait_for_reply, the framebuffer's composition of the screen as QPainter::drawImage.
PANEL_STEPS = [
    "BusControl::sendCommand",
    "BusControl::readMyCom",
    "Devices::showtimeTimeout",
    "QWidgetPrivate::setVisible",
    "QApplicationPrivate::sendSyntheticEnterLeave",
    "QWidgetPrivate::drawWidget",
    "BackgroundStrips::paint",
    "QPainter::drawImage",
    "QSerialPortPrivate",
    "xcb_wait_for_reply",
]


def stacks(data):
    """Each sample's frames, outermost first."""
    text = subprocess.run(["perf", "script", "-i", data, "-F", "comm,tid,ip,sym"],
                          capture_output=True, text=True, check=True).stdout
    sample = None
    for line in text.splitlines():
        if not line.strip():
            if sample:
                yield list(reversed(sample))
            sample = None
        elif not line[0].isspace():
            sample = []
        elif sample is not None:
            parts = line.split(None, 1)
            sample.append(parts[1].split("+0x")[0].strip() if len(parts) > 1 else "?")
    if sample:
        yield list(reversed(sample))


def shares(samples, functions):
    for function in functions:
        hits = sum(1 for frames in samples if any(frame.startswith(function) for frame in frames))
        print(f"{100 * hits / len(samples):5.1f} %  {function}")


def breakdown(samples, function, depth):
    paths = collections.Counter()
    for frames in samples:
        where = next((i for i, frame in enumerate(frames) if frame.startswith(function)), None)
        if where is not None:
            paths[tuple(frames[where + 1:where + 1 + depth]) or ("(itself)",)] += 1
    print(f"{100 * sum(paths.values()) / len(samples):5.1f} %  {function}")
    for path, hits in paths.most_common(25):
        print(f"{100 * hits / len(samples):5.1f} %    " + " > ".join(frame[:70] for frame in path))


def main(arguments):
    if not arguments:
        raise SystemExit(__doc__.split("\n\n")[1])
    samples = list(stacks(arguments[0]))
    if not samples:
        raise SystemExit("perf_share: no samples")
    print(f"{len(samples)} samples")
    if len(arguments) > 2 and arguments[1] == "--under":
        breakdown(samples, arguments[2], int(arguments[3]) if len(arguments) > 3 else 2)
    else:
        shares(samples, arguments[1:] or PANEL_STEPS)


if __name__ == "__main__":
    main(sys.argv[1:])
