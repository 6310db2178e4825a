#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Worst-case cost of the partition choice on pathological levels.

Levels made by tests/tools/make_nasty, in growing sizes:

  room      one sector, one room whose N walls follow a rough circle:
            nothing to cut, every seg tried against every other;
  parallel  N long two-sided walls side by side across one room;
  grid      N horizontal and N vertical walls crossing each other in one
            room: about N*N cuts, the seg count grows while dividing;
  collinear N walls end to end on one line, of two sectors in turn: each
            division peels one seg off, so the tree is N deep.

Each level is rebuilt by vortane in log mode (Turbo 8 by default) and, on
the same input, by zdbsp (plain nodes) and glbsp (GL and normal nodes), run
as black boxes. For each builder the wall time, CPU time and peak memory
(maximum resident set size, from GNU time) are printed as a Markdown table
with the segs it wrote, and for vortane the growth exponent between
successive sizes: log(t2/t1) / log(n2/n1) of the CPU time against the wall
count n.

This is a benchmark, not a test. See bench/README.md for the findings.

  bench/worst-case.py [--vortane build/vortane] [--make-nasty build/tests/tools/make_nasty]
                   [--kinds room,parallel,grid] [--sizes room=500,1000 ...] [--mode -8]
                   [--zdbsp none] [--glbsp none]
"""

import argparse
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "support"))
from wadfile import SEG_SIZE, directory  # noqa: E402

GNU_TIME = "/usr/bin/time"

DEFAULT_SIZES = {
    "room": [250, 500, 1000, 2000, 4000],
    "parallel": [125, 250, 500, 1000, 2000],
    "grid": [10, 20, 40, 80, 160],
    "collinear": [125, 250, 500, 1000, 2000],
}

# Walls (linedefs) of each generated level, for the growth exponent.
WALLS = {
    "room": lambda n: n,
    "parallel": lambda n: n + 4,
    "grid": lambda n: 2 * n + 4,
    "collinear": lambda n: n,
}


def find_binary(explicit, relative):
    if explicit:
        return explicit
    candidates = [os.path.join(REPO, "build", relative)]
    candidates += sorted(
        (os.path.join(REPO, d, relative) for d in os.listdir(REPO) if d.startswith("build")),
        key=lambda p: os.path.getmtime(p) if os.path.exists(p) else 0, reverse=True)
    for path in candidates:
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
    sys.exit("worst-case: no %s found; build it or name it with an option" % relative)


def run_once(command, folder, timeout):
    """Returns (exit code, wall s, cpu s, peak MiB) of one run in folder."""
    usage = os.path.join(folder, "usage.txt")
    if os.path.exists(os.path.join(folder, "out.wad")):
        os.remove(os.path.join(folder, "out.wad"))
    start = time.perf_counter()
    try:
        code = subprocess.run([GNU_TIME, "-o", usage, "-f", "%M %U %S"] + command, cwd=folder,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout", timeout, None, None
    wall = time.perf_counter() - start
    with open(usage) as f:
        fields = f.read().split()[-3:]
    return code, wall, float(fields[1]) + float(fields[2]), int(fields[0]) / 1024.0


def log_tail(folder):
    path = os.path.join(folder, "VORTANE.LOG")
    if not os.path.exists(path):
        return ""
    with open(path, errors="replace") as f:
        lines = [l.strip() for l in f if l.strip()]
    return lines[-1] if lines else ""


def lump_sizes(path):
    """{name: size} of the first entry of each name."""
    with open(path, "rb") as f:
        data = f.read()
    sizes = {}
    for name, _, size in directory(data)[1]:
        sizes.setdefault(name, size)
    return sizes


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--vortane")
    parser.add_argument("--make-nasty")
    parser.add_argument("--kinds", default="room,parallel,grid,collinear")
    parser.add_argument("--sizes", action="append", default=[],
                        help="KIND=N1,N2,... (repeatable); defaults: " +
                        "; ".join("%s=%s" % (k, ",".join(map(str, v))) for k, v in DEFAULT_SIZES.items()))
    parser.add_argument("--mode", default="-8", help="argument 4 of vortane (default -8, Turbo 8)")
    parser.add_argument("--timeout", type=float, default=600)
    parser.add_argument("--zdbsp", help="zdbsp binary (default: from PATH; 'none' to skip)")
    parser.add_argument("--glbsp", help="glbsp binary (default: from PATH; 'none' to skip)")
    args = parser.parse_args()

    if not os.path.exists(GNU_TIME):
        sys.exit("worst-case: %s is missing (Debian package time)" % GNU_TIME)
    vortane = os.path.abspath(find_binary(args.vortane, "vortane"))
    make_nasty = os.path.abspath(find_binary(args.make_nasty, os.path.join("tests", "tools", "make_nasty")))
    peers = []
    for name, explicit in (("zdbsp", args.zdbsp), ("glbsp", args.glbsp)):
        if explicit != "none" and (explicit or shutil.which(name)):
            peers.append((name, explicit or shutil.which(name)))
    sizes = dict(DEFAULT_SIZES)
    for item in args.sizes:
        kind, _, values = item.partition("=")
        sizes[kind] = [int(v) for v in values.split(",") if v]

    print("vortane: %s, mode %s; %s; load average %.2f %.2f %.2f" % (
        (vortane, args.mode, ", ".join("%s: %s" % p for p in peers) or "no other builder") + os.getloadavg()))
    print()
    print("Time in seconds (wall / CPU), peak memory in MiB, segs written; growth is vortane's CPU-time exponent.")
    print()
    header = ["level", "N", "walls", "vortane segs", "vortane wall / CPU s", "vortane MiB", "growth"]
    for name, _ in peers:
        header += ["%s segs" % name, "%s wall / CPU s" % name, "%s MiB" % name]
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    scratch = tempfile.mkdtemp(prefix="vortane-worst.")
    try:
        for kind in args.kinds.split(","):
            previous = None
            for n in sizes[kind]:
                folder = os.path.join(scratch, "%s-%d" % (kind, n))
                os.mkdir(folder)
                subprocess.run([make_nasty, "--" + kind, str(n), os.path.join(folder, "in.wad")], check=True)
                walls = WALLS[kind](n)
                code, wall, cpu, peak = run_once([vortane, "in.wad", "out.wad", "MAP01", args.mode, "-", "L"],
                                                 folder, args.timeout)
                cells = [kind, str(n), str(walls)]
                growth = ""
                if code in (0, 254):
                    cells.append(str(lump_sizes(os.path.join(folder, "out.wad")).get("SEGS", 0) // SEG_SIZE))
                    if previous and previous[1] > 0.05:
                        growth = "%.2f" % (math.log(cpu / previous[1]) / math.log(walls / previous[0]))
                else:
                    cells.append("exit %s (%s)" % (code, log_tail(folder)[:60]))
                cells += ["%.2f / %.2f" % (wall, cpu) if cpu is not None else "timeout",
                          "%.1f" % peak if peak is not None else "-", growth]
                for name, binary in peers:
                    if name == "zdbsp":
                        command = [binary, "-t", "-m", "MAP01", "-o", "out.wad", "in.wad"]
                    else:
                        command = [binary, "-normal", "-quiet", "-noprog", "in.wad", "-o", "out.wad"]
                    peer_code, peer_wall, peer_cpu, peer_peak = run_once(command, folder, args.timeout)
                    if peer_code == 0:
                        segs = str(lump_sizes(os.path.join(folder, "out.wad")).get("SEGS", 0) // SEG_SIZE)
                    else:
                        segs = "exit %s" % peer_code
                    cells += [segs, "%.2f / %.2f" % (peer_wall, peer_cpu) if peer_cpu is not None else "timeout",
                              "%.1f" % peer_peak if peer_peak is not None else "-"]
                print("| " + " | ".join(cells) + " |")
                sys.stdout.flush()
                if code not in (0, 254):
                    break
                previous = (walls, cpu)
                shutil.rmtree(folder)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
