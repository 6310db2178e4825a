#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Engines that read ZDoom's extended nodes play vortane's XNOD and ZNOD builds.

  extended_engines.py --demo WAD DEMO LEVEL [tools]
      builds LEVEL of WAD as vanilla, XNOD and ZNOD nodes (Turbo 8) and
      plays DEMO on each, headless: crispy-doom and woof as timedemos
      (each must finish the demo, and count the same gametics and say the
      same on standard error as on the vanilla build), dsda-doom without
      drawing, exporting the players' positions every tic (the ghost file
      of each extended build must equal the vanilla build's).

  extended_engines.py --demo WAD DEMO LEVEL --gl [tools]
      the same with a vanilla build and one with --nodes=znod,zgl3 (ZNOD in
      NODES, ZGL3 in SSECTORS, SEGS empty): engines that read ZNOD and not
      the GL forms must play it as they play the vanilla build.

  extended_engines.py --large [tools]
      makes 6 copies of freedoom2 MAP12 with shared sidedefs (65,304
      linedefs, over 32,768 vertexes) and builds it with --nodes=xnod, znod
      and auto: each exits 254 (the blockmap is too large for its 16-bit
      offsets) and check_level finds the rebuilt tree exact; ZNOD inflates
      to the XNOD stream of the same mode; --nodes=vanilla and the classic
      call refuse it. Then crispy-doom, dsda-doom and woof play 350 tics of
      walking and turning on it without an error.
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
from wadfile import DOOM_LINEDEF_SIZE, VERTEX_SIZE, read_lumps  # noqa: E402

ARGS = None
ENGINES = ("crispy-doom", "woof", "dsda-doom")


def engine_path(name):
    return shutil.which(name) or shutil.which(os.path.join("/usr/games", name))


def run(command, cwd, timeout=600, **kwargs):
    return subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, errors="replace", timeout=timeout, **kwargs)


class Playback:
    """One headless engine run; `finished` is the gametic count of its
    timing line, or None."""

    def __init__(self, engine, iwad, pwad, demo, work, ghost=None):
        home = os.path.join(work, "home")
        os.makedirs(home, exist_ok=True)
        environment = dict(os.environ, HOME=home, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
        command = [engine_path(engine), "-iwad", iwad, "-file", pwad, "-timedemo", demo, "-nosound", "-nomusic"]
        if engine == "dsda-doom" and ghost:
            command += ["-nodraw", "-export_ghost", ghost]
        self.step = run(command, work, timeout=300, env=environment)
        timed = re.search(r"^[Tt]imed (\d+) gametics", self.step.stdout + self.step.stderr, re.M)
        self.finished = int(timed.group(1)) if timed else None
        self.loaded = os.path.basename(pwad) in self.step.stdout + self.step.stderr
        # What the engine said besides its timing, the notes on the IWAD's
        # own DEHACKED lump, and the level line, which names the file and
        # the node format.
        self.remarks = sorted(line for line in self.step.stderr.splitlines()
                              if line.strip() and
                              not re.match(r"[Tt]imed |DEHACKED:\d+: warning:|P_LoadNodes: |P_SetupLevel: ", line))

    def describe(self):
        tail = (self.step.stdout + self.step.stderr).strip().splitlines()[-6:]
        return "exit code %d, finished %s:\n    %s" % (self.step.returncode, self.finished, "\n    ".join(tail))


def build(source, level, out, work, *options):
    shutil.copyfile(source, os.path.join(work, "in.wad"))
    return run([ARGS.vortane, "in.wad", out, level] + list(options), work)


def demo_test(wad, demo, level, forms):
    problems = []
    missing = [e for e in ENGINES if not engine_path(e)]
    if missing:
        return ["%s not installed (scripts/install-test-deps installs them)" % ", ".join(missing)]
    iwad = os.path.join(ARGS.freedoom, wad)
    work = tempfile.mkdtemp(prefix="vortane-xnod-")
    try:
        source = os.path.join(work, "level.wad")
        subprocess.run([ARGS.extract, iwad, level, source], check=True)
        lump = dict(read_lumps(iwad))[demo]
        demo_file = os.path.join(work, demo.lower() + ".lmp")
        with open(demo_file, "wb") as f:
            f.write(lump)
        builds = {}
        for nodes in ("vanilla",) + forms:
            out = nodes.replace(",", "-") + ".wad"
            step = build(source, level, out, work, "-8", "-", "L", "--nodes=" + nodes)
            if step.returncode != 0:
                return ["%s build exited with %d" % (nodes, step.returncode)]
            builds[nodes] = os.path.join(work, out)
        if "xnod" in builds and dict(read_lumps(builds["xnod"]))["NODES"][:4] != b"XNOD":
            problems.append("the xnod build holds no XNOD nodes")
        if "znod,zgl3" in builds:
            lumps = dict(read_lumps(builds["znod,zgl3"]))
            if lumps["NODES"][:4] != b"ZNOD" or lumps["SSECTORS"][:4] != b"ZGL3" or lumps["SEGS"]:
                problems.append("the znod,zgl3 build does not hold ZNOD in NODES, ZGL3 in SSECTORS and no SEGS")
        for engine in ENGINES:
            plays = {}
            for nodes, pwad in builds.items():
                ghost = os.path.join(work, "%s-%s.gst" % (engine, nodes.replace(",", "-"))) \
                    if engine == "dsda-doom" else None
                # dsda-doom finds a demo by its file; the others by its lump.
                plays[nodes] = Playback(engine, iwad, pwad, demo_file if ghost else demo.lower(), work, ghost)
            reference = plays["vanilla"]
            if reference.finished is None:
                problems.append("%s does not finish %s on the vanilla build: %s" % (engine, demo, reference.describe()))
                continue
            for nodes in forms:
                play = plays[nodes]
                if play.finished is None or not play.loaded:
                    problems.append("%s %s on the %s build: %s" % (engine, demo, nodes, play.describe()))
                elif play.finished != reference.finished:
                    problems.append("%s %s: %d gametics on %s, %d on vanilla" % (engine, demo, play.finished, nodes,
                                                                                 reference.finished))
                elif play.remarks != reference.remarks:
                    problems.append("%s %s on %s said %s" % (engine, demo, nodes, play.remarks))
                if engine == "dsda-doom":
                    with open(os.path.join(work, "dsda-doom-vanilla.gst"), "rb") as f:
                        want = f.read()
                    with open(os.path.join(work, "dsda-doom-%s.gst" % nodes.replace(",", "-")), "rb") as f:
                        got = f.read()
                    if len(want) < 100 or got != want:
                        problems.append("dsda-doom's players moved otherwise on the %s build of %s" % (nodes, level))
        if not problems:
            print("%s %s on %s: vanilla, %s played alike by %s" % (wad, demo, level, " and ".join(forms),
                                                                ", ".join(ENGINES)))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return problems


def walking_demo(path, level_number, tics=350):
    """A Doom 1.9 demo of one player on MAP level_number who walks and turns."""
    body = bytes([109, 2, 1, level_number, 0, 0, 0, 0, 0, 1, 0, 0, 0])
    for t in range(tics):
        walking = t % 70 < 35
        body += struct.pack("<bbBB", 10 if walking else 0, 0, 0 if walking else 4, 0)
    with open(path, "wb") as f:
        f.write(body + b"\x80")


def large_test():
    problems = []
    work = tempfile.mkdtemp(prefix="vortane-large-")
    try:
        source = os.path.join(work, "large.wad")
        subprocess.run([sys.executable, ARGS.make_large_level, "--copies", "6", "--share-sidedefs", source],
                       check=True)
        lumps = dict(read_lumps(source))
        if len(lumps["LINEDEFS"]) // DOOM_LINEDEF_SIZE != 65304 or len(lumps["VERTEXES"]) // VERTEX_SIZE <= 32768:
            return ["the large level is not past the limits"]
        builds = {}
        for name, nodes, mode in (("xnod", "xnod", "--mode=turbo"), ("znod", "znod", "--mode=final"),
                                  ("auto", "auto", "--mode=turbo"), ("xnod-final", "xnod", "--mode=final")):
            out = name + ".wad"
            shutil.copyfile(source, os.path.join(work, "in.wad"))
            step = run([ARGS.vortane, "in.wad", "-o", out, "--nodes=" + nodes, mode], work)
            if step.returncode != 254:
                problems.append("--nodes=%s %s exited with %d: %s" % (nodes, mode, step.returncode, step.stdout[-500:]))
                continue
            if nodes == "auto" and "Nodes written as XNOD: the level passes the vanilla limits" not in step.stdout:
                problems.append("--nodes=auto did not say it wrote XNOD: %s" % step.stdout[-500:])
            built = dict(read_lumps(os.path.join(work, out)))
            if len(built["BLOCKMAP"]) != 8 or built["SEGS"] or built["SSECTORS"]:
                problems.append("%s: BLOCKMAP, SEGS or SSECTORS is not as expected" % name)
            check = run([ARGS.check, "--no-blockmap", source, os.path.join(work, out), "MAP12"], work)
            if check.returncode != 0 or ("%s nodes)" % nodes.upper().replace("AUTO", "XNOD")) not in check.stdout:
                problems.append("check_level on the %s build: %s" % (name, check.stdout[-1500:]))
            builds[name] = built
        if "znod" in builds and "xnod-final" in builds:
            if zlib.decompress(builds["znod"]["NODES"][4:]) != builds["xnod-final"]["NODES"][4:]:
                problems.append("ZNOD does not inflate to the XNOD stream of the same mode")
        for call, refusal in ((["in.wad", "-o", "vanilla.wad", "--nodes=vanilla"], "Too many vertexes: "),
                              (["in.wad", "vanilla.wad", "MAP12", "-8", "-", "L"], "vertex in linedef -32189 not valid")):
            step = run([ARGS.vortane] + call, work)
            shown = step.stdout + (open(os.path.join(work, "VORTANE.LOG")).read() if "L" in call else "")
            if step.returncode != 10 or refusal not in shown:
                problems.append("%s: exit code %d, expected the refusal %r: %s" % (" ".join(call), step.returncode,
                                                                                  refusal, shown[-300:]))
        walk = os.path.join(work, "walk.lmp")
        walking_demo(walk, 12)
        iwad = os.path.join(ARGS.freedoom, "freedoom2.wad")
        for engine in ENGINES:
            if not engine_path(engine):
                problems.append("%s is not installed (scripts/install-test-deps installs it)" % engine)
                continue
            for name in ("xnod", "znod"):
                if name not in builds:
                    continue
                play = Playback(engine, iwad, os.path.join(work, name + ".wad"), walk, work)
                if play.finished != 350 or not play.loaded or any("error" in r.lower() for r in play.remarks):
                    problems.append("%s on the %s build of the large level: %s" % (engine, name, play.describe()))
        if not problems:
            print("6 copies of MAP12: XNOD, ZNOD and auto built, checked and played by %s" % ", ".join(ENGINES))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return problems


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--extract", required=True)
    parser.add_argument("--check", required=True, help="the check_level tool")
    parser.add_argument("--make-large-level", required=True)
    parser.add_argument("--freedoom", required=True)
    parser.add_argument("--demo", nargs=3, metavar=("WAD", "DEMO", "LEVEL"))
    parser.add_argument("--gl", action="store_true", help="play a znod,zgl3 build beside the vanilla one")
    parser.add_argument("--large", action="store_true")
    ARGS = parser.parse_args()
    forms = ("znod,zgl3",) if ARGS.gl else ("xnod", "znod")
    problems = demo_test(*ARGS.demo, forms) if ARGS.demo else large_test() if ARGS.large else ["--demo or --large"]
    for problem in problems:
        print("FAILED " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
