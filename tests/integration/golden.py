#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""The golden table: the exact bytes vortane writes, held still.

Every level of freedoom1.wad and freedoom2.wad in the eleven sweep modes,
the two Hexen conversions the sweeps make, and samples/sample.wad are built
in log mode, each level from a PWAD of its own, and the SHA-256 of each
output WAD is compared with the committed table, golden_outputs.txt. The
table also holds a short hash of every lump, so that a mismatch names the
first lump that differs.

The same levels and modes are built with extended nodes too (--nodes=xnod
and --nodes=znod, mode names "turbo8.xnod"). An XNOD build must decode to
the vanilla build's tree: the same vertexes, segs, subsectors and nodes. A
ZNOD build must inflate to the XNOD build's stream; since deflated bytes
may differ between zlib versions, its row hashes the lumps with NODES
inflated ("ZNOD" and the stream), never the file.

And with GL nodes (--nodes=xgln, xgl3, zgl3: "turbo8.xgl3"). Every XGLN and
XGL3 build must pass vortane-check, and keep every lump but VERTEXES, SEGS,
SSECTORS and NODES as the vanilla build writes it, with VERTEXES as the
XNOD build writes it (the linedefs' vertexes alone). A ZGL3 row (in Turbo 8
and Final 8) hashes the lumps with SSECTORS inflated and given the XGL3
magic, which must then be the XGL3 row's SSECTORS.

  golden.py --group NAME [tools]    build one group and compare (a ctest)
  golden.py --list-groups           the group names, one a line
  golden.py --write [tools]         rebuild every group and rewrite the table

The table changes only on purpose, through scripts/update-golden; the
commit that changes it says why.
"""

import argparse
import concurrent.futures
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wadfile import NODE_SIZE, SEG_SIZE, SUBSECTOR_SIZE, VERTEX_SIZE, inflate_nodes, name8, parse_lumps  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "golden_outputs.txt")

# name, argument 4, argument 5: the modes of the level sweeps.
MODES = [
    ("turbo1", "-1", "-"), ("turbo8", "-8", "-"), ("turbo24", "-24", "-"), ("turbo48", "-48", "-"),
    ("final0", "0", "-"), ("final8", "8", "-"), ("final24", "24", "-"), ("final48", "48", "-"),
    ("axisA", "8", "A"), ("axisV", "8", "V"), ("axisH", "8", "H"),
]

# source name, WAD file (relative to --freedoom-dir, or the sample), Hexen conversion.
SOURCES = [("freedoom1", "freedoom1.wad", False), ("freedoom2", "freedoom2.wad", False),
           ("sample", None, False)]
# The Hexen conversions, each in the one mode its sweep uses.
HEXEN_GROUPS = [("freedoom1-hexen", "freedoom1.wad", ("final8", "8", "-")),
                ("freedoom2-hexen", "freedoom2.wad", ("turbo24V", "-24", "V"))]
# The node formats besides the vanilla lumps.
EXTENDED = ["xnod", "znod"]
GL = ["xgln", "xgl3", "zgl3"]
# The deflated form is the XGL3 stream again, so two modes show that it is.
COMPRESSED_GL_MODES = ("turbo8", "final8")
# The lumps a GL build writes otherwise than the vanilla build.
GL_LUMPS = ("VERTEXES", "SEGS", "SSECTORS", "NODES")


def groups():
    """{group name: (source name, wad file or None, hexen, (mode, arg4, arg5), node format)}"""
    result = {}
    for nodes in [None] + EXTENDED + GL:
        suffix = "" if nodes is None else "." + nodes
        def wanted(mode):
            return nodes != "zgl3" or mode[0] in COMPRESSED_GL_MODES

        for source, wad, hexen in SOURCES:
            for mode in MODES:
                if wanted(mode):
                    result["%s_%s%s" % (source, mode[0], suffix)] = (source, wad, hexen, mode, nodes)
        for source, wad, mode in HEXEN_GROUPS:
            if wanted(mode):
                result["%s_%s%s" % (source, mode[0], suffix)] = (source, wad, True, mode, nodes)
    return result


def decode_xnod(lump):
    """(original vertex count, new vertexes, subsectors, segs, nodes) of an
    XNOD lump; subsectors as (count, first), children with bit 31 for a
    subsector."""
    assert lump[:4] == b"XNOD", "NODES does not start with XNOD"
    at = 4

    def take(fmt):
        nonlocal at
        values = struct.unpack_from(fmt, lump, at)
        at += struct.calcsize(fmt)
        return values

    original, added = take("<II")
    vertexes = [take("<ii") for _ in range(added)]
    subsectors, first = [], 0
    for _ in range(take("<I")[0]):
        count = take("<I")[0]
        subsectors.append((count, first))
        first += count
    segs = [take("<IIHB") for _ in range(take("<I")[0])]
    nodes = [take("<12h2I") for _ in range(take("<I")[0])]
    assert at == len(lump), "XNOD has %d bytes after its nodes" % (len(lump) - at)
    return original, vertexes, subsectors, segs, nodes


def extended_problems(vanilla, xnod):
    """How an XNOD build's lumps differ from the vanilla build's tree."""
    plain, extended = dict(vanilla), dict(xnod)
    try:
        original, added, subsectors, segs, nodes = decode_xnod(extended["NODES"])
    except (AssertionError, struct.error) as e:
        return [str(e)]
    problems = []
    vertexes = [struct.unpack_from("<hh", plain["VERTEXES"], at)
                for at in range(0, len(plain["VERTEXES"]), VERTEX_SIZE)]
    if extended["VERTEXES"] != plain["VERTEXES"][:VERTEX_SIZE * original] or original + len(added) != len(vertexes):
        problems.append("VERTEXES or the vertex counts differ")
    if [(x, y) for x, y in vertexes[original:]] != [(x >> 16, y >> 16) for x, y in added] or \
            any(x & 0xFFFF or y & 0xFFFF for x, y in added):
        problems.append("the cut points differ")
    if extended["SEGS"] or extended["SSECTORS"]:
        problems.append("SEGS or SSECTORS is not empty")
    want_segs = [struct.unpack_from("<6H", plain["SEGS"], at) for at in range(0, len(plain["SEGS"]), SEG_SIZE)]
    if [(a, b, line, side) for a, b, line, side in segs] != [(s[0], s[1], s[3], s[4]) for s in want_segs]:
        problems.append("the segs differ")
    want_subsectors = [struct.unpack_from("<2H", plain["SSECTORS"], at)
                       for at in range(0, len(plain["SSECTORS"]), SUBSECTOR_SIZE)]
    if subsectors != want_subsectors:
        problems.append("the subsectors differ")
    want_nodes = [struct.unpack_from("<12h2H", plain["NODES"], at) for at in range(0, len(plain["NODES"]), NODE_SIZE)]

    def child(value, flag):
        return ("subsector", value & (flag - 1)) if value & flag else ("node", value)

    if [(n[:12], child(n[12], 1 << 31), child(n[13], 1 << 31)) for n in nodes] != \
            [(n[:12], child(n[12], 1 << 15), child(n[13], 1 << 15)) for n in want_nodes]:
        problems.append("the nodes differ")
    for name in plain:
        if name not in ("VERTEXES", "SEGS", "SSECTORS", "NODES") and plain[name] != extended.get(name):
            problems.append("%s differs" % name)
    return problems


def lump_hashes(lumps):
    """[(name, short hash)] of every lump, in order."""
    return [(name, hashlib.sha256(body).hexdigest()[:12]) for name, body in lumps]


def lumps_digest(lumps):
    """A SHA-256 of the lumps alone, names and bytes, for rows whose file
    holds deflated bytes."""
    digest = hashlib.sha256()
    for name, body in lumps:
        digest.update(name8(name) + struct.pack("<I", len(body)) + body)
    return digest.hexdigest()


def inflate_gl_nodes(lumps):
    """The lumps with a ZGL3 SSECTORS lump inflated and given the XGL3 magic."""
    return [(n, b"XGL3" + zlib.decompress(b[4:]) if n == "SSECTORS" and b[:4] == b"ZGL3" else b) for n, b in lumps]


def gl_check_problems(args, path, level, form):
    """What vortane-check says of a GL build, when it is not sound."""
    checked = subprocess.run([args.check, path, level], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    summary = [line for line in checked.stdout.splitlines() if line.startswith(level + ": ")]
    if checked.returncode == 0 and summary and "sound" in summary[0] and (form.upper() + " nodes") in summary[0]:
        return []
    lines = [line for line in checked.stdout.splitlines() if "warning:" not in line][:5]
    return ["vortane-check exited with %d: %s" % (checked.returncode, " | ".join(lines))]


def build_group(name, args):
    """Builds every level of one group; returns ({(source, level, mode): row}, problems)."""
    source, wad, hexen, (mode, arg4, arg5), nodes = groups()[name]
    wad_path = args.sample if wad is None else os.path.join(args.freedoom_dir, wad)
    if not os.path.exists(wad_path):
        return {}, ["%s is missing (scripts/install-test-deps installs it)" % wad_path]
    rows, problems = {}, []
    work = tempfile.mkdtemp(prefix="vortane-golden-")
    try:
        levels_dir = os.path.join(work, "levels")
        os.makedirs(levels_dir)
        listed = subprocess.run([args.extract] + (["--hexen"] if hexen else []) + ["--all", wad_path, levels_dir],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if listed.returncode != 0 or not listed.stdout.split():
            return {}, ["extract_level found no level in %s: %s" % (wad_path, listed.stdout.strip())]
        run_dir = os.path.join(work, "run")
        os.makedirs(run_dir)
        def build(level, format_option):
            """The output of one run, or None (with the problem noted)."""
            shutil.copyfile(os.path.join(levels_dir, level + ".wad"), os.path.join(run_dir, "in.wad"))
            extra = [] if format_option is None else ["--nodes=" + format_option]
            run = subprocess.run([args.vortane, "in.wad", "out.wad", level, arg4, arg5, "L"] + extra, cwd=run_dir,
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 timeout=600)
            if run.returncode != 0:
                problems.append("%s %s %s: vortane %s exited with %d" % (source, level, mode, " ".join(extra),
                                                                         run.returncode))
                return None
            with open(os.path.join(run_dir, "out.wad"), "rb") as f:
                data = f.read()
            os.remove(os.path.join(run_dir, "out.wad"))
            return data

        key_mode = mode if nodes is None else mode + "." + nodes
        for level in listed.stdout.split():
            data = build(level, nodes)
            if data is None:
                continue
            lumps = parse_lumps(data)
            if nodes is None:
                rows[(source, level, key_mode)] = (hashlib.sha256(data).hexdigest(), lump_hashes(lumps))
                continue
            if nodes in GL:
                if nodes == "zgl3":
                    unpacked = inflate_gl_nodes(lumps)
                    rows[(source, level, key_mode)] = (lumps_digest(unpacked), lump_hashes(unpacked))
                    continue
                checked = os.path.join(run_dir, "checked.wad")
                with open(checked, "wb") as f:
                    f.write(data)
                problems += ["%s %s %s: %s" % (source, level, key_mode, p)
                             for p in gl_check_problems(args, checked, level, nodes)]
                rows[(source, level, key_mode)] = (hashlib.sha256(data).hexdigest(), lump_hashes(lumps))
                continue
            # The tree the extended nodes encode: the vanilla build's.
            reference = build(level, None if nodes == "xnod" else "xnod")
            if reference is None:
                continue
            if nodes == "xnod":
                found = extended_problems(parse_lumps(reference), lumps)
                rows[(source, level, key_mode)] = (hashlib.sha256(data).hexdigest(), lump_hashes(lumps))
            else:
                unpacked = inflate_nodes(lumps)
                xnod = dict(parse_lumps(reference))["NODES"]
                found = [] if dict(unpacked)["NODES"][4:] == xnod[4:] else ["ZNOD does not inflate to XNOD's stream"]
                rows[(source, level, key_mode)] = (lumps_digest(unpacked), lump_hashes(unpacked))
            problems += ["%s %s %s: %s" % (source, level, key_mode, p) for p in found]
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return rows, problems


def format_row(key, value):
    digest, lumps = value
    return " ".join(list(key) + [digest] + ["%s=%s" % lump for lump in lumps])


def read_table(path):
    rows = {}
    with open(path) as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split()
            lumps = [tuple(field.split("=", 1)) for field in fields[4:]]
            rows[tuple(fields[:3])] = (fields[3], lumps)
    return rows


def gl_table_problems(key, lumps, table, base_mode, nodes):
    """How a GL row's lumps differ from the vanilla, XNOD and XGL3 rows of
    the same level and mode in the table."""
    source, level, _ = key
    problems = []
    mine = dict(lumps)
    vanilla = dict(table.get((source, level, base_mode), ("", []))[1])
    xnod = dict(table.get((source, level, base_mode + ".xnod"), ("", []))[1])
    for lump, digest in mine.items():
        if lump in GL_LUMPS or lump not in vanilla:
            continue
        if digest != vanilla[lump]:
            problems.append("%s %s %s: %s differs from the vanilla build's" % (key + (lump,)))
    if "VERTEXES" in xnod and mine.get("VERTEXES") != xnod["VERTEXES"]:
        problems.append("%s %s %s: VERTEXES differs from the XNOD build's" % key)
    if nodes == "zgl3":
        xgl3 = dict(table.get((source, level, base_mode + ".xgl3"), ("", []))[1])
        if "SSECTORS" in xgl3 and mine.get("SSECTORS") != xgl3["SSECTORS"]:
            problems.append("%s %s %s: ZGL3 does not inflate to the XGL3 build's stream" % key)
    return problems


def compare(name, built, table):
    """The problems of one group's outputs against the table."""
    source, _, _, (mode, _, _), nodes = groups()[name]
    base_mode = mode
    mode = mode if nodes is None else mode + "." + nodes
    problems = []
    if nodes in GL:
        for key in sorted(built):
            problems += gl_table_problems(key, built[key][1], table, base_mode, nodes)
    expected = {key: value for key, value in table.items() if key[0] == source and key[2] == mode}
    for key in sorted(set(expected) - set(built)):
        problems.append("%s %s %s: in the table but not built" % key)
    for key in sorted(built):
        if key not in expected:
            problems.append("%s %s %s: built but not in the table" % key)
            continue
        (digest, lumps), (want_digest, want_lumps) = built[key], expected[key]
        if digest == want_digest:
            continue
        differing = [n for (n, h), (wn, wh) in zip(lumps, want_lumps) if n != wn or h != wh]
        if differing:
            where = "first differing lump %s" % differing[0]
        elif len(lumps) != len(want_lumps):
            where = "%d lumps, the table has %d" % (len(lumps), len(want_lumps))
        else:
            where = "every lump is the same: the header or directory differs"
        problems.append("%s %s %s: output differs from the golden table, %s" % (key + (where,)))
    return problems


HEADER = """\
# The golden table: SHA-256 of the output WAD of every level in every mode,
# then a short hash of each of its lumps. Checked by ctest -L golden;
# rewritten only by scripts/update-golden, in a commit that says why.
# source level mode sha256 lumps...
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list-groups", action="store_true")
    parser.add_argument("--group")
    parser.add_argument("--write", action="store_true")
    parser.add_argument("--vortane")
    parser.add_argument("--extract", help="the extract_level tool")
    parser.add_argument("--check", help="vortane-check, for the GL builds")
    parser.add_argument("--freedoom-dir", default="/usr/share/games/doom")
    parser.add_argument("--sample", default=os.path.join(HERE, "..", "..", "samples", "sample.wad"))
    parser.add_argument("--table", default=TABLE)
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    if args.list_groups:
        print("\n".join(groups()))
        return 0
    if not args.vortane or not args.extract or not args.check:
        parser.error("--vortane, --extract and --check are needed")
    args.vortane, args.extract, args.check, args.sample = (
        os.path.abspath(p) for p in (args.vortane, args.extract, args.check, args.sample))

    if args.group:
        if args.group not in groups():
            print("no group %s" % args.group)
            return 2
        built, problems = build_group(args.group, args)
        problems += compare(args.group, built, read_table(args.table))
        for problem in problems:
            print("FAILED " + problem)
        print("%s: %d outputs built, %d problems" % (args.group, len(built), len(problems)))
        return 1 if problems else 0

    if args.write:
        rows, problems = {}, []
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            for built, group_problems in pool.map(lambda name: build_group(name, args), groups()):
                rows.update(built)
                problems += group_problems
        for key, (_, lumps) in rows.items():
            base_mode, _, nodes = key[2].partition(".")
            if nodes in GL:
                problems += gl_table_problems(key, lumps, rows, base_mode, nodes)
        if problems:
            print("\n".join(problems))
            print("the table was not written")
            return 1
        base_modes = [mode[0] for mode in MODES + [g[2] for g in HEXEN_GROUPS]]
        all_modes = base_modes + ["%s.%s" % (mode, nodes) for nodes in EXTENDED + GL for mode in base_modes]
        mode_order = {mode: i for i, mode in enumerate(all_modes)}
        source_order = [s[0] for s in SOURCES] + [g[0] for g in HEXEN_GROUPS]
        keys = sorted(rows, key=lambda k: (source_order.index(k[0]), mode_order[k[2]], k[1]))
        with open(args.table, "w") as f:
            f.write(HEADER)
            for key in keys:
                f.write(format_row(key, rows[key]) + "\n")
        print("%d outputs written to %s" % (len(keys), args.table))
        return 0

    parser.error("one of --list-groups, --group or --write")


if __name__ == "__main__":
    sys.exit(main())
