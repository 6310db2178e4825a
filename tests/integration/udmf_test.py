#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""UDMF levels through the command line.

    udmf_test.py --vortane V --check C --read-udmf R cases
    udmf_test.py --vortane V --check C --convert wad_to_udmf.py
                 [--extract extract_level] [--scale F] sweep WAD

`cases` runs the table of hand-made levels: one level in many valid
layouts gives one ZNODES, each bad input its message and no output, and
every lump but ZNODES comes through as it was. `sweep` converts every level
of WAD to UDMF (in the Hexen format first with --extract), rebuilds the
file, and wants vortane-check to find no problem and every other lump kept.
"""

import argparse
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import wadfile  # noqa: E402

GL_REFUSAL = ("Level MAP01 is a UDMF level: its nodes are GL nodes in ZNODES (xgln, xgl2, xgl3, zgln, zgl2 "
              "or zgl3), not %s")
GL_MAGICS = (b"XGLN", b"XGL2", b"XGL3", b"ZGLN", b"ZGL2", b"ZGL3")


def run_vortane(vortane, folder, arguments):
    """(exit code, the log's error message or None) of a logged run in folder."""
    log = os.path.join(folder, "VORTANE.LOG")
    if os.path.exists(log):
        os.remove(log)
    code = subprocess.run([vortane] + arguments + ["--log"], cwd=folder, capture_output=True).returncode
    with open(log, encoding="latin-1") as f:
        text = f.read()
    start = text.find("Error : ** ")
    return code, text[start + 11:text.rindex(" **")] if start >= 0 else None


def udmf_level(text, marker="MAP01", others=()):
    """The lumps of a UDMF level: marker, TEXTMAP, `others`, ENDMAP."""
    return [(marker, b""), ("TEXTMAP", text.encode())] + list(others) + [("ENDMAP", b"")]


def room_text(style):
    """A room with a pillar inside, two sectors, in the given layout:
    plain, or with comments, upper case, hex and octal numbers, odd
    whitespace or unknown keys and blocks. Every layout is the same map."""
    points = [(0, 0), (0, 256), (256, 256), (256, 0), (96, 96), (96, 160), (160, 160), (160, 96)]
    # Outer walls face in (sector 0 on the right); the pillar's sides are
    # two-sided, sector 0 outside, sector 1 inside.
    lines = [(0, 1, 0, -1), (1, 2, 1, -1), (2, 3, 2, -1), (3, 0, 3, -1),
             (4, 7, 4, 8), (7, 6, 5, 9), (6, 5, 6, 10), (5, 4, 7, 11)]
    sides = [0] * 8 + [1] * 4

    def number(n):
        if style == "numbers" and n > 0:
            return "0x%X" % n if n % 2 else "0%o" % n
        return str(n)

    key = (lambda k: k.upper()) if style == "upper" else (lambda k: k)
    gap = "\n\t  " if style == "spaces" else " "
    out = ["%s = \"doom\";" % key("namespace")]
    if style == "comments":
        out = ["// a room and its pillar", "/* the namespace\n   comes first */ namespace = \"doom\";"]
    if style == "unknown":
        out.append("comment = \"kept\"; mystery { a = 1; b = \"two\"; c = 3.5; }")
    for x, y in points:
        extra = " colorful = true;" if style == "unknown" else ""
        out.append("%s%s{%sx%s=%s%s;%sy = %s.0;%s }" % (key("vertex"), gap, gap, gap, gap, number(x), gap,
                                                          y, extra))
    for v1, v2, front, back in lines:
        text = "%s { v1 = %s; v2 = %s; sidefront = %s; " % (key("linedef"), number(v1), number(v2), number(front))
        if back >= 0:
            text += "sideback = %s; %s = %s; " % (number(back), key("twosided"), key("true"))
        if style == "comments":
            text += "/* a wall */ "
        out.append(text + "}")
    for sector in sides:
        out.append("%s { sector = %s; texturemiddle = \"STARTAN2\"; }" % (key("sidedef"), number(sector)))
    for floor in (0, 64):
        out.append("%s { heightfloor = %d; heightceiling = 128; texturefloor = \"FLAT1\"; "
                   "textureceiling = \"FLAT1\"; lightlevel = 160; }" % (key("sector"), floor))
    out.append("%s { x = 32.0; y = 32.0; type = 1; }" % key("thing"))
    if style == "unknown":
        out.append("strangeblock { nested = 0x10; }")
    return ("\r\n" if style == "spaces" else "\n").join(out) + "\n"


def lump(lumps, name):
    return next(data for entry, data in lumps if entry == name)


def check_cases(args, folder):
    problems = []
    inp, out = os.path.join(folder, "in.wad"), os.path.join(folder, "out.wad")

    def build(lumps, *options):
        wadfile.write_wad(inp, lumps)
        if os.path.exists(out):
            os.remove(out)
        return run_vortane(args.vortane, folder, ["in.wad", "-o", "out.wad"] + list(options))

    # One map in every layout: the same ZNODES bytes.
    first = None
    for style in ("plain", "comments", "upper", "numbers", "spaces", "unknown"):
        code, error = build(udmf_level(room_text(style)))
        if code != 0:
            problems.append("layout %s: exit %d, %s" % (style, code, error))
            continue
        nodes = lump(wadfile.read_lumps(out), "ZNODES")
        if first is None:
            first = nodes
        elif nodes != first:
            problems.append("layout %s gives other ZNODES bytes than the plain one" % style)

    # Every other lump as it was, in its order; ZNODES replaced and moved
    # right after TEXTMAP, in the form asked for; a binary level beside it
    # rebuilt as before.
    others = [("BEHAVIOR", b"\0behavior"), ("SCRIPTS", b"script text"), ("BLOCKMAP", b"old blockmap"),
              ("REJECT", b"\x01\x02"), ("ZNODES", b"XGLN old nodes"), ("DIALOGUE", b"talk"), ("XTRA", b"x")]
    around = [("FIRST", b"before"), ("LAST", b"after")]
    source = [around[0]] + udmf_level(room_text("plain"), others=others) + [around[1]]
    for form in ("", "xgln", "xgl2", "xgl3", "zgln", "zgl2", "zgl3"):
        code, error = build(source, *(["--nodes=" + form] if form else []))
        if code != 0:
            problems.append("lumps kept, --nodes=%s: exit %d, %s" % (form, code, error))
            continue
        written = wadfile.read_lumps(out)
        want = [entry for entry in source if entry[0] != "ZNODES"]
        got = [entry for entry in written if entry[0] != "ZNODES"]
        if got != want:
            problems.append("--nodes=%s: the lumps other than ZNODES changed" % form)
        names = [name for name, _ in written]
        if names[names.index("TEXTMAP") + 1] != "ZNODES" or names.count("ZNODES") != 1:
            problems.append("--nodes=%s: ZNODES is not once, right after TEXTMAP: %s" % (form, names))
        magic = lump(written, "ZNODES")[:4]
        if magic != (form or "xgl3").upper().encode():
            problems.append("--nodes=%s: ZNODES starts with %r" % (form, magic))
    # The classic call builds it too, as the option call does.
    wadfile.write_wad(inp, source)
    subprocess.run([args.vortane, "in.wad", "classic.wad", "MAP01"], cwd=folder, capture_output=True)
    build(source)
    with open(out, "rb") as a, open(os.path.join(folder, "classic.wad"), "rb") as b:
        if a.read() != b.read():
            problems.append("the classic call writes another file than the option call")

    # The checker finds the built level sound, and says when ZNODES is
    # missing or is no GL form.
    for what, nodes, want in (("built", None, "MAP01: sound"),
                              ("none", [], "MAP01 ZNODES -: missing: the UDMF level has no ZNODES"),
                              ("junk", [("ZNODES", b"XNOD")], "MAP01 ZNODES -: ZNODES holds no GL nodes")):
        path = out
        if nodes is not None:
            path = inp
            wadfile.write_wad(inp, udmf_level(room_text("plain"), others=nodes))
        report = subprocess.run([args.check, path], capture_output=True, text=True).stdout
        if not report.startswith(want):
            problems.append("vortane-check on the level %s: %r, expected %r..." % (what, report, want))

    # Each bad input: its message, exit code 10, and no output.
    def reader_message(text):
        path = os.path.join(folder, "map.txt")
        with open(path, "w") as f:
            f.write(text)
        line = subprocess.run([args.read_udmf, path], capture_output=True, text=True).stdout.strip()
        return line[len("TEXTMAP: "):]

    good = room_text("plain")
    parse_error = good.replace("v2 = 2;", "v2 = 2", 1)
    missing_vertex = good.replace("v2 = 2;", "v2 = 8;", 1)
    bad = [
        ("a parse error", udmf_level(parse_error), [], reader_message(parse_error)),
        ("an empty TEXTMAP", udmf_level(""), [], reader_message("")),
        ("a missing vertex", udmf_level(missing_vertex), [], reader_message(missing_vertex)),
        ("no ENDMAP", udmf_level(good)[:-1], [], "Level MAP01 has no ENDMAP lump"),
        ("vanilla", udmf_level(good), ["--nodes=vanilla"], GL_REFUSAL % "vanilla"),
        ("a pair", udmf_level(good), ["--nodes=znod,zgl3"], GL_REFUSAL % "znod,zgl3"),
    ]
    for what, lumps, options, message in bad:
        for level in (["--map=MAP01"], []):
            code, error = build(lumps, *(options + level))
            # A whole-file run names the level before the message.
            want = message if level else "MAP01: " + message
            if what in ("no ENDMAP", "vanilla", "a pair"):
                want = message
            if code != 10 or error != want:
                problems.append("%s %s: exit %d, %r; expected 10, %r" % (what, level, code, error, want))
            if os.path.exists(out):
                problems.append("%s %s: an output was written" % (what, level))
    return problems


def check_sweep(args, folder):
    problems = []
    source = args.wad
    if args.extract:
        source = os.path.join(folder, "hexen.wad")
        subprocess.run([args.extract, "--hexen", "--whole", args.wad, source], check=True)
    inp, out = os.path.join(folder, "udmf.wad"), os.path.join(folder, "out.wad")
    subprocess.run([sys.executable, args.convert, "--scale", args.scale, source, inp], check=True)
    code, error = run_vortane(args.vortane, folder, ["udmf.wad", "-o", "out.wad"])
    if code != 0:
        return ["vortane exits %d: %s" % (code, error)]
    before, after = wadfile.read_lumps(inp), wadfile.read_lumps(out)
    if [entry for entry in after if entry[0] != "ZNODES"] != before:
        problems.append("lumps other than ZNODES changed")
    names = [name for name, _ in after]
    for i, name in enumerate(names):
        if name == "TEXTMAP" and (i + 1 >= len(names) or names[i + 1] != "ZNODES"):
            problems.append("entry %d: TEXTMAP without ZNODES after it" % i)
        if name == "ZNODES" and after[i][1][:4] != b"XGL3":
            problems.append("entry %d: ZNODES is not XGL3" % i)
    check = subprocess.run([args.check, out], capture_output=True, text=True)
    if check.returncode != 0:
        problems += [line for line in check.stdout.splitlines() if "warning: " not in line]
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--check", required=True)
    parser.add_argument("--read-udmf")
    parser.add_argument("--convert")
    parser.add_argument("--extract")
    parser.add_argument("--scale", default="1")
    parser.add_argument("what", choices=("cases", "sweep"))
    parser.add_argument("wad", nargs="?")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        problems = check_cases(args, folder) if args.what == "cases" else check_sweep(args, folder)
    for problem in problems[:40]:
        print(problem)
    print("%d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
