#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Whole-file benchmark: every level of a WAD rebuilt in one call
(level argument *) against one call per level, on the same PWAD copy of the
whole file, with wall time, CPU time and peak memory.

    bench/every-level.py [--vortane build-bench/vortane] [--wad freedoom2.wad] [--mode -8] [--repeat 3]

It is a benchmark, not a test; bench/README.md tells what the numbers mean.
"""

import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "support"))
from wadfile import directory  # noqa: E402

GNU_TIME = "/usr/bin/time"


def whole_pwad(wad, path):
    """The WAD copied as a PWAD, every lump kept; returns its level names."""
    with open(wad, "rb") as f:
        data = bytearray(f.read())
    data[0:4] = b"PWAD"
    with open(path, "wb") as f:
        f.write(data)
    names = [name for name, _, _ in directory(data)[1]]
    return [names[i] for i in range(len(names) - 1) if names[i + 1] == "THINGS"]


def measure(command, folder):
    """(wall seconds, CPU seconds, peak MiB) of one run, which must end with 0."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    run = subprocess.run([GNU_TIME, "-f", "%M"] + command, cwd=folder, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.monotonic() - started
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if run.returncode != 0:
        sys.exit("every-level: %s exited with %d" % (" ".join(command), run.returncode))
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, int(run.stderr.strip().splitlines()[-1]) / 1024.0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--vortane", default=os.path.join(REPO, "build-bench", "vortane"))
    parser.add_argument("--wad", default="/usr/share/games/doom/freedoom2.wad")
    parser.add_argument("--mode", default="-8")
    parser.add_argument("--repeat", type=int, default=3, help="runs of each; the minimum is kept")
    args = parser.parse_args()
    vortane = os.path.abspath(args.vortane)
    if not os.path.exists(vortane):
        build = os.path.dirname(vortane)
        subprocess.run(["cmake", "-S", REPO, "-B", build, "-G", "Ninja", "-DBUILD_TESTING=OFF"], check=True)
        subprocess.run(["cmake", "--build", build, "--target", "vortane"], check=True)
    if not os.path.exists(GNU_TIME):
        sys.exit("every-level: %s is missing (apt-get install time)" % GNU_TIME)

    folder = tempfile.mkdtemp(prefix="vortane-every-level-")
    try:
        levels = whole_pwad(args.wad, os.path.join(folder, "in.wad"))
        one_call, per_level = [], []
        for _ in range(args.repeat):
            one_call.append(measure([vortane, "in.wad", "out.wad", "*", args.mode, "-", "L"], folder))
            runs = [measure([vortane, "in.wad", "out.wad", level, args.mode, "-", "L"], folder) for level in levels]
            per_level.append((sum(r[0] for r in runs), sum(r[1] for r in runs), max(r[2] for r in runs)))
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    best = lambda results, k: min(r[k] for r in results)  # noqa: E731
    print("%s, %d levels, mode %s, best of %d; load average %.2f" % (
        os.path.basename(args.wad), len(levels), args.mode, args.repeat, os.getloadavg()[0]))
    print()
    print("| calls | wall s | CPU s | peak MiB |")
    print("|---|---|---|---|")
    print("| one call, `*` | %.2f | %.2f | %.1f |" % tuple(best(one_call, k) for k in range(3)))
    print("| one call per level (%d) | %.2f | %.2f | %.1f (largest) |" % (
        (len(levels),) + tuple(best(per_level, k) for k in range(3))))
    print()
    print("one call / one call per level: %.2f of the wall time, %.2f of the CPU time" % (
        best(one_call, 0) / best(per_level, 0), best(one_call, 1) / best(per_level, 1)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
