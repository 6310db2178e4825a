#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""The binary-to-UDMF converter, checked through the program's own TEXTMAP
reader: small Doom and Hexen levels built here, converted at scales that
make the coordinates fractional, must read back (read_udmf --dump) to the
records they were made from, with each coordinate rounded to 1/65536 as
the reader rounds it. With --freedoom, every level of the Freedoom IWADs
is converted and read instead.

    wad_to_udmf_test.py --read-udmf PATH [--freedoom FOLDER] [unittest arguments]
"""

import argparse
import fractions
import os
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import wadfile  # noqa: E402
import wad_to_udmf  # noqa: E402

CONVERTER = os.path.join(HERE, "wad_to_udmf.py")
READ_UDMF = None
FREEDOOM = None

VERTEXES = [(0, 0), (64, 0), (64, -96), (-32768, 32767), (17, -3)]
# v1, v2, flags, special, tag (Hexen: the five arguments), front, back
LINES = [(0, 1, 1, 0, 0, 0, 0xFFFF), (1, 2, 4 | 8, 11, 7, 1, 2), (2, 3, 0x0600 | 1, 80, 3, 3, 0xFFFF),
         (3, 4, 0, 0, 0, 4, 0xFFFF)]
SIDE_SECTORS = [0, 0, 1, 1, 0]
SECTORS = [(0, 128, 160, 0, 0), (-16, 96, 255, 9, 4)]  # floor, ceiling, light, special, tag


def name8(text):
    return text.encode("latin-1").ljust(8, b"\0")


def level_lumps(hexen):
    """The lumps of MAP01 in the binary format."""
    if hexen:
        things = b"".join(struct.pack("<7h6B", 5, 32, 32, 8, 90, 1, 0x7FF, 0, 1, 2, 3, 4, 5) for _ in range(2))
        lines = b"".join(struct.pack("<3H6B2H", v1, v2, flags, special & 0xFF, tag, 2, 0, 0, 5, front, back)
                         for v1, v2, flags, special, tag, front, back in LINES)
    else:
        things = b"".join(struct.pack("<5h", 32, 32, 90, 1, flags) for flags in (7, 0x70))
        lines = b"".join(struct.pack("<5h2H", v1, v2, flags, special, tag, front, back)
                         for v1, v2, flags, special, tag, front, back in LINES)
    sides = b"".join(struct.pack("<2h", 3, -4) + name8("TOP") + name8('B"\\') + name8("-") + struct.pack("<H", s)
                     for s in SIDE_SECTORS)
    vertexes = b"".join(struct.pack("<2h", x, y) for x, y in VERTEXES)
    sectors = b"".join(struct.pack("<2h", f, c) + name8("FLOOR") + name8("CEIL") + struct.pack("<3h", light, sp, tag)
                       for f, c, light, sp, tag in SECTORS)
    lumps = [("MAP01", b""), ("THINGS", things), ("LINEDEFS", lines), ("SIDEDEFS", sides),
             ("VERTEXES", vertexes), ("SEGS", b""), ("SSECTORS", b""), ("NODES", b""), ("SECTORS", sectors),
             ("REJECT", b""), ("BLOCKMAP", b"")]
    if hexen:
        lumps += [("BEHAVIOR", b"ACS\0behavior"), ("SCRIPTS", b"script 1 open {}")]
    return lumps


def fixed(value, scale):
    """value * scale in 1/65536 units, rounded to the nearest, halves away from zero."""
    units = fractions.Fraction(value) * scale * 65536
    whole = int(abs(units) + fractions.Fraction(1, 2))
    return -whole if units < 0 else whole


def expected_dump(hexen, scale):
    namespace = "hexen" if hexen else "doom"
    out = ['MAP01: namespace "%s", 5 vertexes, 4 linedefs, 5 sidedefs, 2 sectors, 2 things' % namespace]
    out += ["vertex %d %d %d" % (n, fixed(x, scale), fixed(y, scale)) for n, (x, y) in enumerate(VERTEXES)]
    for n, (v1, v2, flags, special, tag, front, back) in enumerate(LINES):
        back = -1 if back == 0xFFFF else back
        ident = -1 if hexen or tag == 0 else tag
        arg0 = tag if hexen else 0
        out.append("linedef %d %d %d %d %d %d %d %d %d" % (n, v1, v2, front, back, 1 if flags & 4 else 0,
                                                             special, ident, arg0))
    out += ["sidedef %d %d" % (n, s) for n, s in enumerate(SIDE_SECTORS)]
    out += ["sector %d %d %d %d %d" % (n, f, c, sp, tag) for n, (f, c, light, sp, tag) in enumerate(SECTORS)]
    return out


def run(*command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)
    return done.returncode, done.stdout, done.stderr


class ConverterTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def convert(self, lumps, *options):
        source, target = os.path.join(self.folder.name, "in.wad"), os.path.join(self.folder.name, "out.wad")
        wadfile.write_wad(source, lumps)
        code, out, err = run(sys.executable, CONVERTER, *options, source, target)
        self.assertEqual(code, 0, err)
        return target

    def test_levels_read_back_to_their_records_at_every_scale(self):
        for hexen in (False, True):
            # Exact halves of 1/65536 at the last scale.
            for scale in ("1", "0.3", "-0.99999", "0.00000762939453125"):
                with self.subTest(hexen=hexen, scale=scale):
                    target = self.convert(level_lumps(hexen), "--scale", scale)
                    code, out, err = run(READ_UDMF, "--dump", target)
                    self.assertEqual(code, 0, out + err)
                    self.assertEqual(out.splitlines(), expected_dump(hexen, fractions.Fraction(scale)))

    def test_lumps_and_fields_of_the_written_levels(self):
        lumps = wadfile.read_lumps(self.convert(level_lumps(True) + [("MAP02", b"")] + level_lumps(False)[1:]))
        self.assertEqual([name for name, blob in lumps],
                         ["MAP01", "TEXTMAP", "BEHAVIOR", "SCRIPTS", "ENDMAP", "MAP02", "TEXTMAP", "ENDMAP"])
        self.assertEqual(lumps[2][1], b"ACS\0behavior")
        hexen, doom = lumps[1][1].decode("latin-1"), lumps[6][1].decode("latin-1")
        # Flags become booleans, Hexen's activation one of its own; "not in"
        # bits of Doom things are cleared for where the thing appears.
        for text in ("blocking = true;", "twosided = true;", "dontpegtop = true;", "repeatspecial = true;",
                     "playeruse = true;", "arg1 = 2;", "arg4 = 5;", "height = 8;", "id = 5;", "dm = true;",
                     "dormant = true;", 'texturebottom = "B\\"\\\\";', "offsety = -4;", "lightlevel = 255;"):
            self.assertIn(text, hexen)
        for text in ("skill1 = true;\nskill2 = true;\nskill3 = true;\nskill4 = true;\nskill5 = true;\n"
                     "single = true;\ndm = true;\ncoop = true;\n}", "type = 1;\n}", "id = 7;", "special = 11;"):
            self.assertIn(text, doom)
        self.assertNotIn("repeatspecial", doom)

    def test_levels_option_and_refusals(self):
        lumps = level_lumps(False) + [("E1M1", b"")] + level_lumps(False)[1:]
        target = self.convert(lumps, "--levels", "e1m1")
        self.assertEqual([name for name, blob in wadfile.read_lumps(target)], ["E1M1", "TEXTMAP", "ENDMAP"])
        source = os.path.join(self.folder.name, "in.wad")
        for options, message in ((["--levels", "MAP09"], "no level MAP09"),
                                 (["--scale", "1.5"], "MAP01: vertex x -32768 scaled is outside"),
                                 (["--scale", "x"], "--scale needs a decimal number")):
            code, out, err = run(sys.executable, CONVERTER, *options, source, os.path.join(self.folder.name, "x"))
            self.assertNotEqual(code, 0)
            self.assertIn(message, err)


class FreedoomTest(unittest.TestCase):
    def test_every_level_converts_and_reads(self):
        if FREEDOOM is None:
            self.skipTest("no --freedoom folder")
        with tempfile.TemporaryDirectory() as folder:
            for wad in ("freedoom1.wad", "freedoom2.wad"):
                source = os.path.join(FREEDOOM, wad)
                binary = dict(wad_to_udmf.levels(wadfile.read_lumps(source)))
                for scale in ("1", "0.7"):
                    with self.subTest(wad=wad, scale=scale):
                        target = os.path.join(folder, "udmf.wad")
                        code, out, err = run(sys.executable, CONVERTER, "--scale", scale, source, target)
                        self.assertEqual(code, 0, err)
                        code, out, err = run(READ_UDMF, target)
                        self.assertEqual(code, 0, out + err)
                        lines = out.splitlines()
                        self.assertEqual(len(lines), len(binary))
                        for line in lines:
                            marker = line.split(":")[0]
                            members = binary[marker]
                            counts = (len(members["VERTEXES"]) // wadfile.VERTEX_SIZE,
                                      len(members["LINEDEFS"]) // wadfile.DOOM_LINEDEF_SIZE,
                                      len(members["SIDEDEFS"]) // wadfile.SIDEDEF_SIZE,
                                      len(members["SECTORS"]) // wadfile.SECTOR_SIZE,
                                      len(members["THINGS"]) // wadfile.DOOM_THING_SIZE)
                            self.assertEqual(line, '%s: namespace "doom", %d vertexes, %d linedefs, %d sidedefs, '
                                             '%d sectors, %d things' % ((marker,) + counts))


if __name__ == "__main__":
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--read-udmf", required=True)
    parser.add_argument("--freedoom")
    known, rest = parser.parse_known_args()
    READ_UDMF, FREEDOOM = known.read_udmf, known.freedoom
    unittest.main(argv=[sys.argv[0]] + rest)
