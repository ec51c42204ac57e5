#!/usr/bin/python3
"""The programming frames a simulated module took, from the listing that
`kvr7314-cli sim` prints (a line per frame, its time, code and bytes, and
".." lines that go on with them): one line per frame without its time, so
two modules' listings compare byte for byte.

    simframes.py LISTING
"""

import re
import sys

FIRST_STEP, LAST_STEP = 51, 76


def programming_frames(path):
    frames, current = [], None
    with open(path) as listing:
        for line in listing.read().splitlines():
            m = re.match(r" *[0-9.]+ s +\((\d+)\) +(.*)", line)
            if m:
                current = [m.group(1), m.group(2)]
                frames.append(current)
            elif current and re.match(r" +\.\. ", line):
                current.append(line.strip())
    return [" ".join(frame) for frame in frames if FIRST_STEP <= int(frame[0]) <= LAST_STEP]


if __name__ == "__main__":
    for frame in programming_frames(sys.argv[1]):
        print(frame)
