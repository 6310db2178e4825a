#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Writes samples/sample.wad: a small Doom-format level, MAP01, made for
trying vortane out. Three sectors: a main room with a square pillar, a side
room through a wide opening, and a raised triangular platform."""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from wadfile import name8, write_wad  # noqa: E402

VERTEXES = [
    (0, 0), (0, 512), (512, 512), (512, 384), (512, 128), (512, 0),  # main room
    (768, 384), (768, 128),                                          # side room
    (192, 192), (320, 192), (320, 320), (192, 320),                  # pillar
    (64, 64), (64, 160), (160, 64),                                  # platform
]

SECTORS = [  # floor, ceiling, floor flat, ceiling flat, light
    (0, 128, b"FLOOR4_8", b"CEIL3_5", 160),
    (0, 128, b"FLOOR5_1", b"CEIL3_5", 192),
    (24, 128, b"FLOOR7_1", b"CEIL3_5", 176),
]

sidedefs = []


def side(sector, upper=b"-", lower=b"-", middle=b"-"):
    sidedefs.append((sector, upper, lower, middle))
    return len(sidedefs) - 1


def wall(sector):
    return side(sector, middle=b"STARTAN3")


def opening(sector):
    return side(sector, upper=b"STARTAN3", lower=b"STEP1")


# start, end, flags, right sidedef, left sidedef
LINEDEFS = [
    (0, 1, 1, wall(0), -1), (1, 2, 1, wall(0), -1), (2, 3, 1, wall(0), -1),
    (3, 4, 4, opening(0), opening(1)),
    (4, 5, 1, wall(0), -1), (5, 0, 1, wall(0), -1),
    (3, 6, 1, wall(1), -1), (6, 7, 1, wall(1), -1), (7, 4, 1, wall(1), -1),
    (8, 9, 1, wall(0), -1), (9, 10, 1, wall(0), -1), (10, 11, 1, wall(0), -1), (11, 8, 1, wall(0), -1),
    (12, 13, 4, opening(2), opening(0)), (13, 14, 4, opening(2), opening(0)), (14, 12, 4, opening(2), opening(0)),
]

THINGS = [(256, 96, 90, 1, 7), (640, 256, 180, 2014, 7)]  # player start, a health bonus


def lumps():
    things = b"".join(struct.pack("<hhhhh", *t) for t in THINGS)
    lines = b"".join(struct.pack("<hhhhhhh", s, e, f, 0, 0, r, l) for s, e, f, r, l in LINEDEFS)
    sides = b"".join(struct.pack("<hh", 0, 0) + name8(u) + name8(lo) + name8(m) + struct.pack("<h", sec)
                     for sec, u, lo, m in sidedefs)
    verts = b"".join(struct.pack("<hh", x, y) for x, y in VERTEXES)
    sectors = b"".join(struct.pack("<hh", f, c) + name8(fl) + name8(cl) + struct.pack("<hhh", light, 0, 0)
                       for f, c, fl, cl, light in SECTORS)
    reject = bytes((len(SECTORS) ** 2 + 7) // 8)
    return [(b"MAP01", b""), (b"THINGS", things), (b"LINEDEFS", lines), (b"SIDEDEFS", sides),
            (b"VERTEXES", verts), (b"SEGS", b""), (b"SSECTORS", b""), (b"NODES", b""),
            (b"SECTORS", sectors), (b"REJECT", reject), (b"BLOCKMAP", b"")]


def main(path):
    # The empty lumps at offset 0, as map editors write them.
    write_wad(path, lumps(), empty_at_zero=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "samples/sample.wad")
