# SPDX-License-Identifier: GPL-2.0-or-later
"""WAD files for the integration tests: written from (name, bytes) lumps and
read back as such."""

import struct


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
        data = f.read()
    _, count, offset = struct.unpack_from("<4sii", data, 0)
    lumps = []
    for i in range(count):
        pos, size, name = struct.unpack_from("<ii8s", data, offset + 16 * i)
        lumps.append((name.split(b"\0", 1)[0].decode("latin-1"), data[pos:pos + size]))
    return lumps
