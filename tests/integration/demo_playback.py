#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Plays a demo of the game on a level rebuilt by vortane.

Extracts LEVEL from the IWAD, rebuilds it with vortane in log mode, checks it
with check_level, then has chocolate-doom play DEMOn as a timedemo with the
rebuilt level loaded over the IWAD's own, headless (SDL's dummy video and
audio drivers). The engine draws every frame through the new nodes and moves
every thing through the new blockmap; a finished timedemo ends with
"timed N gametics in M realtics". An engine error, a crash or a hang fails.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys


def find_engine():
    for candidate in ("chocolate-doom", "/usr/games/chocolate-doom"):
        found = shutil.which(candidate)
        if found:
            return found
    return None


def tail(text, count=8):
    lines = [line for line in text.splitlines() if line.strip()]
    return "\n".join("    " + line for line in lines[-count:])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--extract", required=True)
    parser.add_argument("--check", required=True)
    parser.add_argument("--iwad", required=True)
    parser.add_argument("--level", required=True)
    parser.add_argument("--demo", required=True, help="demo lump, e.g. DEMO1")
    parser.add_argument("--mode", default="-8")
    parser.add_argument("--axis", default="-")
    parser.add_argument("--work", required=True)
    parser.add_argument("--timeout", type=int, default=300, help="seconds for the playback")
    parser.add_argument("--broken-builder", action="store_true",
                        help="--vortane is a stand-in that breaks the level: pass only if check_level reports "
                             "problems and the engine loads the level but does not finish the demo")
    args = parser.parse_args()
    for name in ("vortane", "extract", "check", "iwad", "work"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    engine = find_engine()
    if not engine:
        print("chocolate-doom is not installed (scripts/install-test-deps installs it)")
        return 1
    if not os.path.exists(args.iwad):
        print("%s is missing (scripts/install-test-deps installs it)" % args.iwad)
        return 1
    if os.path.isdir(args.work):
        shutil.rmtree(args.work)
    home = os.path.join(args.work, "home")  # the engine's configuration goes here
    os.makedirs(home)

    def run(command, **kwargs):
        return subprocess.run(command, cwd=args.work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, errors="replace", **kwargs)

    step = run([args.extract, args.iwad, args.level, "level.wad"])
    if step.returncode != 0:
        print("extract_level failed:\n" + tail(step.stderr))
        return 1

    builder = [args.vortane] if os.access(args.vortane, os.X_OK) else [sys.executable, args.vortane]
    step = run(builder + ["level.wad", "rebuilt.wad", args.level, args.mode, args.axis, "L"], timeout=300)
    if step.returncode != 0:
        log = os.path.join(args.work, "VORTANE.LOG")
        print("vortane exited with %d" % step.returncode)
        if os.path.exists(log):
            print(tail(open(log, encoding="latin-1").read()))
        return 1

    axis_root = ["--axis-root"] if args.axis[:1] in ("A", "V", "H") else []
    step = run([args.check] + axis_root + ["level.wad", "rebuilt.wad", args.level])
    if args.broken_builder:
        if step.returncode != 1:
            print("check_level did not report the broken %s (exit code %d)" % (args.level, step.returncode))
            return 1
    elif step.returncode != 0:
        print("check_level found problems in the rebuilt %s:\n%s" % (args.level, tail(step.stdout, 30)))
        return 1

    environment = dict(os.environ, HOME=home, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
    command = [engine, "-iwad", args.iwad, "-file", "rebuilt.wad", "-timedemo", args.demo.lower(),
               "-nosound", "-nomusic", "-nogui"]
    try:
        step = run(command, env=environment, timeout=args.timeout)
    except subprocess.TimeoutExpired:
        print("%s did not finish %s on the rebuilt %s in %d s" % (engine, args.demo, args.level, args.timeout))
        return 1
    verdict = judge(step, args)
    if args.broken_builder:
        if verdict == "failed":
            print("as expected, the engine could not play %s on the broken %s" % (args.demo, args.level))
            return 0
        print("the engine was expected to fail on the broken %s, but: %s" % (args.level, verdict))
        return 1
    return 0 if verdict == "played" else 1


def judge(step, args):
    """"played", "failed" (the engine did not finish the demo, or reported
    an error) or "not loaded" (it played without the rebuilt level)."""
    timed = re.search(r"timed (\d+) gametics in (\d+) realtics", step.stderr)
    if not timed:
        # A crash loses the engine's buffered standard output.
        print("%s of %s on the rebuilt %s did not finish (exit code %d)" % (
            args.demo, os.path.basename(args.iwad), args.level, step.returncode))
        print("  standard error:\n" + tail(step.stderr))
        print("  standard output:\n" + tail(step.stdout))
        return "failed"
    if not re.search(r"adding .*rebuilt\.wad", step.stdout) or not re.search(r"Playing demo", step.stdout):
        print("the engine did not load rebuilt.wad or play the demo:\n" + tail(step.stdout))
        return "not loaded"
    # Everything the engine said on standard error besides the timing line
    # and its notes on the IWAD's own DEHACKED lump.
    other = [line for line in step.stderr.splitlines()
             if line.strip() and not line.startswith("timed ") and not re.match(r"DEHACKED:\d+: warning:", line)]
    if other:
        print("the engine reported:\n" + "\n".join("    " + line for line in other[-8:]))
        return "failed"
    print("%s of %s played on the rebuilt %s (mode %s %s): %s gametics in %s realtics" % (
        args.demo, os.path.basename(args.iwad), args.level, args.mode, args.axis, timed.group(1), timed.group(2)))
    return "played"


if __name__ == "__main__":
    sys.exit(main())
