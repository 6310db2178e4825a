#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""A stand-in for vortane that writes a level the engine cannot play.

Called like vortane (input.wad output.wad LEVEL mode axis L), it copies the
input and points every subsector child of the level's NODES at a subsector
that does not exist. The demo test runs it to show that the engine's
playback does catch a broken node tree.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wadfile import LEVEL_LUMPS, NODE_SIZE, directory, put16, u16  # noqa: E402


def main():
    source, target, level = sys.argv[1], sys.argv[2], sys.argv[3]
    data = bytearray(open(source, "rb").read())
    entries = directory(data)[1]
    marker = [name for name, _, _ in entries].index(level)
    name, position, size = entries[marker + 1 + LEVEL_LUMPS.index("NODES")]
    assert name == "NODES" and size >= NODE_SIZE
    for at in range(position, position + size, NODE_SIZE):
        for child in (at + 24, at + 26):
            if u16(data, child) & 0x8000:
                put16(data, child, 0xF000)
    open(target, "wb").write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
