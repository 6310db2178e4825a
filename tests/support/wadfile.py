# SPDX-License-Identifier: GPL-2.0-or-later
"""WAD files for the tests, the benchmarks and the scripts: the directory
and the lumps read, a WAD written from (name, bytes) lumps, the names and
record sizes of a level's lumps, little-endian words, and ZNOD nodes
inflated. Standard library only, so that the benchmarks run anywhere.

The C++ side keeps the same facts in format/wad_format.h.
"""

import struct
import zlib

# The header (identification, entry count, directory offset) and one
# directory entry (offset, size, name).
HEADER_SIZE = 12
ENTRY_SIZE = 16
NAME_SIZE = 8
IDENTIFICATIONS = (b"IWAD", b"PWAD")

# The ten lumps that follow a level's marker, in their standard order. A
# Hexen-format level has BEHAVIOR after them; map editors may add SCRIPTS,
# the source of BEHAVIOR.
LEVEL_LUMPS = ("THINGS", "LINEDEFS", "SIDEDEFS", "VERTEXES", "SEGS", "SSECTORS", "NODES", "SECTORS", "REJECT",
               "BLOCKMAP")
BEHAVIOR = "BEHAVIOR"
SCRIPTS = "SCRIPTS"

# Record sizes in bytes.
DOOM_THING_SIZE = 10
HEXEN_THING_SIZE = 20
DOOM_LINEDEF_SIZE = 14
HEXEN_LINEDEF_SIZE = 16
SIDEDEF_SIZE = 30
VERTEX_SIZE = 4
SEG_SIZE = 12
SUBSECTOR_SIZE = 4
NODE_SIZE = 28
SECTOR_SIZE = 26
# Where a sidedef names its sector.
SIDEDEF_SECTOR_OFFSET = 28


def u16(data, at):
    """The unsigned little-endian 16-bit word at byte `at`."""
    return struct.unpack_from("<H", data, at)[0]


def s16(data, at):
    """The signed little-endian 16-bit word at byte `at`."""
    return struct.unpack_from("<h", data, at)[0]


def s32(data, at):
    """The signed little-endian 32-bit word at byte `at`."""
    return struct.unpack_from("<i", data, at)[0]


def put16(data, at, value):
    """Stores the low 16 bits of `value` at byte `at` of a bytearray."""
    struct.pack_into("<H", data, at, value & 0xFFFF)


def name8(name):
    """A lump name as the directory holds it: eight bytes, NUL-padded."""
    raw = name if isinstance(name, bytes) else name.encode("latin-1")
    return raw.ljust(NAME_SIZE, b"\0")[:NAME_SIZE]


def entry_name(raw):
    """A directory name up to its first NUL."""
    return raw.split(b"\0", 1)[0].decode("latin-1")


def header(data):
    """(identification, entry count, directory offset) of a WAD's first 12 bytes."""
    return struct.unpack_from("<4sii", data, 0)


def read_header(path):
    with open(path, "rb") as f:
        return header(f.read(HEADER_SIZE))


def directory(data):
    """(identification, [(name, offset, size)]) of a WAD held in memory, in
    directory order. The identification is not judged: callers that care
    compare it with IDENTIFICATIONS."""
    ident, count, offset = header(data)
    entries = []
    for i in range(count):
        pos, size, name = struct.unpack_from("<ii8s", data, offset + ENTRY_SIZE * i)
        entries.append((entry_name(name), pos, size))
    return ident, entries


def entry_at(data, index):
    """Byte position of directory entry `index`, for changing it in place."""
    return header(data)[2] + ENTRY_SIZE * index


def parse_lumps(data):
    """[(name, bytes)] of every directory entry of a WAD held in memory."""
    return [(name, data[pos:pos + size]) for name, pos, size in directory(data)[1]]


def read_lumps(path):
    """[(name, bytes)] of every directory entry, in order."""
    with open(path, "rb") as f:
        return parse_lumps(f.read())


def pack_wad(lumps, identification=b"PWAD", empty_at_zero=False):
    """A WAD of the given (name, bytes) lumps, packed from offset 12 in
    order, the directory at the end. With `empty_at_zero`, empty lumps
    (markers) get offset 0, as map editors write them; otherwise the offset
    where the data before them ends, as vortane writes them."""
    body = bytearray()
    entries = bytearray()
    position = HEADER_SIZE
    for name, blob in lumps:
        entries += struct.pack("<ii", 0 if empty_at_zero and not blob else position, len(blob)) + name8(name)
        body += blob
        position += len(blob)
    return identification + struct.pack("<ii", len(lumps), position) + bytes(body) + bytes(entries)


def write_wad(path, lumps, identification=b"PWAD", empty_at_zero=False):
    """Writes pack_wad(lumps, ...) to path."""
    with open(path, "wb") as f:
        f.write(pack_wad(lumps, identification, empty_at_zero))


def inflate_nodes(lumps):
    """The lumps with a ZNOD NODES lump inflated to "ZNOD" and its stream:
    deflated bytes may differ between zlib versions, the stream may not."""
    return [(n, b[:4] + zlib.decompress(b[4:]) if n == "NODES" and b[:4] == b"ZNOD" else b) for n, b in lumps]
