#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""The WAD reader and writer of the tests and benchmarks: hand-made bytes
read as they are, written files laid out as vortane and map editors write
them, and the names and record sizes the same as the C++ side's in
format/wad_format.h.

    wadfile_test.py [unittest arguments]
"""

import os
import re
import struct
import sys
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import wadfile  # noqa: E402

FORMAT = os.path.join(HERE, "..", "..", "format")


def hand_made_wad():
    """A PWAD of three entries written field by field: a marker, a lump of
    four bytes, and a name of eight characters with no NUL."""
    data = b"\x01\x02\x03\x04" + b"ABCDEFGH"
    entries = [(12, 0, b"MAP01\0\0\0"), (12, 4, b"THINGS\0X"), (16, 8, b"LONGNAME")]
    directory = b"".join(struct.pack("<ii", pos, size) + name for pos, size, name in entries)
    return b"PWAD" + struct.pack("<ii", 3, 12 + len(data)) + data + directory


class ReadTest(unittest.TestCase):
    def test_directory_of_hand_made_bytes(self):
        ident, entries = wadfile.directory(hand_made_wad())
        self.assertEqual(ident, b"PWAD")
        # A name ends at its first NUL, whatever follows it.
        self.assertEqual(entries, [("MAP01", 12, 0), ("THINGS", 12, 4), ("LONGNAME", 16, 8)])

    def test_lumps_of_hand_made_bytes(self):
        self.assertEqual(wadfile.parse_lumps(hand_made_wad()),
                         [("MAP01", b""), ("THINGS", b"\x01\x02\x03\x04"), ("LONGNAME", b"ABCDEFGH")])

    def test_header_and_entry_positions(self):
        data = hand_made_wad()
        self.assertEqual(wadfile.header(data), (b"PWAD", 3, 24))
        self.assertEqual([wadfile.entry_at(data, i) for i in range(3)], [24, 40, 56])

    def test_words(self):
        data = bytearray(b"\x00\x80\xff\x7f\xfe\xff\xff\xff")
        cases = [  # (function, byte, value)
            (wadfile.u16, 0, 0x8000), (wadfile.s16, 0, -32768), (wadfile.u16, 2, 0x7FFF),
            (wadfile.s16, 2, 32767), (wadfile.s16, 4, -2), (wadfile.s32, 4, -2), (wadfile.s32, 0, 0x7FFF8000),
        ]
        for read, at, value in cases:
            with self.subTest(read=read.__name__, at=at):
                self.assertEqual(read(data, at), value)
        for value, stored in ((-1, b"\xff\xff"), (0x12345, b"\x45\x23"), (-32768, b"\x00\x80")):
            with self.subTest(put=value):
                wadfile.put16(data, 6, value)
                self.assertEqual(bytes(data[6:8]), stored)
                self.assertEqual(bytes(data[:6]), b"\x00\x80\xff\x7f\xfe\xff")

    def test_names(self):
        for name, stored in (("MAP01", b"MAP01\0\0\0"), (b"E1M1", b"E1M1\0\0\0\0"), ("LONGNAME", b"LONGNAME"),
                             ("TOOLONGNAME", b"TOOLONGN"), ("", b"\0" * 8)):
            with self.subTest(name=name):
                self.assertEqual(wadfile.name8(name), stored)


class WriteTest(unittest.TestCase):
    LUMPS = [("MAP01", b""), ("THINGS", b"\x01\x02"), ("SEGS", b""), ("NODES", b"\x03")]

    def test_packed_as_vortane_writes(self):
        data = wadfile.pack_wad(self.LUMPS)
        self.assertEqual(data[:12], b"PWAD" + struct.pack("<ii", 4, 15))
        self.assertEqual(data[12:15], b"\x01\x02\x03")
        # Every entry, empty ones too, where the data before it ends.
        self.assertEqual(wadfile.directory(data)[1], [("MAP01", 12, 0), ("THINGS", 12, 2), ("SEGS", 14, 0),
                                                      ("NODES", 14, 1)])
        self.assertEqual(len(data), 15 + 4 * 16)

    def test_empty_lumps_at_zero_as_editors_write(self):
        data = wadfile.pack_wad(self.LUMPS, b"IWAD", empty_at_zero=True)
        self.assertEqual(data[:4], b"IWAD")
        self.assertEqual(wadfile.directory(data)[1], [("MAP01", 0, 0), ("THINGS", 12, 2), ("SEGS", 0, 0),
                                                      ("NODES", 14, 1)])

    def test_round_trip_through_a_file(self):
        path = os.path.join(os.environ.get("TMPDIR", "/tmp"), "wadfile-test-%d.wad" % os.getpid())
        try:
            wadfile.write_wad(path, self.LUMPS)
            self.assertEqual(wadfile.read_lumps(path), self.LUMPS)
            self.assertEqual(wadfile.read_header(path), (b"PWAD", 4, 15))
        finally:
            os.remove(path)

    def test_inflate_nodes(self):
        stream = b"\x00\x01\x02\x03" * 10
        lumps = [("NODES", b"ZNOD" + zlib.compress(stream)), ("SEGS", b"ZNOD" + zlib.compress(b"x"))]
        self.assertEqual(wadfile.inflate_nodes(lumps), [("NODES", b"ZNOD" + stream), lumps[1]])
        plain = [("NODES", b"XNOD" + stream)]
        self.assertEqual(wadfile.inflate_nodes(plain), plain)


class SameFactsAsTheProgramTest(unittest.TestCase):
    """One fact, two languages: the Python side must say what the C++ side
    says, or a test would judge vortane's output by another format."""

    @classmethod
    def setUpClass(cls):
        with open(os.path.join(FORMAT, "wad_format.h")) as f:
            cls.header = f.read()
        with open(os.path.join(FORMAT, "wad_format.cpp")) as f:
            cls.source = f.read()

    def constant(self, name):
        found = re.search(r"constexpr int32_t %s = (\d+);" % name, self.header)
        self.assertIsNotNone(found, "%s is not in wad_format.h" % name)
        return int(found.group(1))

    def test_record_sizes(self):
        pairs = [
            ("WadHeaderSize", wadfile.HEADER_SIZE), ("LumpEntrySize", wadfile.ENTRY_SIZE),
            ("DoomThingSize", wadfile.DOOM_THING_SIZE), ("HexenThingSize", wadfile.HEXEN_THING_SIZE),
            ("DoomLineDefSize", wadfile.DOOM_LINEDEF_SIZE), ("HexenLineDefSize", wadfile.HEXEN_LINEDEF_SIZE),
            ("SideDefRecordSize", wadfile.SIDEDEF_SIZE), ("VertexRecordSize", wadfile.VERTEX_SIZE),
            ("SegRecordSize", wadfile.SEG_SIZE), ("SubsectorRecordSize", wadfile.SUBSECTOR_SIZE),
            ("NodeRecordSize", wadfile.NODE_SIZE), ("SectorRecordSize", wadfile.SECTOR_SIZE),
            ("SideDefSectorOffset", wadfile.SIDEDEF_SECTOR_OFFSET),
        ]
        for name, value in pairs:
            with self.subTest(name=name):
                self.assertEqual(self.constant(name), value)

    def test_level_lump_names(self):
        table = re.search(r"LevelLumpNames\[LevelLumpCount\] = \{([^}]*)\}", self.source)
        self.assertIsNotNone(table, "no LevelLumpNames table in wad_format.cpp")
        self.assertEqual(tuple(re.findall(r'"([A-Z]+)"', table.group(1))), wadfile.LEVEL_LUMPS)
        self.assertEqual(self.constant("LevelLumpCount"), len(wadfile.LEVEL_LUMPS))
        self.assertIn('BehaviorLumpName = "%s"' % wadfile.BEHAVIOR, self.source)


if __name__ == "__main__":
    unittest.main()
