#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Makes a large Doom-format level from a real one: N copies side by side.

  bench/make-large-level.py [--wad freedoom2.wad] [--level MAP12] [--copies 3] [--share-sidedefs] out.wad

The copies stand in a row along x (in more rows when a row would leave the
16-bit coordinate range), 256 units apart, centred on the origin. Each copy
gets its own vertexes, sidedefs and sectors: linedef vertex and sidedef
numbers and sidedef sector numbers are shifted by the counts of the copies
before it, things are moved with their copy. The level keeps the marker's
name. REJECT is all zeros, sized for the new sector count. SEGS, SSECTORS and
NODES are the original lumps repeated N times: no builder reads them, but
vortane scales its progress bar by the size of the old NODES lump.

Sidedef numbers past 32767 are written as their low 16 bits, as a map
editor would; three copies of MAP12 reach about 51,000 sidedefs. With
--share-sidedefs, identical sidedef records are stored once and shared by
their linedefs, as map editors may pack a level: six copies of MAP12 then
fit (65,304 linedefs, 61,014 vertexes, 55,776 sidedefs), past the vanilla
limits.

Standard library only; the output is a PWAD holding that one level.
"""

import argparse
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from wadfile import (BEHAVIOR, DOOM_LINEDEF_SIZE, DOOM_THING_SIZE, IDENTIFICATIONS, LEVEL_LUMPS,  # noqa: E402
                     SECTOR_SIZE, SIDEDEF_SECTOR_OFFSET, SIDEDEF_SIZE, VERTEX_SIZE, directory, header,
                     write_wad)

DEFAULT_WAD = "/usr/share/games/doom/freedoom2.wad"
GAP = 256


def read_level(path, level):
    with open(path, "rb") as f:
        data = f.read()
    if header(data)[0] not in IDENTIFICATIONS:
        sys.exit("%s is not a WAD file" % path)
    names = [(name.upper(), pos, size) for name, pos, size in directory(data)[1]]
    for i, (name, _, _) in enumerate(names):
        if name == level.upper():
            lumps = {}
            for k, wanted in enumerate(LEVEL_LUMPS):
                got, pos, size = names[i + 1 + k]
                if got != wanted:
                    sys.exit("%s: entry %d is %s, expected %s" % (level, i + 1 + k, got, wanted))
                lumps[wanted] = data[pos:pos + size]
            after = i + 1 + len(LEVEL_LUMPS)
            if after < len(names) and names[after][0] == BEHAVIOR:
                sys.exit("%s is a Hexen-format level; only Doom-format levels are copied" % level)
            return lumps
    sys.exit("no level %s in %s" % (level, path))


def place(bounds, copies):
    """Offsets (dx, dy) of each copy, the whole centred on the origin."""
    min_x, max_x, min_y, max_y = bounds
    width, height = max_x - min_x + GAP, max_y - min_y + GAP
    per_row = max(1, min(copies, 65000 // width))
    rows = (copies + per_row - 1) // per_row
    if rows * height > 65000:
        sys.exit("%d copies do not fit in the 16-bit coordinate range" % copies)
    total_w, total_h = per_row * width - GAP, rows * height - GAP
    offsets = []
    for c in range(copies):
        col, row = c % per_row, c // per_row
        offsets.append((col * width - total_w // 2 - min_x, row * height - total_h // 2 - min_y))
    return offsets


def build(lumps, copies, share_sidedefs=False):
    vertexes = [struct.unpack_from("<hh", lumps["VERTEXES"], VERTEX_SIZE * i)
                for i in range(len(lumps["VERTEXES"]) // VERTEX_SIZE)]
    if not vertexes:
        sys.exit("the level has no vertexes")
    bounds = (min(v[0] for v in vertexes), max(v[0] for v in vertexes),
              min(v[1] for v in vertexes), max(v[1] for v in vertexes))
    nv = len(vertexes)
    nsec = len(lumps["SECTORS"]) // SECTOR_SIZE
    sides = lumps["SIDEDEFS"]
    records = [sides[at:at + SIDEDEF_SIZE] for at in range(0, len(sides) - SIDEDEF_SIZE + 1, SIDEDEF_SIZE)]
    # The stored sidedef of each sidedef of a copy, and the records stored.
    if share_sidedefs:
        firsts = {}
        index = [firsts.setdefault(record, len(firsts)) for record in records]
        unique = [None] * len(firsts)
        for record, at in firsts.items():
            unique[at] = record
    else:
        index, unique = list(range(len(records))), records
    stored = len(unique)
    if copies * nv > 65535 or copies * stored > 65535:
        sys.exit("%d copies need more than 65535 vertexes or sidedefs" % copies)
    out = {name: bytearray() for name in LEVEL_LUMPS}
    for c, (dx, dy) in enumerate(place(bounds, copies)):
        for x, y in vertexes:
            out["VERTEXES"] += struct.pack("<hh", x + dx, y + dy)
        things = lumps["THINGS"]
        for at in range(0, len(things) - DOOM_THING_SIZE + 1, DOOM_THING_SIZE):
            x, y = struct.unpack_from("<hh", things, at)
            out["THINGS"] += struct.pack("<hh", x + dx, y + dy) + things[at + 4:at + DOOM_THING_SIZE]
        lines = lumps["LINEDEFS"]
        for at in range(0, len(lines) - DOOM_LINEDEF_SIZE + 1, DOOM_LINEDEF_SIZE):
            v1, v2, flags, special, tag, right, left = struct.unpack_from("<HHHHHHH", lines, at)
            right = right if right == 0xFFFF else index[right] + c * stored
            left = left if left == 0xFFFF else index[left] + c * stored
            out["LINEDEFS"] += struct.pack("<HHHHHHH", v1 + c * nv, v2 + c * nv, flags, special, tag, right, left)
        for record in unique:
            (sector,) = struct.unpack_from("<H", record, SIDEDEF_SECTOR_OFFSET)
            out["SIDEDEFS"] += record[:SIDEDEF_SECTOR_OFFSET] + struct.pack("<H", (sector + c * nsec) & 0xFFFF)
        for name in ("SEGS", "SSECTORS", "NODES", "SECTORS"):
            out[name] += lumps[name]
    sectors = copies * nsec
    out["REJECT"] = bytearray((sectors * sectors + 7) // 8)
    out["BLOCKMAP"] = bytearray()
    return out


def write_pwad(path, marker, lumps):
    # Empty lumps at offset 0, as map editors write them.
    write_wad(path, [(marker, b"")] + [(name, bytes(lumps[name])) for name in LEVEL_LUMPS], empty_at_zero=True)


def main():
    parser = argparse.ArgumentParser(description="Makes a large level from copies of a real one.")
    parser.add_argument("--wad", default=DEFAULT_WAD, help="WAD holding the level (default: %(default)s)")
    parser.add_argument("--level", default="MAP12", help="Doom-format level to copy (default: %(default)s)")
    parser.add_argument("--copies", type=int, default=3, help="number of copies (default: %(default)s)")
    parser.add_argument("--share-sidedefs", action="store_true", help="store identical sidedefs once")
    parser.add_argument("output", help="PWAD to write; its level keeps the marker's name")
    args = parser.parse_args()
    if args.copies < 1:
        parser.error("--copies must be at least 1")
    lumps = read_level(args.wad, args.level)
    write_pwad(args.output, args.level.upper(), build(lumps, args.copies, args.share_sidedefs))
    return 0


if __name__ == "__main__":
    sys.exit(main())
