#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Rebuilds every level of a whole WAD (turned into a PWAD) in one call, with
the level argument *, and compares the output level by level with one-level
runs of the same file: each level's marker and ten lumps byte for byte, every
other lump as in the input, and the log: the title and mode lines once, then
each level's loading, elapsed and saved lines, and the disk line last.

    every_level.py --vortane BIN --extract TOOL --wad FILE --mode M --axis A --work DIR

Exits 0 when everything agrees, 1 otherwise.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wadfile import LEVEL_LUMPS, read_lumps  # noqa: E402


def level_markers(lumps):
    """Indexes of the level markers: entries followed by THINGS, each level
    taking its ten lumps."""
    markers, i = [], 0
    while i + 1 < len(lumps):
        if lumps[i + 1][0] == "THINGS":
            markers.append(i)
            i += len(LEVEL_LUMPS) + 1
        else:
            i += 1
    return markers


def run(args, folder, *arguments):
    return subprocess.run([args.vortane] + list(arguments) + [args.mode, args.axis, "L"], cwd=folder,
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=900).returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    for option in ("--vortane", "--extract", "--wad", "--mode", "--axis", "--work"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    args.vortane, args.extract = os.path.abspath(args.vortane), os.path.abspath(args.extract)
    if not os.path.exists(args.wad):
        print("%s is missing (scripts/install-test-deps installs it)" % args.wad)
        return 1
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    subprocess.run([args.extract, "--whole", args.wad, os.path.join(args.work, "in.wad")], check=True)

    problems = []
    code = run(args, args.work, "in.wad", "all.wad", "*")
    if code != 0:
        print("FAILED: the whole-file run exited with %d" % code)
        return 1
    with open(os.path.join(args.work, "VORTANE.LOG"), encoding="latin-1") as f:
        log = f.read().split("\n")
    source = read_lumps(os.path.join(args.work, "in.wad"))
    output = read_lumps(os.path.join(args.work, "all.wad"))
    markers = level_markers(source)
    if [name for name, _ in output] != [name for name, _ in source]:
        problems.append("the output directory's names differ from the input's")

    # The log: four head lines, three per level, the disk line, the end.
    expected_lines = 4 + 3 * len(markers) + 2
    if len(log) != expected_lines or log[-1] != "" or not log[-2].startswith("Disk I/O    ...     "):
        problems.append("the log has %d lines, expected %d ending with the disk line" % (len(log), expected_lines))
    for k, marker in enumerate(markers):
        name = source[marker][0][:5]
        lines = log[4 + 3 * k:7 + 3 * k]
        if len(lines) < 3 or not re.fullmatch(r"Loading *\d+    %s PWAD : in\.wad" % name, lines[0]) \
                or not lines[1].startswith("Elapsed Time...") or lines[2] != "Saved          %s PWAD : all.wad" % name:
            problems.append("log lines of %s: %r" % (source[marker][0], lines))

    # Each level as a one-level run writes it; everything else as read.
    in_level = set()
    for marker in markers:
        level = source[marker][0]
        in_level.update(range(marker, marker + len(LEVEL_LUMPS) + 1))
        if run(args, args.work, "in.wad", "one.wad", level) != 0:
            problems.append("%s: the one-level run failed" % level)
            continue
        one = read_lumps(os.path.join(args.work, "one.wad"))
        for i in range(marker, marker + len(LEVEL_LUMPS) + 1):
            if output[i] != one[i]:
                problems.append("%s: entry %d (%s) differs from the one-level run" % (level, i, output[i][0]))
    for i, (name, data) in enumerate(source):
        if i not in in_level and output[i][1] != data:
            problems.append("entry %d (%s) outside the levels was changed" % (i, name))

    for problem in problems[:40]:
        print("FAILED " + problem)
    print("%s: %d levels in one call, %d problems" % (os.path.basename(args.wad), len(markers), len(problems)))
    if not problems:
        shutil.rmtree(args.work, ignore_errors=True)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
