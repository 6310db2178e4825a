# SPDX-License-Identifier: GPL-2.0-or-later
"""WAD files for the integration tests: written from (name, bytes) lumps and
read back as such."""

import struct
import zlib


def write_wad(path, lumps, identification=b"PWAD"):
    """A WAD of the given (name, bytes) lumps, the directory at the end."""
    data = b""
    directory = b""
    offset = 12
    for name, body in lumps:
        directory += struct.pack("<ii", offset, len(body)) + name.encode().ljust(8, b"\0")
        data += body
        offset += len(body)
    with open(path, "wb") as f:
        f.write(identification + struct.pack("<ii", len(lumps), 12 + len(data)) + data + directory)


def read_lumps(path):
    """[(name, bytes)] of every directory entry, in order."""
    with open(path, "rb") as f:
        return parse_lumps(f.read())


def parse_lumps(data):
    """[(name, bytes)] of every directory entry of a WAD held in memory."""
    _, count, offset = struct.unpack_from("<4sii", data, 0)
    lumps = []
    for i in range(count):
        pos, size, name = struct.unpack_from("<ii8s", data, offset + 16 * i)
        lumps.append((name.split(b"\0", 1)[0].decode("latin-1"), data[pos:pos + size]))
    return lumps


def inflate_nodes(lumps):
    """The lumps with a ZNOD NODES lump inflated to "ZNOD" and its stream:
    deflated bytes may differ between zlib versions, the stream may not."""
    return [(n, b[:4] + zlib.decompress(b[4:]) if n == "NODES" and b[:4] == b"ZNOD" else b) for n, b in lumps]
