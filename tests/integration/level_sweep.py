#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Rebuilds every level of a WAD with vortane in log mode and checks each one.

For each level: extract it into a PWAD of its own, run
`vortane in.wad out.wad LEVEL MODE AXIS L` in a scratch folder, expect exit
code 0, check VORTANE.LOG line by line, and run check_level on the input and
output. With --twice every level is built a second time in another folder and
the two outputs must be identical byte for byte.

Exits 0 when every level passed, 1 otherwise, after a report of every
failure (the first problems of each) and the build times.
"""

import argparse
import os
import pty
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wadfile import read_header  # noqa: E402


def mode_text(mode, axis):
    """The mode as the log shows it: Final 8, Turbo 1, Final 8A."""
    number = int(mode)
    name = "Turbo" if number < 0 else "Final"  # -0 is Final 0
    number = min(abs(number), 48)
    suffix = axis if axis[:1] in ("A", "V", "H") else ""
    return "%s %d%s" % (name, number, suffix)


def wad_lump_count(path):
    return read_header(path)[1]


TIME = r"\s*(\d+)\.(\d\d)"


def check_log(text, level, mode, axis, lumps, in_name, out_name):
    """Returns the problems of a completed run's log, [] when it is right."""
    problems = []
    if not text.endswith("\n"):
        problems.append("the log does not end with a line break")
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    expected_count = 8
    if len(lines) != expected_count:
        problems.append("the log has %d lines, expected %d" % (len(lines), expected_count))
    lines += [""] * max(0, expected_count - len(lines))

    if not lines[0].startswith("   ") or not lines[0].strip():
        problems.append("title line %r does not start with three blanks and a title" % lines[0])
    if lines[1] != "":
        problems.append("line 2 should be empty, is %r" % lines[1])
    want = "Node building mode : " + mode_text(mode, axis)
    if lines[2] != want:
        problems.append("mode line %r, expected %r" % (lines[2], want))
    if lines[3] != "":
        problems.append("line 4 should be empty, is %r" % lines[3])
    want = "Loading%4d    %s PWAD : %s" % (lumps, level[:5], in_name)
    if lines[4] != want:
        problems.append("loading line %r, expected %r" % (lines[4], want))

    m = re.fullmatch(r"Elapsed Time\.\.\.     ([ \d]{2}\d)\.(\d\d)   \((\d+)\.(\d\d) nodes\+(\d+)\.(\d\d) blockmap\)",
                     lines[5])
    if not m:
        problems.append("elapsed line %r is not in its format" % lines[5])
    else:
        total, nodes, blockmap = (int(m.group(i)) * 100 + int(m.group(i + 1)) for i in (1, 3, 5))
        if total != nodes + blockmap:
            problems.append("elapsed line %r: the total is not the sum" % lines[5])

    want = "Saved          %s PWAD : %s" % (level[:5], out_name)
    if lines[6] != want:
        problems.append("saved line %r, expected %r" % (lines[6], want))

    m = re.fullmatch(r"Disk I/O    \.\.\.     ([ \d]{2}\d)\.(\d\d)   \((\d+)\.(\d\d) read \+(\d+)\.(\d\d) write\)",
                     lines[7])
    if not m:
        problems.append("disk line %r is not in its format" % lines[7])
    else:
        total, read, write = (int(m.group(i)) * 100 + int(m.group(i + 1)) for i in (1, 3, 5))
        if total != read + write:
            problems.append("disk line %r: the total is not the sum" % lines[7])
    return problems


def self_test():
    """check_log accepts a right log and rejects each kind of wrong one."""
    good = ("   vortane 1.0 - node builder\n\n"
            "Node building mode : Final 8A\n\n"
            "Loading  11    MAP01 PWAD : in.wad\n"
            "Elapsed Time...       1.25   (1.20 nodes+0.05 blockmap)\n"
            "Saved          MAP01 PWAD : out.wad\n"
            "Disk I/O    ...     123.40   (100.00 read +23.40 write)\n")
    failures = []

    def expect(log, mode, axis, wrong):
        problems = check_log(log, "MAP01", mode, axis, 11, "in.wad", "out.wad")
        if bool(problems) != wrong:
            failures.append("%s log %r gave %r" % ("wrong" if wrong else "right", log, problems))

    expect(good, "8", "A", False)
    expect(good.replace("Final 8A", "Turbo 1"), "-1", "-", False)
    expect(good.replace("Final 8A", "Final 0"), "-0", "x", False)
    expect(good.replace("Final 8A", "Final 48"), "100", "-", False)
    expect(good, "-8", "A", True)            # Turbo asked for
    expect(good, "8", "-", True)             # no axis asked for
    expect(good, "8", "V", True)
    expect(good[:-1], "8", "A", True)        # no final line break
    expect(good.replace("\n\nNode", "\nNode"), "8", "A", True)
    expect(good.replace("   vortane", "vortane"), "8", "A", True)
    expect(good.replace("Loading  11", "Loading 11"), "8", "A", True)
    expect(good.replace("MAP01 PWAD : in", "MAP02 PWAD : in"), "8", "A", True)
    expect(good.replace("1.25", "1.26"), "8", "A", True)   # total is not the sum
    expect(good.replace("123.40", "123.41"), "8", "A", True)
    expect(good.replace("out.wad", "tmp.wad"), "8", "A", True)
    expect(good + "Error : ** x **\n", "8", "A", True)
    expect(good.replace("Saved", "Saves"), "8", "A", True)
    for failure in failures:
        print("FAILED " + failure)
    print("%d passed, %d failed" % (17 - len(failures), len(failures)))
    return 1 if failures else 0


def run_on_terminal(command, folder, timeout):
    """Runs the command with a pseudo-terminal as standard output; returns
    what subprocess.run would, with everything it drew as stdout."""
    master, slave = pty.openpty()
    process = subprocess.Popen(command, cwd=folder, stdin=subprocess.DEVNULL, stdout=slave,
                               stderr=subprocess.PIPE)
    os.close(slave)
    drawn = []
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the terminal is gone with the process
            break
        if not chunk:
            break
        drawn.append(chunk)
    os.close(master)
    process.wait(timeout=timeout)
    return subprocess.CompletedProcess(command, process.returncode, b"".join(drawn), process.stderr.read())


def build(args, level, folder, in_wad, screen=False):
    """Runs vortane on one level in `folder`; returns (problems, seconds).
    With screen, in screen mode (five arguments) on a pseudo-terminal, so
    that the screen is really drawn; there is no log to check."""
    os.makedirs(folder, exist_ok=True)
    for leftover in ("out.wad", "VORTANE.LOG"):
        if os.path.exists(os.path.join(folder, leftover)):
            os.remove(os.path.join(folder, leftover))
    shutil.copyfile(in_wad, os.path.join(folder, "in.wad"))
    command = [args.vortane, "in.wad", "out.wad", level, args.mode, args.axis] + ([] if screen else ["L"])
    started = time.monotonic()
    try:
        run = run_on_terminal(command, folder, args.timeout) if screen else subprocess.run(
            command, cwd=folder, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            timeout=args.timeout)
    except subprocess.TimeoutExpired:
        return ["vortane did not finish in %d s" % args.timeout], args.timeout
    seconds = time.monotonic() - started
    problems = []
    log_path = os.path.join(folder, "VORTANE.LOG")
    log = open(log_path, encoding="latin-1").read() if os.path.exists(log_path) else None
    if run.returncode == 254:
        problems.append("vortane found the blockmap too large (exit code 254), which no Freedoom level is")
    elif run.returncode != 0:
        problems.append("vortane exited with %d" % run.returncode)
    if run.returncode != 0:
        if log is not None:
            problems += ["log: " + line for line in log.splitlines()[-3:]]
        return problems, seconds
    if screen:
        if log is not None:
            problems.append("vortane wrote VORTANE.LOG in screen mode")
        if b"\x1b[" not in run.stdout or b"Saved          " not in run.stdout:
            problems.append("screen mode drew no screen")
        return problems, seconds
    if run.stdout:
        problems.append("vortane wrote %d bytes to standard output in log mode" % len(run.stdout))
    if log is None:
        return problems + ["no VORTANE.LOG"], seconds
    problems += check_log(log, level, args.mode, args.axis, wad_lump_count(in_wad), "in.wad", "out.wad")
    return problems, seconds


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--extract", required=True, help="the extract_level tool")
    parser.add_argument("--check", required=True, help="the check_level tool")
    parser.add_argument("--wad", required=True)
    parser.add_argument("--mode", required=True, help="argument 4: -n Turbo n, n Final n")
    parser.add_argument("--axis", default="-", help="argument 5: A, V, H or - for none")
    parser.add_argument("--work", required=True, help="scratch folder, emptied first")
    parser.add_argument("--levels", default="", help="comma-separated levels (default: all)")
    parser.add_argument("--twice", action="store_true", help="build each level twice and compare")
    parser.add_argument("--screen-too", action="store_true",
                        help="build each level a second time in screen mode and expect the same bytes")
    parser.add_argument("--rebuild-output", action="store_true",
                        help="rebuild each output once more and expect the same bytes: the vertexes a rebuilt "
                             "level's linedefs use are the same, in the same order, and the rest follows")
    parser.add_argument("--hexen", action="store_true",
                        help="turn each level into the Hexen format (16-byte linedefs, BEHAVIOR) first")
    parser.add_argument("--whole", action="store_true",
                        help="rebuild each level inside a PWAD copy of the whole WAD, not a PWAD of its own")
    parser.add_argument("--timeout", type=int, default=300, help="seconds per build")
    args = parser.parse_args()
    for name in ("vortane", "extract", "check", "wad", "work"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    if not os.path.exists(args.wad):
        print("%s is missing (scripts/install-test-deps installs it)" % args.wad)
        return 1
    if os.path.isdir(args.work):
        shutil.rmtree(args.work)
    os.makedirs(args.work)

    # Every level of the WAD in one pass over it: WAD/LEVEL.wad.
    sources = os.path.join(args.work, "levels")
    os.makedirs(sources)
    listed = subprocess.run([args.extract] + (["--hexen"] if args.hexen else []) + ["--all", args.wad, sources],
                            stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)
    if listed.returncode != 0:
        print("extract_level failed: " + listed.stdout)
        return 1
    levels = args.levels.split(",") if args.levels else listed.stdout.split()
    if not levels:
        print("no level found in %s" % args.wad)
        return 1

    failures = {}
    times = {}
    for level in levels:
        folder = os.path.join(args.work, level)
        os.makedirs(folder)
        source = os.path.join(sources, level + ".wad")
        if args.whole and os.path.exists(source):
            os.remove(source)
            source = os.path.join(args.work, "whole.wad")
            if not os.path.exists(source):
                subprocess.run([args.extract, "--whole", args.wad, source], check=True)
        if not os.path.exists(source):
            failures[level] = ["%s has no level %s" % (args.wad, level)]
            continue
        problems, seconds = build(args, level, os.path.join(folder, "run"), source)
        times[level] = seconds
        if not problems:
            axis_root = ["--axis-root"] if args.axis[:1] in ("A", "V", "H") else []
            checked = subprocess.run([args.check] + axis_root + [source, os.path.join(folder, "run", "out.wad"), level],
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            if checked.returncode != 0:
                problems.append("check_level found problems:")
                problems += ["  " + line for line in checked.stdout.splitlines()[:30]]
        if not problems and (args.twice or args.rebuild_output or args.screen_too):
            first_output = os.path.join(folder, "run", "out.wad")
            again, _ = build(args, level, os.path.join(folder, "again"),
                             first_output if args.rebuild_output else source, screen=args.screen_too)
            problems += ["second build%s: %s" % (" (of the output)" if args.rebuild_output else "", p) for p in again]
            if not again:
                first = open(os.path.join(folder, "run", "out.wad"), "rb").read()
                second = open(os.path.join(folder, "again", "out.wad"), "rb").read()
                if first != second:
                    at = next((i for i in range(min(len(first), len(second))) if first[i] != second[i]),
                              min(len(first), len(second)))
                    problems.append("two builds differ (%d and %d bytes, first difference at byte %d)"
                                    % (len(first), len(second), at))
        if problems:
            failures[level] = problems
        else:
            shutil.rmtree(folder)  # keep only what a failure needs looking at
            if not args.whole:
                os.remove(source)

    title = "%s, mode %s, axis %s" % (os.path.basename(args.wad), args.mode, args.axis)
    total = sum(times.values())
    slowest = sorted(times.items(), key=lambda item: -item[1])[:3]
    print("%s: %d levels, built in %.1f s (slowest: %s)" % (
        title, len(levels), total, ", ".join("%s %.2f s" % item for item in slowest)))
    for level, problems in failures.items():
        print("FAILED %s (%s):" % (level, title))
        for problem in problems:
            print("  " + problem)
    passed = len(levels) - len(failures)
    print("%d passed, %d failed" % (passed, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
