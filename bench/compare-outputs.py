#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Runs two vortane binaries on the same inputs and reports every difference.

  bench/compare-outputs.py --reference /path/to/old/vortane [--vortane build/vortane] [--quick]

For speed work: the output must not change, byte for byte. Every case runs
both binaries in folders of their own and compares the output file, the
exit code, VORTANE.LOG (log mode) or the screen (screen mode), with times
such as "0.31" masked, since they differ from run to run.

The cases:
  - every level of freedoom1.wad and freedoom2.wad in Turbo and Final with
    weights 1, 8, 24, 48 and 0, axis modes A, V and H, and a few odd weights;
  - the same levels turned into the Hexen format (tests/tools/extract_level
    --hexen), in fewer modes;
  - large levels made by bench/make-large-level.py (2 and 3 copies of MAP12,
    2 of MAP28);
  - every case of tests/tools/make_nasty, and its generated levels (room,
    parallel, grid, collinear) in a few sizes;
  - a handful of screen-mode runs.

The reference's results are kept in a cache folder keyed by the SHA-256 of
the reference binary, the input and the arguments, so a second comparison
runs only the new binary. Standard library only; two runs at a time.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WADS = ["/usr/share/games/doom/freedoom1.wad", "/usr/share/games/doom/freedoom2.wad"]
MODES = ["-1", "-8", "-24", "-48", "0", "8", "24", "48"]
ODD_MODES = ["-3", "-13", "-31", "5", "17", "40"]
AXES = ["A", "V", "H"]
TIME = re.compile(rb"\d+\.\d\d")


def sha(path_or_bytes):
    h = hashlib.sha256()
    if isinstance(path_or_bytes, bytes):
        h.update(path_or_bytes)
    else:
        with open(path_or_bytes, "rb") as f:
            for chunk in iter(lambda: f.read(1 << 20), b""):
                h.update(chunk)
    return h.hexdigest()


def run(binary, wad, args, screen, timeout):
    """One run in a fresh folder: {exit, output sha, log or screen sha}."""
    folder = tempfile.mkdtemp(prefix="cmp.")
    try:
        # The log and the screen name the input: the same name for both.
        os.symlink(wad, os.path.join(folder, "in.wad"))
        command = [binary, "in.wad", "out.wad"] + args + ([] if screen else ["L"])
        try:
            done = subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, timeout=timeout)
        except subprocess.TimeoutExpired:
            return {"exit": "timeout"}
        result = {"exit": done.returncode}
        out = os.path.join(folder, "out.wad")
        result["output"] = sha(out) if os.path.exists(out) else None
        if screen:
            result["screen"] = sha(TIME.sub(b"#.##", done.stdout))
        else:
            log = os.path.join(folder, "VORTANE.LOG")
            result["log"] = sha(TIME.sub(b"#.##", open(log, "rb").read())) if os.path.exists(log) else None
            result["stdout"] = sha(done.stdout)
        return result
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def find_tool(explicit, relative):
    if explicit:
        return explicit
    candidates = [os.path.join(REPO, "build", relative)]
    candidates += sorted((os.path.join(REPO, d, relative) for d in os.listdir(REPO) if d.startswith("build")),
                         key=lambda p: os.path.getmtime(p) if os.path.exists(p) else 0, reverse=True)
    for path in candidates:
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
    sys.exit("compare-outputs: no %s found; build it or name it with an option" % relative)


def make_inputs(folder, extract, make_nasty, quick):
    """Returns [(label, wad path, level, [argument lists])]."""
    cases = []
    level_modes = [[m, "-"] for m in MODES] + [["8", a] for a in AXES] + [["-48", a] for a in AXES]
    level_modes += [[m, "-"] for m in ODD_MODES]
    hexen_modes = [["-8", "-"], ["8", "-"], ["48", "-"], ["0", "A"]]
    for wad in WADS:
        if not os.path.exists(wad):
            print("missing %s: its levels are skipped" % wad, file=sys.stderr)
            continue
        names = subprocess.run([extract, "--list", wad], check=True, stdout=subprocess.PIPE).stdout.decode().split()
        if quick:
            names = names[::6]
        for name in names:
            path = os.path.join(folder, "%s-%s.wad" % (os.path.basename(wad)[:-4], name))
            subprocess.run([extract, wad, name, path], check=True, stdout=subprocess.DEVNULL)
            cases.append((os.path.basename(path), path, name, [[name] + m for m in level_modes]))
            hexen = path[:-4] + "-hexen.wad"
            subprocess.run([extract, "--hexen", wad, name, hexen], check=True, stdout=subprocess.DEVNULL)
            cases.append((os.path.basename(hexen), hexen, name, [[name] + m for m in hexen_modes]))
    large_modes = [["-8", "-"], ["8", "-"], ["48", "-"], ["0", "-"], ["-48", "A"]]
    generator = os.path.join(REPO, "bench", "make-large-level.py")
    for level, copies in ([("MAP12", 2)] if quick else [("MAP12", 2), ("MAP12", 3), ("MAP28", 2)]):
        path = os.path.join(folder, "%s-x%d.wad" % (level, copies))
        subprocess.run([generator, "--level", level, "--copies", str(copies), path], check=True)
        cases.append((os.path.basename(path), path, level, [[level] + m for m in large_modes]))
    nasty_names = subprocess.run([make_nasty, "--list"], check=True, stdout=subprocess.PIPE).stdout.decode().split()
    for name in nasty_names:
        path = os.path.join(folder, "nasty-%s.wad" % name)
        if subprocess.run([make_nasty, name, path], stdout=subprocess.DEVNULL).returncode != 0:
            continue
        cases.append((os.path.basename(path), path, "MAP01", [["MAP01", "8", "-"], ["MAP01", "-48", "A"]]))
    sizes = {"room": [300, 2000], "parallel": [200, 1000], "grid": [20, 60], "collinear": [100, 300]}
    for kind, ns in sizes.items():
        for n in ns[:1] if quick else ns:
            path = os.path.join(folder, "gen-%s-%d.wad" % (kind, n))
            subprocess.run([make_nasty, "--" + kind, str(n), path], check=True)
            cases.append((os.path.basename(path), path, "MAP01",
                          [["MAP01", m, "-"] for m in ("-8", "8", "48", "0")]))
    return cases


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--reference", required=True, help="the binary whose output counts as right")
    parser.add_argument("--vortane", help="the binary under test (default: build/vortane)")
    parser.add_argument("--extract-level", help="tests/tools/extract_level (default: the newest build)")
    parser.add_argument("--make-nasty", help="tests/tools/make_nasty (default: the newest build)")
    parser.add_argument("--cache", default=os.path.join(tempfile.gettempdir(), "vortane-compare-cache"),
                        help="folder for the reference's results (default: %(default)s)")
    parser.add_argument("--quick", action="store_true", help="every sixth level and the smaller generated levels")
    parser.add_argument("--timeout", type=float, default=600)
    args = parser.parse_args()

    vortane = os.path.abspath(find_tool(args.vortane, "vortane"))
    reference = os.path.abspath(args.reference)
    extract = os.path.abspath(find_tool(args.extract_level, os.path.join("tests", "tools", "extract_level")))
    make_nasty = os.path.abspath(find_tool(args.make_nasty, os.path.join("tests", "tools", "make_nasty")))
    os.makedirs(args.cache, exist_ok=True)
    reference_sha = sha(reference)

    inputs = tempfile.mkdtemp(prefix="cmp-inputs.")
    try:
        cases = make_inputs(inputs, extract, make_nasty, args.quick)
        jobs = []
        for label, path, _, arg_lists in cases:
            input_sha = sha(path)
            for arg_list in arg_lists:
                jobs.append((label, path, input_sha, arg_list, False))
        # Screen mode on a few levels: the drawn frames, times masked.
        screen_levels = [c for c in cases if c[0].startswith("freedoom2-MAP0")][:3]
        for label, path, level, _ in screen_levels:
            for mode in ("-8", "48"):
                jobs.append((label, path, sha(path), [level, mode, "-"], True))

        def compare(job):
            label, path, input_sha, arg_list, screen = job
            key = hashlib.sha256(json.dumps([reference_sha, input_sha, arg_list, screen]).encode()).hexdigest()
            cached = os.path.join(args.cache, key + ".json")
            if os.path.exists(cached):
                with open(cached) as f:
                    expected = json.load(f)
            else:
                expected = run(reference, path, arg_list, screen, args.timeout)
                with open(cached, "w") as f:
                    json.dump(expected, f)
            got = run(vortane, path, arg_list, screen, args.timeout)
            return job, expected, got

        differences = 0
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            for job, expected, got in pool.map(compare, jobs):
                if expected != got:
                    differences += 1
                    label, _, _, arg_list, screen = job
                    what = [k for k in sorted(set(expected) | set(got)) if expected.get(k) != got.get(k)]
                    print("DIFFERENT %s %s%s: %s (exit %s, expected %s)" % (
                        label, " ".join(arg_list), " (screen)" if screen else "", ", ".join(what),
                        got.get("exit"), expected.get("exit")))
        print("%d runs compared, %d different" % (len(jobs), differences))
        return 1 if differences else 0
    finally:
        shutil.rmtree(inputs, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
