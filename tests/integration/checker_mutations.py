#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""check_level catches damage to a real rebuilt level.

Rebuilds one Freedoom level with vortane, checks that check_level passes it,
then damages a copy of the output in one way at a time (a node's children,
a box, a seg's angle, offset or vertex, a cut point, a subsector, a block
list, REJECT, LINEDEFS, THINGS, the sector of a seg's side) and expects
check_level to fail each copy with a problem of the matching kind.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys

LEVEL_LUMPS = ["THINGS", "LINEDEFS", "SIDEDEFS", "VERTEXES", "SEGS", "SSECTORS", "NODES", "SECTORS", "REJECT",
               "BLOCKMAP"]


class Wad:
    def __init__(self, data, level):
        self.data = bytearray(data)
        count, directory = struct.unpack_from("<ii", self.data, 4)
        names = [self.data[directory + 16 * i + 8:directory + 16 * i + 16].rstrip(b"\0").decode()
                 for i in range(count)]
        marker = names.index(level)
        self.lumps = {}
        for k, name in enumerate(LEVEL_LUMPS):
            assert names[marker + 1 + k] == name
            self.lumps[name] = struct.unpack_from("<ii", self.data, directory + 16 * (marker + 1 + k))

    def words(self, lump, unsigned=True):
        position, size = self.lumps[lump]
        return list(struct.unpack_from("<%d%s" % (size // 2, "H" if unsigned else "h"), self.data, position))

    def get(self, lump, word, signed=False):
        position, _ = self.lumps[lump]
        return struct.unpack_from("<h" if signed else "<H", self.data, position + 2 * word)[0]

    def put(self, lump, word, value):
        position, _ = self.lumps[lump]
        struct.pack_into("<H", self.data, position + 2 * word, value & 0xFFFF)

    def count(self, lump, record):
        return self.lumps[lump][1] // record


def mutations(wad):
    """(name, expected text in check_level's output, function that damages a Wad)."""
    segs = wad.count("SEGS", 12)
    nodes = wad.count("NODES", 28)
    vertexes = wad.count("VERTEXES", 4)
    root = nodes - 1
    seg_with_offset = next(s for s in range(segs) if wad.get("SEGS", 6 * s + 5) > 0)
    lines = wad.count("LINEDEFS", 14)
    two_sided_seg = next(s for s in range(segs)
                         if wad.get("LINEDEFS", 7 * wad.get("SEGS", 6 * s + 3) + 6) != 0xFFFF
                         and wad.get("SEGS", 6 * s + 4) == 0)
    # The first block list that holds a linedef, from the block offsets.
    columns, rows = wad.get("BLOCKMAP", 2), wad.get("BLOCKMAP", 3)
    first_list = min(wad.get("BLOCKMAP", 4 + b) for b in range(columns * rows)
                     if wad.get("BLOCKMAP", 4 + b) != columns * rows + 4)

    def swap_root(w):
        right, left = w.get("NODES", 14 * root + 12), w.get("NODES", 14 * root + 13)
        w.put("NODES", 14 * root + 12, left)
        w.put("NODES", 14 * root + 13, right)

    def shrink_box(w):
        w.put("NODES", 14 * root + 7, w.get("NODES", 14 * root + 7, True) - 8)  # right box, right edge

    def bend_angle(w):
        w.put("SEGS", 6 * 5 + 2, w.get("SEGS", 6 * 5 + 2) + 300)

    def shift_offset(w):
        w.put("SEGS", 6 * seg_with_offset + 5, w.get("SEGS", 6 * seg_with_offset + 5) + 20)

    def wrong_vertex(w):
        w.put("SEGS", 6 * 0 + 1, w.get("SEGS", 6 * (segs // 2) + 1))

    def move_cut_point(w):
        w.put("VERTEXES", 2 * (vertexes - 1), w.get("VERTEXES", 2 * (vertexes - 1), True) + 16)

    def drop_from_subsector(w):
        subsector = next(s for s in range(w.count("SSECTORS", 4)) if w.get("SSECTORS", 2 * s) > 1)
        w.put("SSECTORS", 2 * subsector, w.get("SSECTORS", 2 * subsector) - 1)

    def wrong_block_entry(w):
        w.put("BLOCKMAP", first_list + 1, (w.get("BLOCKMAP", first_list + 1) + lines // 2) % lines)

    def flip_reject(w):
        position, size = w.lumps["REJECT"]
        w.data[position + size // 2] ^= 0x10

    def linedef_flags(w):
        w.put("LINEDEFS", 7 * 3 + 2, w.get("LINEDEFS", 7 * 3 + 2) ^ 0x0040)

    def move_thing(w):
        position, _ = w.lumps["THINGS"]
        w.data[position] ^= 1

    def other_side(w):
        # The seg keeps its place but claims the linedef's other side.
        base = 6 * two_sided_seg
        start, end = w.get("SEGS", base), w.get("SEGS", base + 1)
        w.put("SEGS", base, end)
        w.put("SEGS", base + 1, start)
        w.put("SEGS", base + 4, 1)

    return [
        ("root children swapped", "but lies under its", swap_root),
        ("root box too small", "box x", shrink_box),
        ("seg angle", "has angle", bend_angle),
        ("seg offset", "has offset", shift_offset),
        ("seg end vertex", " SEGS 0: ", wrong_vertex),
        ("cut point moved", " SEGS ", move_cut_point),
        ("seg left out of its subsector", "belongs to no subsector", drop_from_subsector),
        ("block list entry", " BLOCKMAP ", wrong_block_entry),
        ("REJECT bit", " REJECT -: ", flip_reject),
        ("linedef flags", " LINEDEFS 3: ", linedef_flags),
        ("thing moved", " THINGS -: THINGS changed", move_thing),
        ("seg on the other side", "mixes sectors", other_side),
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--extract", required=True)
    parser.add_argument("--check", required=True)
    parser.add_argument("--wad", required=True)
    parser.add_argument("--level", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    for name in ("vortane", "extract", "check", "wad", "work"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if os.path.isdir(args.work):
        shutil.rmtree(args.work)
    os.makedirs(args.work)

    def run(command):
        return subprocess.run(command, cwd=args.work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True)

    for step in ([args.extract, args.wad, args.level, "in.wad"],
                 [args.vortane, "in.wad", "out.wad", args.level, "-8", "-", "L"]):
        result = run(step)
        if result.returncode != 0:
            print("%s failed with %d:\n%s" % (os.path.basename(step[0]), result.returncode, result.stdout))
            return 1
    result = run([args.check, "in.wad", "out.wad", args.level])
    if result.returncode != 0:
        print("check_level rejects the undamaged %s:\n%s" % (args.level, result.stdout[:3000]))
        return 1

    original = open(os.path.join(args.work, "out.wad"), "rb").read()
    failures = []
    cases = mutations(Wad(original, args.level))
    for name, expected, damage in cases:
        wad = Wad(original, args.level)
        damage(wad)
        if bytes(wad.data) == original:
            failures.append("%s: the damage changed nothing" % name)
            continue
        open(os.path.join(args.work, "damaged.wad"), "wb").write(wad.data)
        result = run([args.check, "in.wad", "damaged.wad", args.level])
        if result.returncode != 1 or expected not in result.stdout:
            failures.append("%s: check_level exited %d without %r:\n%s" % (
                name, result.returncode, expected, result.stdout[:1500]))
        else:
            first = result.stdout.splitlines()[0]
            print("caught %s: %s" % (name, first))
    for failure in failures:
        print("FAILED " + failure)
    print("%d passed, %d failed" % (len(cases) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
