#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Makes a large UDMF level from copies of a real binary one.

    bench/make-large-udmf.py [--wad freedoom2.wad] [--level MAP12] --copies N out.wad

The copies stand in a square grid, 64 units apart before scaling, and the
whole is halved (--halve times at least, once by default) until it fits
the fixed-point range (x and y from -32768 to 32767), so that coordinates
become fractional; every scaled value is written exactly. Each copy has its own
vertexes, sidedefs and sectors, numbered in 32 bits as UDMF allows. The
level is marker, TEXTMAP, ENDMAP; a player start stands in the first
sector of the first copy.
"""
import argparse
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
import wadfile  # noqa: E402

NO_SIDEDEF = 0xFFFF


def exact(value, shift):
    """value / 2**shift as a decimal with every digit it has: it is
    value * 5**shift / 10**shift."""
    whole, part = divmod(abs(value) * 5 ** shift, 10 ** shift)
    text = str(whole) if part == 0 else "%d.%s" % (whole, str(part).rjust(shift, "0").rstrip("0"))
    return "-" + text if value < 0 and (whole or part) else text


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--wad", default="/usr/share/games/doom/freedoom2.wad")
    parser.add_argument("--level", default="MAP12")
    parser.add_argument("--copies", type=int, required=True)
    parser.add_argument("--halve", type=int, default=1,
                        help="halve the coordinates at least this many times (default: %(default)s)")
    parser.add_argument("output")
    args = parser.parse_args()

    lumps = wadfile.read_lumps(args.wad)
    names = [n for n, _ in lumps]
    at = names.index(args.level)
    level = dict(lumps[at + 1:at + 11])
    vertexes = [struct.unpack_from("<hh", level["VERTEXES"], i) for i in range(0, len(level["VERTEXES"]), 4)]
    lines = [struct.unpack_from("<7H", level["LINEDEFS"], i) for i in range(0, len(level["LINEDEFS"]), 14)]
    sides = [struct.unpack_from("<hh8s8s8sh", level["SIDEDEFS"], i) for i in range(0, len(level["SIDEDEFS"]), 30)]
    sectors = [struct.unpack_from("<hh8s8shhh", level["SECTORS"], i) for i in range(0, len(level["SECTORS"]), 26)]

    low_x, high_x = min(v[0] for v in vertexes), max(v[0] for v in vertexes)
    low_y, high_y = min(v[1] for v in vertexes), max(v[1] for v in vertexes)
    width, height = high_x - low_x + 64, high_y - low_y + 64
    columns = math.ceil(math.sqrt(args.copies))
    rows = math.ceil(args.copies / columns)
    shift = args.halve
    while (columns * width) / 2 ** shift > 65000 or (rows * height) / 2 ** shift > 65000:
        shift += 1
    origin_x, origin_y = -(columns * width) // 2, -(rows * height) // 2

    out = ['namespace = "doom";\n']
    for copy in range(args.copies):
        dx = origin_x + copy % columns * width - low_x
        dy = origin_y + copy // columns * height - low_y
        for x, y in vertexes:
            out.append("vertex { x = %s; y = %s; }\n" % (exact(x + dx, shift), exact(y + dy, shift)))
    for copy in range(args.copies):
        vbase, sbase = copy * len(vertexes), copy * len(sides)
        for v1, v2, flags, special, tag, right, left in lines:
            fields = "v1 = %d; v2 = %d; sidefront = %d;" % (v1 + vbase, v2 + vbase, right + sbase)
            if left != NO_SIDEDEF:
                fields += " sideback = %d; twosided = true;" % (left + sbase)
            if flags & 1:
                fields += " blocking = true;"
            if special:
                fields += " special = %d;" % special
            out.append("linedef { %s }\n" % fields)
    for copy in range(args.copies):
        for _, _, upper, lower, middle, sector in sides:
            out.append('sidedef { sector = %d; texturemiddle = "%s"; }\n'
                       % (sector + copy * len(sectors), middle.rstrip(b"\0").decode("latin-1")))
    for _ in range(args.copies):
        for floor, ceiling, floor_flat, ceiling_flat, light, special, tag in sectors:
            out.append('sector { heightfloor = %d; heightceiling = %d; texturefloor = "%s"; '
                       'textureceiling = "%s"; lightlevel = %d; }\n'
                       % (floor, ceiling, floor_flat.rstrip(b"\0").decode("latin-1"),
                          ceiling_flat.rstrip(b"\0").decode("latin-1"), light))
    things = level["THINGS"]
    x, y = struct.unpack_from("<hh", things, 0)
    out.append("thing { x = %s; y = %s; type = 1; skill1 = true; skill2 = true; skill3 = true; skill4 = true; "
               "skill5 = true; single = true; }\n" % (exact(x + origin_x - low_x, shift),
                                                      exact(y + origin_y - low_y, shift)))
    text = "".join(out).encode("latin-1")
    wadfile.write_wad(args.output, [(args.level, b""), ("TEXTMAP", text), ("ENDMAP", b"")])
    print("%s: %d copies of %s, %d linedefs, scaled by 1/%d, %d bytes of TEXTMAP"
          % (args.output, args.copies, args.level, args.copies * len(lines), 2 ** shift, len(text)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
