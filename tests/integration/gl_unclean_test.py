#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""GL builds of levels that are not clean, and of one that is.

Each level below is built with --nodes=xgl3, --nodes=xgln and
--nodes=znod,zgl3. The build must end with the exit code the level calls
for, vortane-check must report exactly the findings its geometry calls for,
and the GL stream, decoded here, must hold what any GL tree holds: a tree
that reaches each node and subsector once, polygons of three segs or more
covering the level's area, partners that pair up, and the same tree in
every form.

Builds that do not yet give what is right are listed in KNOWN with what they
give instead; such a build passes only while it gives exactly that, so that
its entry is dropped once it is mended.

  gl_unclean_test.py --vortane BIN --check BIN [--keep DIR]

--keep writes the inputs and outputs into DIR and leaves them there (they
are also left, and named, when a build fails).
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wadfile import read_lumps, write_wad  # noqa: E402


class Level:
    """A level in the DOOM format, drawn wall by wall. Every side of every
    wall gets a sidedef of its own."""

    def __init__(self):
        self.vertexes, self.lines, self.sides, self.sectors = [], [], [], []
        self.placed = {}

    def sector(self, floor=0, ceiling=128, special=0, tag=0):
        self.sectors.append((floor, ceiling, special, tag))
        return len(self.sectors) - 1

    def vertex(self, x, y):
        """A vertex of its own, even where another one stands."""
        self.vertexes.append((x, y))
        return len(self.vertexes) - 1

    def at(self, point):
        """The vertex at a point, shared by every wall that names it."""
        if isinstance(point, int):
            return point
        if point not in self.placed:
            self.placed[point] = self.vertex(*point)
        return self.placed[point]

    def wall(self, a, b, right, left=None, special=0):
        sides = []
        for sector in (right, left):
            if sector is None:
                sides.append(0xFFFF)
            else:
                self.sides.append(sector)
                sides.append(len(self.sides) - 1)
        flags = 1 if left is None else 4  # impassable, or two-sided
        self.lines.append((self.at(a), self.at(b), flags, special, sides[0], sides[1]))
        return len(self.lines) - 1

    def room(self, points, sector):
        """One-sided walls through the points, clockwise: their right sides face in."""
        for k, a in enumerate(points):
            self.wall(a, points[(k + 1) % len(points)], sector)

    def lumps(self, start):
        texture = b"STARTAN3"
        return [
            ("MAP01", b""),
            ("THINGS", struct.pack("<hhhhh", start[0], start[1], 90, 1, 7)),
            ("LINEDEFS", b"".join(struct.pack("<HHHHHHH", a, b, f, s, 0, r, l) for a, b, f, s, r, l in self.lines)),
            ("SIDEDEFS", b"".join(struct.pack("<hh8s8s8sH", 0, 0, b"-", b"-", texture, s) for s in self.sides)),
            ("VERTEXES", b"".join(struct.pack("<hh", x, y) for x, y in self.vertexes)),
            ("SEGS", b""), ("SSECTORS", b""), ("NODES", b""),
            ("SECTORS", b"".join(struct.pack("<hh8s8shhh", f, c, b"FLOOR4_8", b"CEIL3_5", 160, s, t)
                                 for f, c, s, t in self.sectors)),
            ("REJECT", bytes((len(self.sectors) ** 2 + 7) // 8)),
            ("BLOCKMAP", b""),
        ]


def box(x1, y1, x2, y2):
    """A rectangle's corners, clockwise."""
    return [(x1, y1), (x1, y2), (x2, y2), (x2, y1)]


# ---------------------------------------------------------------- the levels

def unclosed_room():
    level = Level()
    room = level.sector()
    corners = box(0, 0, 256, 256)
    for k in range(3):  # no wall from (256,0) back to (0,0)
        level.wall(corners[k], corners[k + 1], room)
    return level, (128, 128)


def self_referencing_line():
    level = Level()
    room = level.sector()
    level.room(box(0, 0, 256, 256), room)
    level.wall((128, 64), (128, 192), room, room)
    return level, (64, 128)


def deep_water():
    # The classic trick: the pool's outline has the pool's sector on both
    # sides, standing in the room's sector, so that the engine draws the
    # room's floor over the pool's and the player sinks into it.
    level = Level()
    room, pool = level.sector(), level.sector(floor=-64)
    level.room(box(0, 0, 512, 512), room)
    corners = box(128, 128, 384, 384)
    for k, a in enumerate(corners):
        level.wall(a, corners[(k + 1) % 4], pool, pool)
    return level, (64, 64)


def same_ends():
    level = Level()
    room = level.sector()
    level.room(box(0, 0, 256, 256), room)
    level.wall((64, 64), (192, 192), room, room)
    level.wall((64, 64), (192, 192), room, room)
    return level, (64, 192)


def collinear_overlap():
    level = Level()
    room = level.sector()
    level.room(box(0, 0, 256, 256), room)
    level.wall((32, 128), (160, 128), room, room)
    level.wall((96, 128), (224, 128), room, room)
    return level, (64, 64)


def zero_length_walls():
    level = Level()
    room = level.sector()
    level.room(box(0, 0, 256, 256), room)
    level.wall(level.vertex(64, 64), level.vertex(64, 64), room, room)
    middle = level.vertex(128, 192)
    level.wall(middle, middle, room, room)
    return level, (64, 128)


def wall_in_room():
    level = Level()
    room = level.sector()
    level.room(box(0, 0, 256, 256), room)
    level.wall((64, 128), (192, 128), room)
    return level, (128, 64)


def whole_range():
    # The room spans every coordinate a vertex can hold. Its two diagonals
    # cross at (-0.5,-0.5), a point of no whole coordinates; a pillar and a
    # short slanted wall stand in it.
    level = Level()
    room = level.sector()
    level.room(box(-32768, -32768, 32767, 32767), room)
    level.wall((-32768, -32768), (32767, 32767), room, room)
    level.wall((-32768, 32767), (32767, -32768), room, room)
    level.room(box(-1024, 8192, 1024, 10240)[::-1], room)  # counter-clockwise: the pillar faces out
    level.wall((20000, -30000), (30000, -20001), room, room)
    return level, (0, -16384)


def clean_rooms():
    # Three rooms in a row, each joined to the next by a door 64 wide whose
    # faces open it (special 1, the door behind them); a pillar stands in
    # the middle room.
    level = Level()
    rooms = [level.sector() for _ in range(3)]
    doors = [level.sector(ceiling=0) for _ in range(2)]
    for k, room in enumerate(rooms):
        x = 320 * k
        corners = [(x, 0), (x, 96), (x, 160), (x, 256), (x + 256, 256), (x + 256, 160), (x + 256, 96), (x + 256, 0)]
        for j, a in enumerate(corners):
            b = corners[(j + 1) % len(corners)]
            if j == 1 and k > 0:
                level.wall(a, b, room, doors[k - 1], special=1)
            elif j == 5 and k < 2:
                level.wall(a, b, room, doors[k], special=1)
            else:
                level.wall(a, b, room)
    level.room(box(416, 96, 480, 160)[::-1], rooms[1])  # a pillar in the middle room, facing out
    for k, door in enumerate(doors):
        x = 320 * k + 256
        level.wall((x, 160), (x + 64, 160), door)
        level.wall((x + 64, 96), (x, 96), door)
    return level, (128, 128)


# ------------------------------------------------------------ what each gives

def exact(line):
    return re.escape(line)


# A miniseg with nothing beyond it; the seg's ends are given beside it.
NO_PARTNER = r"SSECTORS (?P<seg>\d+): warning: GL seg (?P=seg), a miniseg, has no partner: nothing lies beyond it"

# name, level, vortane's exit code, the area the polygons cover (None where
# the walls do not enclose one), and vortane-check's findings without the
# level's name: (pattern, count, ends), each pattern matching `count` lines
# and every line matching one; where ends are given, the GL seg the line
# names runs from the first point to the second.
CASES = [
    # The sides start at (0,0) and end at (256,0), and nothing joins the
    # two: the first such point is named. The polygon is closed along the
    # gap by a miniseg with nothing beyond it, along no partition line: the
    # room is one subsector under no node, and a node along the gap would
    # leave a subsector of minisegs alone beyond it.
    ("unclosed", unclosed_room, 0, None, [
        (exact("SECTORS 0: warning: sector 0 does not close: 1 more of its sides start at (0,0) than end there"),
         1, None),
        (NO_PARTNER, 1, ((256, 0), (0, 0))),
        (r"SSECTORS (?P<seg>\d+): warning: GL seg (?P=seg), a miniseg of subsector \d+, runs \(256,0\)-\(0,0\) "
         r"along no partition line above it, where sector 0 does not close", 1, ((256, 0), (0, 0)))]),
    # Both sides face the room: they close, enclose nothing, and partner
    # each other across the cut along the line.
    ("self-referencing line", self_referencing_line, 0, 256 ** 2, []),
    # Each of the pool's four outer sides (sector 1) shares a subsector with
    # room walls (sector 0). The pool's sides cancel and enclose nothing, yet
    # its square is a subsector of its own; the room's walls enclose the
    # whole 512 x 512, of which its subsectors lack at least that square.
    ("deep water", deep_water, 0, 512 ** 2, [
        (r"SSECTORS (?P<s>\d+): warning: GL subsector (?P=s) mixes sectors ([01]) and (?!\2)[01] \(GL seg \d+\)", 4,
         None),
        (r"SECTORS 0: warning: the GL subsectors of sector 0 cover \d+\.0000 square units, "
         r"its sides enclose 262144\.0000", 1, None),
        (r"SECTORS 1: warning: the GL subsectors of sector 1 cover \d+\.0000 square units, "
         r"its sides enclose 0\.0000", 1, None)]),
    # One of the two copies gets the segs; both of the other's sides go
    # without.
    ("same ends", same_ends, 0, 256 ** 2, [
        (r"LINEDEFS (?P<l>[45]): warning: the %s side of linedef (?P=l) has no GL seg: "
         r"linedef (?!(?P=l))[45] has the same end points" % side, 1, None) for side in ("right", "left")]),
    # Over the shared stretch (96..160) only one wall each way can be a
    # polygon's edge: the other two sides go without, and so does the
    # partner of each side that is there.
    ("collinear overlap", collinear_overlap, 0, 256 ** 2, [
        (exact("LINEDEFS 4: warning: the left side of linedef 4 is not covered from (160,128) to (96,128) (GL seg 5): "
               "linedef 5 lies over it"), 1, None),
        (exact("LINEDEFS 5: warning: the right side of linedef 5 is not covered from (96,128) to (160,128) "
               "(GL seg 14): linedef 4 lies over it"), 1, None),
        (r"SSECTORS (?P<seg>\d+): warning: GL seg (?P=seg), the left side of linedef 5, has no partner: "
         r"nothing lies beyond it", 1, ((160, 128), (96, 128))),
        (r"SSECTORS (?P<seg>\d+): warning: GL seg (?P=seg), the right side of linedef 4, has no partner: "
         r"nothing lies beyond it", 1, ((96, 128), (160, 128)))]),
    # Neither wall has a side to cover or a line to divide along.
    ("zero length", zero_length_walls, 0, 256 ** 2, []),
    # The wall's one side starts at (64,128), ends at (192,128), and nothing
    # joins them. Its line divides the room; the north half's edge along it
    # is a miniseg, and across the wall's stretch nothing lies beyond it.
    ("wall in room", wall_in_room, 0, 256 ** 2, [
        (exact("SECTORS 0: warning: sector 0 does not close: 1 more of its sides start at (64,128) than end "
               "there"), 1, None),
        (NO_PARTNER, 1, ((192, 128), (64, 128)))]),
    # 513 x 513 blocks: far past the 32000 a blockmap can hold, so BLOCKMAP
    # is the empty 8-byte lump and the exit code 254. The nodes are sound.
    ("whole range", whole_range, 254, 65535 ** 2 - 2048 ** 2, [
        (exact("BLOCKMAP -: header gives 0 columns and 0 rows"), 1, None)]),
    ("clean", clean_rooms, 0, 3 * 256 ** 2 + 2 * 64 * 64 - 64 * 64, []),
]

FORMS = ("xgl3", "xgln", "znod,zgl3")

# Builds that do not yet give what is right, and what they give instead:
# the findings beside the expected ones, or the exit code and the line of
# a refusal. The run fails when a build no longer does exactly this: then
# its entry goes.
KNOWN = {
    # The whole-unit tree takes a zero-length seg as a partition line.
    ("zero length", "znod,zgl3"): [(r"NODES \d+: node \d+ has a partition line of zero length", 1, None)],
}


# ------------------------------------------------------------ the GL stream

NONE = 0xFFFFFFFF  # no partner


class GlStream:
    """The stream in SSECTORS, decoded: points in 1/65536 units (VERTEXES
    first), seg counts, segs as (v1, partner, linedef or None, side), node
    lines as (x, y, dx, dy) and children."""

    def __init__(self, lumps):
        data = lumps["SSECTORS"]
        self.form = data[:4].decode("latin-1")
        body = zlib.decompress(data[4:]) if self.form.startswith("Z") else data[4:]
        self.at = 0

        def take(layout, count=1):
            values = []
            for _ in range(count):
                values.append(struct.unpack_from("<" + layout, body, self.at))
                self.at += struct.calcsize("<" + layout)
            return values

        self.original, count = take("II")[0]
        vertexes = lumps["VERTEXES"]
        self.points = [(x << 16, y << 16) for x, y in struct.iter_unpack("<hh", vertexes)] + take("ii", count)
        self.counts = [c for c, in take("I", take("I")[0][0])]
        narrow, none = self.form[1:] == "GLN", 0xFFFF if self.form[1:] == "GLN" else 0xFFFFFFFF
        self.segs = [(v, p, None if line == none else line, side)
                     for v, p, line, side in take("IIHB" if narrow else "IIIB", take("I")[0][0])]
        self.nodes = []
        for _ in range(take("I")[0][0]):
            line = take("iiii")[0] if self.form[3] == "3" else tuple(v << 16 for v in take("hhhh")[0])
            take("8h")
            self.nodes.append((line, take("II")[0]))
        self.fault = None
        if self.at != len(body) or self.original != len(vertexes) // 4:
            self.fault = "%d bytes after the nodes, %d original vertexes for %d in VERTEXES" % (
                len(body) - self.at, self.original, len(vertexes) // 4)
        elif sum(self.counts) != len(self.segs) or 0 in self.counts or any(
                v >= len(self.points) or (p != NONE and p >= len(self.segs)) for v, p, _, _ in self.segs):
            self.fault = "the seg counts do not add up, or a seg names a vertex or partner that does not exist"
        self.first = [sum(self.counts[:s]) for s in range(len(self.counts))]

    def ends(self, k):
        """Seg k's two points: it ends where the next seg of its subsector starts."""
        s = max(s for s in range(len(self.counts)) if self.first[s] <= k)
        after = self.first[s] + (k - self.first[s] + 1) % self.counts[s]
        return self.points[self.segs[k][0]], self.points[self.segs[after][0]]

    def tree(self):
        return self.points, self.counts, self.segs, self.nodes


def stream_faults(gl, lines, findings):
    """What any GL tree of the level must hold, against the decoded stream;
    `findings` are vortane-check's lines."""
    if any(line is not None and line >= len(lines) for _, _, line, _ in gl.segs):
        return ["a seg names a linedef that does not exist"]
    faults = []
    # Every node has two children and the root reaches each once.
    reached, stack = [], [len(gl.nodes) - 1] if gl.nodes else []
    subsectors = [] if gl.nodes else [0]
    while stack:
        node = stack.pop()
        reached.append(node)
        for child in gl.nodes[node][1]:
            if child & 0x80000000:
                subsectors.append(child & 0x7FFFFFFF)
            else:
                stack.append(child)
    if sorted(reached) != list(range(len(gl.nodes))) or sorted(subsectors) != list(range(len(gl.counts))):
        faults.append("the tree does not reach every node and subsector once")
    # A subsector of fewer than three segs encloses nothing, which the
    # checker must say.
    flat = {int(m.group(1)) for m in (re.match(r"SSECTORS (\d+): warning: GL subsector \d+ encloses no area", f)
                                      for f in findings) if m}
    thin = {s for s, count in enumerate(gl.counts) if count < 3}
    if not thin <= flat:
        faults.append("subsectors %s have fewer than 3 segs" % sorted(thin - flat))
    unpartnered = set()
    for k, (_, partner, line, side) in enumerate(gl.segs):
        if line is not None and lines[line][5 + side] == 0xFFFF:
            faults.append("GL seg %d lies on a side of linedef %d without a sidedef" % (k, line))
        two_sided = line is None or lines[line][6 - side] != 0xFFFF
        if partner == NONE:
            if two_sided:
                unpartnered.add(k)
            continue
        other = gl.segs[partner]
        if not two_sided or other[1] != k or (line is None) != (other[2] is None) or (
                line is not None and (other[2], other[3]) != (line, 1 - side)):
            faults.append("GL seg %d and its partner %d are not the two sides of one stretch" % (k, partner))
    named = {int(m.group(1)) for m in (re.match(r"SSECTORS (\d+): warning: GL seg \d+, .* has no partner", f)
                                       for f in findings) if m}
    if unpartnered != named:
        faults.append("segs %s have no partner, the checker names %s" % (sorted(unpartnered), sorted(named)))
    # Minisegs pair with minisegs: where every one has a partner, their
    # number is even.
    minisegs = {k for k, seg in enumerate(gl.segs) if seg[2] is None}
    if len(minisegs - unpartnered) % 2:
        faults.append("%d minisegs, %d of them without a partner" % (len(minisegs), len(minisegs & unpartnered)))
    return faults


def covered_area(gl):
    """The area of all polygons, in square units."""
    doubled = 0
    for k in range(len(gl.segs)):
        (x1, y1), (x2, y2) = gl.ends(k)
        doubled += y1 * x2 - x1 * y2
    return doubled / 2 / 65536 ** 2


# ------------------------------------------------------------ the runs

def run(command, cwd):
    return subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, errors="replace", timeout=60)


def match_findings(findings, expected, gl):
    """What differs between the lines and the expected (pattern, count, ends)."""
    faults, left = [], list(findings)
    for pattern, count, ends in expected:
        hits = [line for line in left if re.fullmatch(pattern, line)]
        if len(hits) != count:
            faults.append("%d lines match %r, not %d" % (len(hits), pattern, count))
        for line in hits:
            left.remove(line)
            seg = int(re.fullmatch(pattern, line).group("seg")) if ends else None
            if ends and gl.ends(seg) != tuple((x << 16, y << 16) for x, y in ends):
                faults.append("GL seg %d does not run from %s to %s" % (seg, ends[0], ends[1]))
    faults += ["unexpected: " + line for line in left]
    return faults


def judge(name, form, work, stem, exit_code, area, expected, streams):
    """The faults of one build of the case, and the stream it wrote."""
    out = "%s.%s.wad" % (stem, form.replace(",", "-"))
    built = run([ARGS.vortane, stem + ".wad", "-o", out, "--nodes=" + form], work)
    known = KNOWN.get((name, form), [])
    if isinstance(known, tuple):
        exit_code, refusal = known
        if built.returncode != exit_code or refusal not in built.stdout:
            return ["vortane exited %d without %r:\n%s" % (built.returncode, refusal, built.stdout)]
        return []
    if built.returncode != exit_code or re.search("error", built.stdout, re.I):
        return ["vortane exited %d, not %d:\n%s" % (built.returncode, exit_code, built.stdout)]
    checked = run([ARGS.check, out], work)
    report = checked.stdout.splitlines()
    if not report or not report[-1].startswith("MAP01: "):
        return ["vortane-check exited %d:\n%s" % (checked.returncode, checked.stdout)]
    findings = [line[len("MAP01 "):] for line in report[:-1]]
    lumps = dict(read_lumps(os.path.join(work, out)))
    try:
        gl = GlStream(lumps)
    except (struct.error, zlib.error, UnicodeDecodeError) as error:
        return ["SSECTORS does not decode: %s" % error]
    if gl.fault:
        return [gl.fault]
    streams[form] = gl
    lines = list(struct.iter_unpack("<HHHHHHH", lumps["LINEDEFS"]))
    faults = match_findings(findings, expected + known, gl) + stream_faults(gl, lines, findings)
    problems = sum("warning:" not in line for line in findings)
    summary = ("MAP01: %d problem%s, %d warning" % (problems, "" if problems == 1 else "s", len(findings) - problems)
               if problems else "MAP01: sound (")
    if not report[-1].startswith(summary) or checked.returncode != (1 if problems else 0):
        faults.append("vortane-check exited %d with %r" % (checked.returncode, report[-1]))
    if gl.form != form[-4:].upper():
        faults.append("SSECTORS holds %s" % gl.form)
    if form == "znod,zgl3" and lumps["NODES"][:4] != b"ZNOD":
        faults.append("NODES holds no ZNOD nodes")
    # Cut points may lie a few 1/65536 off slanted walls: a square unit or so.
    if area is not None and abs(covered_area(gl) - area) > 1 + 1e-9 * area:
        faults.append("the polygons cover %.4f square units, not %d" % (covered_area(gl), area))
    return faults


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--check", required=True)
    parser.add_argument("--keep")
    ARGS = parser.parse_args()
    ARGS.vortane, ARGS.check = os.path.abspath(ARGS.vortane), os.path.abspath(ARGS.check)
    work = os.path.abspath(ARGS.keep) if ARGS.keep else tempfile.mkdtemp(prefix="vortane-gl-")
    os.makedirs(work, exist_ok=True)
    passed, failed = 0, 0
    for name, make, exit_code, area, expected in CASES:
        level, start = make()
        stem = name.replace(" ", "-")
        write_wad(os.path.join(work, stem + ".wad"), level.lumps(start))
        streams = {}
        for form in FORMS:
            faults = judge(name, form, work, stem, exit_code, area, expected, streams)
            # The form changes how the tree is written, never the tree.
            if form != "xgl3" and form in streams and "xgl3" in streams and \
                    streams[form].tree() != streams["xgl3"].tree():
                faults.append("the tree differs from the XGL3 build's")
            note = " (known: %s)" % ("refused" if isinstance(KNOWN[(name, form)], tuple) else "findings") \
                if (name, form) in KNOWN else ""
            print("%s %s, %s%s" % ("FAIL" if faults else "ok", name, form, note))
            for fault in faults:
                print("    " + fault.replace("\n", "\n    "))
            failed += bool(faults)
            passed += not faults
    if failed:
        print("inputs and outputs kept in " + work)
    elif not ARGS.keep:
        shutil.rmtree(work)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


ARGS = None

if __name__ == "__main__":
    sys.exit(main())
