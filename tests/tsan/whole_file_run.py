#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""One whole-file run of vortane: every level of a Freedoom IWAD, turned
PWAD in a scratch folder (vortane refuses IWADs), rebuilt in one mode with
an option call. Passes when vortane exits with status 0 and writes its
output; under ThreadSanitizer a report ends the run with another status."""

import argparse
import os
import subprocess
import sys
import tempfile


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--wad", required=True, help="the IWAD")
    parser.add_argument("--mode", required=True, choices=("final", "turbo"))
    parser.add_argument("--weight", required=True)
    args = parser.parse_args()
    if not os.path.exists(args.wad):
        print("no " + args.wad)
        return 1
    with tempfile.TemporaryDirectory() as scratch:
        with open(args.wad, "rb") as f:
            data = f.read()
        source = os.path.join(scratch, "levels.wad")
        with open(source, "wb") as f:
            f.write(b"PWAD" + data[4:])
        output = os.path.join(scratch, "out.wad")
        # The scratch folder is the working one, for VORTANE.LOG.
        run = subprocess.run([os.path.abspath(args.vortane), source, "--mode=" + args.mode, "--weight=" + args.weight, "--log",
                              "-o", output], cwd=scratch, capture_output=True, text=True)
        if run.returncode != 0 or not os.path.exists(output):
            sys.stdout.write(run.stdout)
            sys.stdout.write(run.stderr)
            print("vortane exited with status %d" % run.returncode)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
