#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Turns the binary levels of a WAD into UDMF levels, for tests of the
TEXTMAP reader on real maps: each level of the input becomes

    marker, TEXTMAP, [BEHAVIOR, [SCRIPTS]], ENDMAP

in a new PWAD, in the input's order; other lumps are left out. A level is
in the Hexen format when BEHAVIOR follows its lumps; it gets the namespace
"hexen" and keeps BEHAVIOR and SCRIPTS, the others get "doom".

    wad_to_udmf.py [--scale F] [--levels MAP01,E1M1] input.wad output.wad

Every field of the records is carried over: things (type, position,
angle, flags as the UDMF booleans; Hexen's tid, height, special and
arguments), linedefs (flags as booleans, the special, the tag as id or
Hexen's activation and arguments), sidedefs (offsets, textures, sector),
sectors (heights, flats, light, special, tag). --scale multiplies the x
and y of every vertex and thing by F, a decimal number, so that they
become fractional; the product is written with every decimal it has, so
the value in the text is exact and a reader's rounding to 1/65536 is the
only one. Exits 1 with a message when a level cannot be written.
"""

import argparse
import fractions
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import wadfile  # noqa: E402

# The fixed-point range that engines read coordinates in.
FIXED_LIMIT = 32768
NO_SIDEDEF = 0xFFFF

# Flag bits and the UDMF booleans they become; a bit may stand for more
# than one (a Doom skill bit covers two skills).
DOOM_THING_FLAGS = ((1, ("skill1", "skill2")), (2, ("skill3",)), (4, ("skill4", "skill5")), (8, ("ambush",)),
                    (128, ("friend",)))
# Doom's "not in ..." bits are cleared to say that a thing is there.
DOOM_THING_ABSENT = ((16, "single"), (32, "dm"), (64, "coop"))
HEXEN_THING_FLAGS = DOOM_THING_FLAGS[:4] + ((16, ("dormant",)), (32, ("class1",)), (64, ("class2",)),
                                            (128, ("class3",)), (256, ("single",)), (512, ("coop",)),
                                            (1024, ("dm",)))
LINE_FLAGS = ((1, "blocking"), (2, "blockmonsters"), (4, "twosided"), (8, "dontpegtop"), (16, "dontpegbottom"),
              (32, "secret"), (64, "blocksound"), (128, "dontdraw"), (256, "mapped"))
DOOM_LINE_FLAGS = LINE_FLAGS + ((512, "passuse"),)
HEXEN_LINE_FLAGS = LINE_FLAGS + ((512, "repeatspecial"),)
# Hexen's activation, bits 10-12 of the flags.
HEXEN_ACTIVATIONS = ("playercross", "playeruse", "monstercross", "impact", "playerpush", "missilecross")


class ConvertError(Exception):
    pass


def decimal_text(value):
    """The exact decimal of a Fraction whose denominator has no factor but
    2 and 5, with at least one digit after the point."""
    digits = 1
    while (value * 10 ** digits).denominator != 1:
        digits += 1
        if digits > 400:
            raise ConvertError("%s has no finite decimal" % value)
    scaled = abs(value.numerator * 10 ** digits // value.denominator)
    whole, fraction = divmod(scaled, 10 ** digits)
    return "%s%d.%s" % ("-" if value < 0 else "", whole, str(fraction).rjust(digits, "0"))


def quoted(raw):
    """A lump's 8-byte name as a UDMF string."""
    name = raw.split(b"\0", 1)[0].decode("latin-1")
    return '"%s"' % name.replace("\\", "\\\\").replace('"', '\\"')


class Writer:
    def __init__(self, scale):
        self.scale = scale
        self.lines = []

    def block(self, kind, number, fields):
        self.lines.append("%s // %d\n{\n" % (kind, number))
        self.lines.extend("%s = %s;\n" % field for field in fields)
        self.lines.append("}\n\n")

    def coordinate(self, value, what):
        scaled = value * self.scale
        # The reader's bound: within fixed point once rounded to 1/65536.
        if not -FIXED_LIMIT - fractions.Fraction(1, 131072) < scaled < FIXED_LIMIT - fractions.Fraction(1, 131072):
            raise ConvertError("%s %s scaled is outside the fixed-point range" % (what, value))
        return decimal_text(scaled)


def flag_fields(flags, table):
    return [(name, "true") for bit, names in table if flags & bit for name in
            (names if isinstance(names, tuple) else (names,))]


def args_fields(args):
    return [("arg%d" % k, str(a)) for k, a in enumerate(args) if a]


def write_things(out, data, hexen):
    size = wadfile.HEXEN_THING_SIZE if hexen else wadfile.DOOM_THING_SIZE
    for n in range(len(data) // size):
        at = n * size
        if hexen:
            tid, x, y, height, angle, kind, flags = (wadfile.s16(data, at + 2 * k) for k in range(7))
            special, args = data[at + 14], data[at + 15:at + 20]
        else:
            x, y, angle, kind, flags = (wadfile.s16(data, at + 2 * k) for k in range(5))
        fields = [("x", out.coordinate(x, "thing x")), ("y", out.coordinate(y, "thing y")),
                  ("angle", str(angle)), ("type", str(kind))]
        if hexen:
            fields[2:2] = [("height", str(height))]
            if tid:
                fields.insert(0, ("id", str(tid)))
            fields += flag_fields(flags, HEXEN_THING_FLAGS)
            if special:
                fields.append(("special", str(special)))
            fields += args_fields(args)
        else:
            fields += flag_fields(flags, DOOM_THING_FLAGS)
            fields += [(name, "true") for bit, name in DOOM_THING_ABSENT if not flags & bit]
        out.block("thing", n, fields)


def write_vertexes(out, data):
    for n in range(len(data) // wadfile.VERTEX_SIZE):
        at = n * wadfile.VERTEX_SIZE
        out.block("vertex", n, [("x", out.coordinate(wadfile.s16(data, at), "vertex x")),
                                ("y", out.coordinate(wadfile.s16(data, at + 2), "vertex y"))])


def write_linedefs(out, data, hexen):
    size = wadfile.HEXEN_LINEDEF_SIZE if hexen else wadfile.DOOM_LINEDEF_SIZE
    for n in range(len(data) // size):
        at = n * size
        v1, v2, flags = wadfile.u16(data, at), wadfile.u16(data, at + 2), wadfile.u16(data, at + 4)
        front, back = wadfile.u16(data, at + size - 4), wadfile.u16(data, at + size - 2)
        if front == NO_SIDEDEF:
            raise ConvertError("linedef %d has no front sidedef" % n)
        fields = [("v1", str(v1)), ("v2", str(v2)), ("sidefront", str(front))]
        if back != NO_SIDEDEF:
            fields.append(("sideback", str(back)))
        if hexen:
            fields += flag_fields(flags, HEXEN_LINE_FLAGS)
            activation = (flags >> 10) & 7
            if data[at + 6] and activation < len(HEXEN_ACTIVATIONS):
                fields.append((HEXEN_ACTIVATIONS[activation], "true"))
            if data[at + 6]:
                fields.append(("special", str(data[at + 6])))
            fields += args_fields(data[at + 7:at + 12])
        else:
            fields += flag_fields(flags, DOOM_LINE_FLAGS)
            special, tag = wadfile.s16(data, at + 6), wadfile.s16(data, at + 8)
            if special:
                fields.append(("special", str(special)))
            if tag:
                fields.append(("id", str(tag)))
        out.block("linedef", n, fields)


def write_sidedefs(out, data):
    for n in range(len(data) // wadfile.SIDEDEF_SIZE):
        at = n * wadfile.SIDEDEF_SIZE
        fields = [("offsetx", str(wadfile.s16(data, at))), ("offsety", str(wadfile.s16(data, at + 2)))]
        fields = [f for f in fields if f[1] != "0"]
        for k, key in enumerate(("texturetop", "texturebottom", "texturemiddle")):
            fields.append((key, quoted(data[at + 4 + 8 * k:at + 12 + 8 * k])))
        fields.append(("sector", str(wadfile.u16(data, at + wadfile.SIDEDEF_SECTOR_OFFSET))))
        out.block("sidedef", n, fields)


def write_sectors(out, data):
    for n in range(len(data) // wadfile.SECTOR_SIZE):
        at = n * wadfile.SECTOR_SIZE
        fields = [("heightfloor", str(wadfile.s16(data, at))), ("heightceiling", str(wadfile.s16(data, at + 2))),
                  ("texturefloor", quoted(data[at + 4:at + 12])), ("textureceiling", quoted(data[at + 12:at + 20])),
                  ("lightlevel", str(wadfile.s16(data, at + 20)))]
        special, tag = wadfile.s16(data, at + 22), wadfile.s16(data, at + 24)
        if special:
            fields.append(("special", str(special)))
        if tag:
            fields.append(("id", str(tag)))
        out.block("sector", n, fields)


def textmap(lumps, hexen, scale):
    out = Writer(scale)
    out.lines.append('namespace = "%s";\n\n' % ("hexen" if hexen else "doom"))
    write_things(out, lumps["THINGS"], hexen)
    write_vertexes(out, lumps["VERTEXES"])
    write_linedefs(out, lumps["LINEDEFS"], hexen)
    write_sidedefs(out, lumps["SIDEDEFS"])
    write_sectors(out, lumps["SECTORS"])
    return "".join(out.lines).encode("latin-1")


def levels(lumps):
    """(marker, {name: bytes}) of every binary level, in order: a marker
    is an entry followed by THINGS; its lumps are the level lumps, BEHAVIOR
    and SCRIPTS that follow it."""
    own = set(wadfile.LEVEL_LUMPS) | {wadfile.BEHAVIOR, wadfile.SCRIPTS}
    found = []
    for k in range(len(lumps) - 1):
        if lumps[k + 1][0] != "THINGS":
            continue
        members = {}
        for name, blob in lumps[k + 1:]:
            if name not in own or name in members:
                break
            members[name] = blob
        found.append((lumps[k][0], members))
    return found


def convert(lumps, scale, wanted=None):
    """The lumps of the UDMF PWAD."""
    out = []
    for marker, members in levels(lumps):
        if wanted is not None and marker not in wanted:
            continue
        missing = [n for n in ("THINGS", "LINEDEFS", "SIDEDEFS", "VERTEXES", "SECTORS") if n not in members]
        if missing:
            raise ConvertError("%s has no %s" % (marker, ", ".join(missing)))
        hexen = wadfile.BEHAVIOR in members
        try:
            out += [(marker, b""), ("TEXTMAP", textmap(members, hexen, scale))]
        except ConvertError as e:
            raise ConvertError("%s: %s" % (marker, e))
        out += [(n, members[n]) for n in (wadfile.BEHAVIOR, wadfile.SCRIPTS) if n in members]
        out.append(("ENDMAP", b""))
    return out


def main():
    parser = argparse.ArgumentParser(description="Turns the binary levels of a WAD into UDMF levels.")
    parser.add_argument("--scale", default="1", help="multiplies vertex and thing x and y (a decimal number)")
    parser.add_argument("--levels", help="the levels to convert, comma-separated (default: all)")
    parser.add_argument("input")
    parser.add_argument("output")
    args = parser.parse_args()
    try:
        scale = fractions.Fraction(args.scale)
    except ValueError:
        parser.error("--scale needs a decimal number, not %r" % args.scale)
    wanted = set(args.levels.upper().split(",")) if args.levels else None
    source = wadfile.read_lumps(args.input)
    left = (wanted or set()) - {marker for marker, members in levels(source)}
    if left:
        sys.exit("wad_to_udmf: no level %s in %s" % (", ".join(sorted(left)), args.input))
    try:
        lumps = convert(source, scale, wanted)
    except ConvertError as e:
        sys.exit("wad_to_udmf: %s" % e)
    if not lumps:
        sys.exit("wad_to_udmf: no level to convert in %s" % args.input)
    wadfile.write_wad(args.output, lumps)


if __name__ == "__main__":
    main()
