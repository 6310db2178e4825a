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
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wadfile import (DOOM_LINEDEF_SIZE, LEVEL_LUMPS, NODE_SIZE, SEG_SIZE, SUBSECTOR_SIZE,  # noqa: E402
                     VERTEX_SIZE, directory, put16, s16, u16)

# Records in 16-bit words, as Wad.get and Wad.put count.
SEG_WORDS = SEG_SIZE // 2
LINEDEF_WORDS = DOOM_LINEDEF_SIZE // 2
NODE_WORDS = NODE_SIZE // 2
SUBSECTOR_WORDS = SUBSECTOR_SIZE // 2
VERTEX_WORDS = VERTEX_SIZE // 2


class Wad:
    def __init__(self, data, level):
        self.data = bytearray(data)
        entries = directory(self.data)[1]
        marker = [name for name, _, _ in entries].index(level)
        self.lumps = {}
        for k, name in enumerate(LEVEL_LUMPS):
            got, position, size = entries[marker + 1 + k]
            assert got == name
            self.lumps[name] = (position, size)

    def get(self, lump, word, signed=False):
        position, _ = self.lumps[lump]
        return (s16 if signed else u16)(self.data, position + 2 * word)

    def put(self, lump, word, value):
        position, _ = self.lumps[lump]
        put16(self.data, position + 2 * word, value)

    def count(self, lump, record):
        return self.lumps[lump][1] // record


def mutations(wad):
    """(name, expected text in check_level's output, function that damages a Wad)."""
    segs = wad.count("SEGS", SEG_SIZE)
    nodes = wad.count("NODES", NODE_SIZE)
    vertexes = wad.count("VERTEXES", VERTEX_SIZE)
    root = nodes - 1
    seg_with_offset = next(s for s in range(segs) if wad.get("SEGS", SEG_WORDS * s + 5) > 0)
    lines = wad.count("LINEDEFS", DOOM_LINEDEF_SIZE)
    two_sided_seg = next(s for s in range(segs)
                         if wad.get("LINEDEFS", LINEDEF_WORDS * wad.get("SEGS", SEG_WORDS * s + 3) + 6) != 0xFFFF
                         and wad.get("SEGS", SEG_WORDS * s + 4) == 0)
    # The first block list that holds a linedef, from the block offsets.
    columns, rows = wad.get("BLOCKMAP", 2), wad.get("BLOCKMAP", 3)
    first_list = min(wad.get("BLOCKMAP", 4 + b) for b in range(columns * rows)
                     if wad.get("BLOCKMAP", 4 + b) != columns * rows + 4)

    def swap_root(w):
        right, left = w.get("NODES", NODE_WORDS * root + 12), w.get("NODES", NODE_WORDS * root + 13)
        w.put("NODES", NODE_WORDS * root + 12, left)
        w.put("NODES", NODE_WORDS * root + 13, right)

    def shrink_box(w):
        right_edge = NODE_WORDS * root + 7  # of the right box
        w.put("NODES", right_edge, w.get("NODES", right_edge, True) - 8)

    def bend_angle(w):
        w.put("SEGS", SEG_WORDS * 5 + 2, w.get("SEGS", SEG_WORDS * 5 + 2) + 300)

    def shift_offset(w):
        w.put("SEGS", SEG_WORDS * seg_with_offset + 5, w.get("SEGS", SEG_WORDS * seg_with_offset + 5) + 20)

    def wrong_vertex(w):
        w.put("SEGS", 1, w.get("SEGS", SEG_WORDS * (segs // 2) + 1))

    def move_cut_point(w):
        x = VERTEX_WORDS * (vertexes - 1)
        w.put("VERTEXES", x, w.get("VERTEXES", x, True) + 16)

    def drop_from_subsector(w):
        subsector = next(s for s in range(w.count("SSECTORS", SUBSECTOR_SIZE))
                         if w.get("SSECTORS", SUBSECTOR_WORDS * s) > 1)
        w.put("SSECTORS", SUBSECTOR_WORDS * subsector, w.get("SSECTORS", SUBSECTOR_WORDS * subsector) - 1)

    def wrong_block_entry(w):
        w.put("BLOCKMAP", first_list + 1, (w.get("BLOCKMAP", first_list + 1) + lines // 2) % lines)

    def flip_reject(w):
        position, size = w.lumps["REJECT"]
        w.data[position + size // 2] ^= 0x10

    def linedef_flags(w):
        w.put("LINEDEFS", LINEDEF_WORDS * 3 + 2, w.get("LINEDEFS", LINEDEF_WORDS * 3 + 2) ^ 0x0040)

    def move_thing(w):
        position, _ = w.lumps["THINGS"]
        w.data[position] ^= 1

    def other_side(w):
        # The seg keeps its place but claims the linedef's other side.
        base = SEG_WORDS * two_sided_seg
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
