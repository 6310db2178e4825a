#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""A stand-in for vortane that writes a level the engine cannot play.

Called like vortane (input.wad output.wad LEVEL mode axis L), it copies the
input and points every subsector child of the level's NODES at a subsector
that does not exist. The demo test runs it to show that the engine's
playback does catch a broken node tree.
"""

import struct
import sys


def main():
    source, target, level = sys.argv[1], sys.argv[2], sys.argv[3]
    data = bytearray(open(source, "rb").read())
    count, directory = struct.unpack_from("<ii", data, 4)
    names = [data[directory + 16 * i + 8:directory + 16 * i + 16].rstrip(b"\0").decode() for i in range(count)]
    marker = names.index(level)
    position, size = struct.unpack_from("<ii", data, directory + 16 * (marker + 7))
    assert names[marker + 7] == "NODES" and size >= 28
    for at in range(position, position + size, 28):
        for child in (at + 24, at + 26):
            (value,) = struct.unpack_from("<H", data, child)
            if value & 0x8000:
                struct.pack_into("<H", data, child, 0xF000)
    open(target, "wb").write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
