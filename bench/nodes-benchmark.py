#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Node-building benchmark: vortane against zdbsp and glbsp.

Every level of a WAD is copied into a PWAD of its own (or, with --large,
large levels are made of copies of a real one by bench/make-large-level.py),
then rebuilt by vortane in the chosen modes (log mode) and by the Debian node
builders zdbsp and glbsp, each run as a black box on the same PWAD. The
builders take turns level by level and round by round, so that a change in
the machine's load falls on all of them alike. Wall time, CPU time and peak
memory (maximum resident set size) are measured for every run. The tables:
per level (with few modes), then per builder the totals and the ratios to
zdbsp, and with --large the growth of the time with the level's size.

Run `bench/nodes-benchmark.py --help` for the options; bench/README.md tells
what the numbers mean.
"""

import argparse
import glob
import math
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "support"))
from wadfile import (BEHAVIOR, DOOM_LINEDEF_SIZE, HEXEN_LINEDEF_SIZE, IDENTIFICATIONS, LEVEL_LUMPS,  # noqa: E402
                     NODE_SIZE, SCRIPTS, SEG_SIZE, SUBSECTOR_SIZE, directory, header, write_wad)

DEFAULT_WAD = "/usr/share/games/doom/freedoom2.wad"
GNU_TIME = "/usr/bin/time"

# Lumps that belong to a level and follow its marker.
LEVEL_RUN = set(LEVEL_LUMPS) | {BEHAVIOR, SCRIPTS}

# Mode presets for --modes. A mode is T (Turbo) or F (Final), the split
# weight, and an optional axis letter: T8, F48, F8A.
MODE_PRESETS = {
    "issue": "T8,T48,F0,F8,F48",
    "sweep": "T0,T8,T24,T48,F0,F8,F24,F48,T8A,F8A,F8V,F8H",
    "weights": ",".join(["T%d" % w for w in range(49)] + ["F%d" % w for w in range(49)] + ["T8A", "F8A", "F48A"]),
}


def parse_modes(text):
    """'T8,F48A' or a preset -> [(key, title, argument 4, argument 5)]."""
    runs = []
    for token in filter(None, (t.strip().upper() for t in MODE_PRESETS.get(text, text).split(","))):
        match = re.match(r"^([TF])(\d{1,2})([AVH]?)$", token)
        if not match or int(match.group(2)) > 48:
            sys.exit("cannot read the mode %s (T or F, a weight 0-48, an optional A, V or H)" % token)
        kind, weight, axis = match.groups()
        argument = ("-%s" if kind == "T" else "%s") % int(weight)
        runs.append((token, "vortane " + token, argument, axis or "-"))
    return runs


# --------------------------------------------------------------------------
# WAD reading and level extraction
# --------------------------------------------------------------------------

def read_directory(data):
    ident = header(data)[0]
    if ident not in IDENTIFICATIONS:
        raise ValueError("not a WAD file (identification %r)" % ident)
    return ident, [(name.upper(), pos, size) for name, pos, size in directory(data)[1]]


def find_levels(entries):
    """Returns {marker name: [directory indexes of marker and its lumps]}."""
    levels = {}
    for i, (name, _, _) in enumerate(entries):
        if i + 1 < len(entries) and entries[i + 1][0] == "THINGS":
            indexes = [i]
            j = i + 1
            while j < len(entries) and entries[j][0] in LEVEL_RUN:
                indexes.append(j)
                j += 1
            levels[name] = indexes
    return levels


def write_pwad(path, data, entries, indexes):
    # Empty lumps at offset 0, as map editors write them.
    write_wad(path, [(entries[i][0], data[entries[i][1]:entries[i][1] + entries[i][2]]) for i in indexes],
              empty_at_zero=True)


def linedef_count(data, entries, indexes):
    names = {entries[i][0]: entries[i] for i in indexes}
    size = names["LINEDEFS"][2] if "LINEDEFS" in names else 0
    return size // (HEXEN_LINEDEF_SIZE if BEHAVIOR in names else DOOM_LINEDEF_SIZE)


def lump_sizes(path, level):
    """Sizes of the lumps of one level in a built WAD, or None."""
    try:
        with open(path, "rb") as f:
            data = f.read()
        _, entries = read_directory(data)
    except (OSError, ValueError, struct.error):
        return None
    levels = find_levels(entries)
    if level not in levels:
        return None
    return {entries[i][0]: (entries[i][2], data[entries[i][1]:entries[i][1] + 4]) for i in levels[level]}


def extract_levels(wad, wanted, folder, tool):
    """Copies each wanted level into folder/LEVEL.wad; returns [(name, path, level, linedefs)]."""
    with open(wad, "rb") as f:
        data = f.read()
    _, entries = read_directory(data)
    levels = find_levels(entries)
    if not levels:
        sys.exit("no level found in %s" % wad)
    if wanted:
        missing = [name for name in wanted if name not in levels]
        if missing:
            sys.exit("level(s) not in %s: %s" % (wad, ", ".join(missing)))
        names = wanted
    else:
        names = list(levels)
    result = []
    for name in names:
        path = os.path.join(folder, name + ".wad")
        done = False
        if tool:
            run = subprocess.run([tool, wad, name, path], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            done = run.returncode == 0 and lump_sizes(path, name) is not None
            if not done:
                print("%s failed on %s (%s); using the built-in extraction"
                      % (tool, name, run.stderr.decode(errors="replace").strip()), file=sys.stderr)
        if not done:
            write_pwad(path, data, entries, levels[name])
        result.append((name, path, name, linedef_count(data, entries, levels[name])))
    return result


def make_large_levels(wad, request, folder, share_sidedefs=False):
    """'MAP12:1,2,3' -> [(name, path, level, linedefs)] made by bench/make-large-level.py."""
    level, _, counts = request.partition(":")
    level = level.strip().upper()
    generator = os.path.join(REPO, "bench", "make-large-level.py")
    result = []
    for copies in [int(c) for c in (counts or "1,2,3").split(",") if c.strip()]:
        path = os.path.join(folder, "%sx%d.wad" % (level, copies))
        subprocess.run([sys.executable, generator, "--wad", wad, "--level", level, "--copies", str(copies), path] +
                       (["--share-sidedefs"] if share_sidedefs else []), check=True)
        with open(path, "rb") as f:
            data = f.read()
        _, entries = read_directory(data)
        levels = find_levels(entries)
        result.append(("%sx%d" % (level, copies), path, level, linedef_count(data, entries, levels[level])))
    return result


def parse_levels(text):
    """'MAP01,MAP05-MAP07,E1M1' -> ['MAP01', 'MAP05', 'MAP06', 'MAP07', 'E1M1']."""
    names = []
    for part in filter(None, (p.strip().upper() for p in text.split(","))):
        if "-" in part:
            first, last = part.split("-", 1)
            if first.startswith("MAP") and last.startswith("MAP"):
                a, b = int(first[3:]), int(last[3:])
                names += ["MAP%02d" % n for n in range(a, b + 1)]
                continue
            if len(first) == 4 and len(last) == 4 and first[0] == "E" and last[0] == "E" and first[1] == last[1]:
                names += ["E%sM%d" % (first[1], n) for n in range(int(first[3]), int(last[3]) + 1)]
                continue
            sys.exit("cannot read the level range %s" % part)
        names.append(part)
    return names


# --------------------------------------------------------------------------
# Measuring one run
# --------------------------------------------------------------------------

class Result:
    def __init__(self, seconds=None, kib=None, error=None, sizes=None, cpu=None):
        self.cpu = cpu
        self.seconds = seconds
        self.kib = kib
        self.error = error
        self.sizes = sizes


def measure(command, cwd, timeout, peak=False):
    """Runs command in cwd; returns (seconds, peak KiB, CPU seconds, error).

    The wall time is taken here around the whole child and the CPU time
    from its resource usage. With `peak` the command runs under GNU time,
    whose %M is the child's maximum resident set size (Python's own rusage
    of a child would count the forked interpreter's pages too); the times
    of such a run are not kept, since starting GNU time adds about 1.6 ms a
    run here, as much as vortane's own start-up.
    """
    report = os.path.join(cwd, "time.out")
    full = [GNU_TIME, "-o", report, "-f", "%e %M %x"] + command if peak else command
    with open(os.path.join(cwd, "output.log"), "wb") as log:
        start = time.perf_counter()
        child = subprocess.Popen(full, cwd=cwd, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                 start_new_session=True)
        # A blocking wait: Popen.wait(timeout) polls with growing sleeps,
        # which would round short runs up to its polling steps.
        expired = []

        def stop():
            expired.append(True)
            try:
                os.killpg(child.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

        timer = threading.Timer(timeout, stop)
        timer.start()
        # wait4 also gives the CPU time of GNU time and of the builder it
        # waited for (its peak memory would count this interpreter's pages).
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        cpu = usage.ru_utime + usage.ru_stime
        timer.cancel()
        if expired:
            return None, None, None, "timeout"
    # vortane's 254: the output is written, the blockmap too large for its
    # offsets (levels past the vanilla limits).
    if not peak:
        error = "exit %d" % child.returncode if child.returncode not in (0, 254) else None
        return seconds, None, cpu, error
    try:
        with open(report) as f:
            lines = [line.split() for line in f if line.strip()]
        _, kib, status = lines[-1]
        kib, status = int(kib), int(status)
    except (OSError, ValueError, IndexError):
        return None, None, None, "no report"
    if status not in (0, 254):
        return seconds, kib, cpu, "exit %d" % status
    return seconds, kib, cpu, None


def run_once(command, cwd, output, level, timeout, peak=False):
    """One run; a Result with its error, if any."""
    if os.path.exists(output):
        os.remove(output)
    seconds, kib, cpu, error = measure(command, cwd, timeout, peak)
    result = Result(seconds, kib, error, cpu=cpu)
    if error is None:
        sizes = lump_sizes(output, level)
        if sizes is None or "NODES" not in sizes:
            result.error = "no NODES"
        else:
            result.sizes = sizes
    return result


def keep_best(best, result):
    """The minimum of each measure over the rounds; the first failure sticks."""
    if best is None or result.error:
        return best if best is not None and best.error else result
    if best.error:
        return best
    best.seconds = min(best.seconds, result.seconds)
    best.cpu = min(best.cpu, result.cpu)
    return best


# --------------------------------------------------------------------------
# Tools
# --------------------------------------------------------------------------

def ensure_gnu_time():
    if os.access(GNU_TIME, os.X_OK):
        return
    print("installing the Debian package 'time' for %s" % GNU_TIME, file=sys.stderr)
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(["apt-get", "update"], env=env, stdout=subprocess.DEVNULL, check=False)
    subprocess.run(["apt-get", "install", "-y", "--no-install-recommends", "time"], env=env,
                   stdout=subprocess.DEVNULL, check=True)
    if not os.access(GNU_TIME, os.X_OK):
        sys.exit("%s is missing and could not be installed" % GNU_TIME)


def ensure_vortane(path, explicit):
    if os.access(path, os.X_OK):
        return path
    if explicit:
        sys.exit("vortane binary not found: %s" % path)
    build = os.path.dirname(path)
    print("building vortane in %s" % build, file=sys.stderr)
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    try:
        subprocess.run(["cmake", "-S", REPO, "-B", build] + generator + ["-DBUILD_TESTING=OFF"], check=True)
        subprocess.run(["cmake", "--build", build, "--target", "vortane"], check=True)
    except (OSError, subprocess.CalledProcessError) as error:
        sys.exit("building vortane failed (%s); give a binary with --vortane" % error)
    if not os.access(path, os.X_OK):
        sys.exit("building vortane did not produce %s" % path)
    return path


def find_peer(name, explicit):
    if explicit == "none":
        return None
    path = explicit or shutil.which(name)
    if path is None:
        print("%s not found: its columns stay empty (Debian package %s)" % (name, name), file=sys.stderr)
    return path


def find_extract_tool(explicit):
    if explicit == "none":
        return None
    if explicit:
        return explicit
    candidates = [os.path.join(REPO, "build", "tests", "tools", "extract_level")]
    candidates += sorted(glob.glob(os.path.join(REPO, "build*", "tests", "tools", "extract_level")),
                         key=os.path.getmtime, reverse=True)
    for candidate in candidates:
        if os.access(candidate, os.X_OK):
            return candidate
    return None


# --------------------------------------------------------------------------
# Table
# --------------------------------------------------------------------------

def fmt_time(r):
    if r is None:
        return "-"
    if r.error:
        return r.error
    return "%.3f" % r.seconds


def fmt_mem(r):
    if r is None or r.error or r.kib is None:
        return "-"
    return "%.1f" % (r.kib / 1024.0)


def fmt_ratio(a, b):
    return "%.2f" % (a / b) if a is not None and b else "-"


def markdown(header, body):
    widths = [max(len(header[i]), *(len(row[i]) for row in body)) for i in range(len(header))]

    def line(cells):
        return "| " + " | ".join(c.rjust(w) if i else c.ljust(w) for i, (c, w) in enumerate(zip(cells, widths))) + " |"

    out = [line(header)]
    out.append("|" + "|".join(("-" * (w + 1) + ":") if i else ("-" * (w + 2)) for i, w in enumerate(widths)) + "|")
    out += [line(cells) for cells in body]
    return out


def render_levels(rows, builders):
    header = ["level", "linedefs"]
    for _, title in builders:
        header += [title + " s", title + " MiB"]
    body = []
    for name, _, lines, results in rows:
        cells = [name, str(lines)]
        for key, _ in builders:
            cells += [fmt_time(results.get(key)), fmt_mem(results.get(key))]
        body.append(cells)
    return markdown(header, body)


def built(row, key):
    result = row[3].get(key)
    return result is not None and not result.error


def render_summary(rows, builders):
    """Per builder: summed wall and CPU time and the largest peak over the levels it built, and the ratios
    to zdbsp over those same levels."""
    has_zdbsp = any(key == "zdbsp" for key, _ in builders)
    header = ["builder", "levels", "wall s", "CPU s", "largest peak MiB"]
    if has_zdbsp:
        header += ["wall / zdbsp", "CPU / zdbsp", "peak / zdbsp"]
    body = []
    for key, title in builders:
        done = [r for r in rows if built(r, key) and (not has_zdbsp or built(r, "zdbsp"))]
        if not done:
            body.append([title, "0"] + ["-"] * (len(header) - 2))
            continue
        wall = sum(r[3][key].seconds for r in done)
        cpu = sum(r[3][key].cpu for r in done)
        peak = max(r[3][key].kib for r in done)
        cells = [title, str(len(done)), "%.3f" % wall, "%.3f" % cpu, "%.1f" % (peak / 1024.0)]
        if has_zdbsp:
            cells += [fmt_ratio(wall, sum(r[3]["zdbsp"].seconds for r in done)),
                      fmt_ratio(cpu, sum(r[3]["zdbsp"].cpu for r in done)),
                      fmt_ratio(peak, max(r[3]["zdbsp"].kib for r in done))]
        body.append(cells)
    out = ["Totals per builder over the levels it built (%d level(s), %d linedefs in all); the ratios compare with "
           "zdbsp on those same levels" % (len(rows), sum(r[2] for r in rows)), ""]
    return out + markdown(header, body)


def render_growth(rows, builders):
    """Wall time per level and the growth exponent log(t2/t1) / log(n2/n1) against linedefs."""
    if len(rows) < 2:
        return []
    header = ["builder"] + ["%s s" % r[0] for r in rows] + ["growth %s to %s" % (rows[0][0], rows[-1][0])]
    body = []
    for key, title in builders:
        cells = [title] + [fmt_time(r[3].get(key)) for r in rows]
        done = [r for r in rows if built(r, key)]
        growth = "-"
        if len(done) >= 2 and done[0][3][key].seconds > 0 and done[-1][2] != done[0][2]:
            growth = "%.2f" % (math.log(done[-1][3][key].seconds / done[0][3][key].seconds) /
                               math.log(done[-1][2] / done[0][2]))
            if done[-1] is not rows[-1] or done[0] is not rows[0]:
                growth += " (%s to %s)" % (done[0][0], done[-1][0])
        body.append(cells + [growth])
    return ["", "Wall time by level size and its growth exponent against the linedefs (1.0 is linear)", ""] + \
        markdown(header, body)


def render_failures(rows, builders):
    out = []
    for name, _, _, results in rows:
        failed = ["%s (%s)" % (k, results[k].error) for k, _ in builders
                  if results.get(k) is not None and results[k].error]
        if failed:
            out.append("failed on %s: %s" % (name, ", ".join(failed)))
    return out


def render_sizes(rows, builders):
    """What each builder wrote (segs, subsectors, nodes)."""
    out = ["", "Output of each builder per level: segs / subsectors / nodes (from the lump sizes)", ""]
    header = ["level"] + [title for _, title in builders]
    body = []
    for name, _, _, results in rows:
        cells = [name]
        for key, _ in builders:
            r = results.get(key)
            if r is None or r.error or not r.sizes:
                cells.append("-")
                continue
            s = r.sizes
            nodes_size, magic = s.get("NODES", (0, b""))
            if magic in (b"XNOD", b"ZNOD"):
                cells.append("extended nodes")
                continue
            cells.append("%d / %d / %d" % (s.get("SEGS", (0,))[0] // SEG_SIZE,
                                           s.get("SSECTORS", (0,))[0] // SUBSECTOR_SIZE, nodes_size // NODE_SIZE))
        body.append(cells)
    return out + markdown(header, body)


# --------------------------------------------------------------------------
# Main
# --------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(
        description="Times vortane in the chosen modes against zdbsp and glbsp on every level of a WAD, "
                    "or on large levels made of copies of one.")
    parser.add_argument("--vortane", help="vortane binary (default: build-bench/vortane, built with cmake if missing)")
    parser.add_argument("--wad", default=DEFAULT_WAD, help="IWAD or PWAD whose levels are rebuilt (default: %(default)s)")
    parser.add_argument("--levels", help="subset of levels, e.g. MAP01,MAP10-MAP12 (default: all)")
    parser.add_argument("--large", metavar="LEVEL:N,...",
                        help="instead, levels of N copies of LEVEL side by side (bench/make-large-level.py), "
                             "e.g. MAP12:1,2,3")
    parser.add_argument("--repeat", type=int, default=1,
                        help="rounds of every build; the minimum of each measure is kept (default: 1)")
    parser.add_argument("--output", help="also write the tables to this file")
    parser.add_argument("--workdir", help="scratch folder (default: a temporary folder, removed afterwards)")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    parser.add_argument("--timeout", type=float, default=900, help="seconds before one run is abandoned (default: 900)")
    parser.add_argument("--zdbsp", help="zdbsp binary (default: from PATH; 'none' to skip)")
    parser.add_argument("--glbsp", help="glbsp binary (default: from PATH; 'none' to skip)")
    parser.add_argument("--extract-tool",
                        help="level extraction program called as TOOL in.wad LEVEL out.wad "
                             "(default: the built tests/tools/extract_level if any, else built-in code; "
                             "'none' for the built-in code)")
    parser.add_argument("--modes", default="T8,F8,F48",
                        help="vortane modes: T or F, a weight 0-48 and an optional axis letter, comma-separated "
                             "(T8,F48,F8A), or a preset: %s (default: %%(default)s)" % ", ".join(MODE_PRESETS))
    parser.add_argument("--per-level", choices=["auto", "yes", "no"], default="auto",
                        help="the table per level (auto: with at most four vortane modes)")
    parser.add_argument("--no-sizes", action="store_true", help="omit the table of output segs/subsectors/nodes")
    parser.add_argument("--nodes", choices=["vanilla", "xnod", "znod", "xgln", "xgl3", "zgl3"], default="vanilla",
                        help="node format: vortane --nodes=FORMAT, zdbsp -X (xnod), -z (znod), -x -X (xgln, xgl3: "
                             "GL nodes only, extended) or -x -z (zgl3) (default: %(default)s)")
    parser.add_argument("--vanilla-too", action="store_true",
                        help="with a --nodes format, also time each vortane mode with vanilla nodes (XNOD for --large)")
    parser.add_argument("--share-sidedefs", action="store_true",
                        help="with --large: store identical sidedefs once (bench/make-large-level.py --share-sidedefs)")
    args = parser.parse_args()
    if args.repeat < 1:
        parser.error("--repeat must be at least 1")

    ensure_gnu_time()
    vortane = os.path.abspath(ensure_vortane(args.vortane or os.path.join(REPO, "build-bench", "vortane"),
                                             args.vortane is not None))
    zdbsp = find_peer("zdbsp", args.zdbsp)
    glbsp = find_peer("glbsp", args.glbsp)
    extract_tool = find_extract_tool(args.extract_tool)
    vortane_runs = parse_modes(args.modes)

    builders = [(key, title) for key, title, _, _ in vortane_runs]
    if args.vanilla_too and args.nodes != "vanilla":
        builders += [(key + "v", title + " vanilla") for key, title, _, _ in vortane_runs]
    if zdbsp:
        builders.append(("zdbsp", "zdbsp"))
    if glbsp:
        builders.append(("glbsp", "glbsp (GL+normal)"))

    scratch = os.path.abspath(args.workdir) if args.workdir else tempfile.mkdtemp(prefix="nodes-benchmark-")
    os.makedirs(os.path.join(scratch, "levels"), exist_ok=True)
    wad = os.path.abspath(args.wad)
    try:
        if args.large:
            levels = make_large_levels(wad, args.large, os.path.join(scratch, "levels"), args.share_sidedefs)
        else:
            levels = extract_levels(wad, parse_levels(args.levels) if args.levels else None,
                                    os.path.join(scratch, "levels"), extract_tool)
        rows = []
        for name, pwad, level, lines in levels:
            commands = []
            for key, _, mode, axis in vortane_runs:
                formats = [] if args.nodes == "vanilla" else ["--nodes=" + args.nodes]
                commands.append((key, [vortane, pwad, "out.wad", level, mode, axis, "L"] + formats))
                if args.vanilla_too and args.nodes != "vanilla":
                    # The whole-unit tree; large levels need it in XNOD form.
                    reference = ["--nodes=xnod"] if args.large else []
                    commands.append((key + "v", [vortane, pwad, "out.wad", level, mode, axis, "L"] + reference))
            if zdbsp:
                # Plain nodes only: no GL nodes, no compression (neither is the default);
                # the extended forms with -X (XNOD) or -z (ZNOD).
                formats = {"vanilla": [], "xnod": ["-X"], "znod": ["-z"], "xgln": ["-x", "-X"], "xgl3": ["-x", "-X"],
                           "zgl3": ["-x", "-z"]}[args.nodes]
                commands.append(("zdbsp", [zdbsp, "-t"] + formats + ["-m", level, "-o", "out.wad", pwad]))
            if glbsp:
                # glbsp always builds GL nodes; -normal makes it rebuild the normal nodes as well.
                commands.append(("glbsp", [glbsp, "-normal", "-quiet", "-noprog", pwad, "-o", "out.wad"]))
            results = {}
            # The builders take turns, round after round.
            for _ in range(args.repeat):
                for key, command in commands:
                    if results.get(key) is not None and results[key].error:
                        continue
                    cwd = os.path.join(scratch, "runs", name, key)
                    os.makedirs(cwd, exist_ok=True)
                    results[key] = keep_best(results.get(key),
                                             run_once(command, cwd, os.path.join(cwd, "out.wad"), level, args.timeout))
            # One more run of each under GNU time, for the peak memory.
            for key, command in commands:
                if results[key].error:
                    continue
                cwd = os.path.join(scratch, "runs", name, key)
                measured = run_once(command, cwd, os.path.join(cwd, "out.wad"), level, args.timeout, peak=True)
                if measured.error:
                    results[key] = measured
                else:
                    results[key].kib = measured.kib
            for key, _ in commands:
                r = results[key]
                print("%-8s %-6s %s s %s MiB" % (name, key, fmt_time(r), fmt_mem(r)), file=sys.stderr, flush=True)
            rows.append((name, pwad, lines, results))

        load = os.getloadavg()
        out = [
            "Node building: %s, %d level(s), best of %d round(s)"
            % ("large levels " + args.large if args.large else os.path.basename(wad), len(rows), args.repeat),
            "vortane: %s (log mode); zdbsp: %s; glbsp: %s" % (vortane, zdbsp or "skipped", glbsp or "skipped"),
            "Machine: %d core(s), load average %.2f %.2f %.2f at the end; %s"
            % (os.cpu_count() or 0, load[0], load[1], load[2], time.strftime("%Y-%m-%d %H:%M:%S UTC", time.gmtime())),
            "Times in seconds (wall, and CPU: user + system); memory is the peak resident set size in MiB.",
            "glbsp has no plain-nodes-only mode: it is run with -normal and builds GL nodes and normal nodes.",
            "",
        ]
        per_level = args.per_level == "yes" or (args.per_level == "auto" and len(vortane_runs) <= 4)
        if per_level:
            out += render_levels(rows, builders) + [""]
        out += render_summary(rows, builders)
        if args.large:
            out += render_growth(rows, builders)
        out += [""] + render_failures(rows, builders)
        if not args.no_sizes and per_level:
            out += render_sizes(rows, builders)
        text = "\n".join(out) + "\n"
        sys.stdout.write(text)
        if args.output:
            with open(args.output, "w") as f:
                f.write(text)
    finally:
        if args.workdir is None and not args.keep:
            shutil.rmtree(scratch, ignore_errors=True)
        elif args.keep or args.workdir:
            print("scratch folder kept: %s" % scratch, file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
