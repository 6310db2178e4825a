#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""vortane as map editors call it.

Ultimate Doom Builder and SLADE hand the builder a WAD of the level's five
lumps (seven for Hexen, with BEHAVIOR and SCRIPTS); SLADE names the same
file as input and output. Real Freedoom levels, and their Hexen
conversions, laid out that way, go through every UDB profile of
editors/vortane.cfg and both SLADE calls. Each result must hold the ten
lumps in order (then the rest of the run), keep what the editor gave, have
a zero-filled REJECT where none was given, and carry exactly the lumps of
a classic run of the complete level in the same mode.

    editor_calls_test.py --vortane B --check B --extract B --config CFG --freedoom DIR [unittest args]
"""
import argparse
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wadfile import BEHAVIOR, LEVEL_LUMPS, SCRIPTS, SECTOR_SIZE, inflate_nodes, read_lumps, write_wad  # noqa: E402

ARGS = None
TEN = list(LEVEL_LUMPS)
FIVE = ["THINGS", "LINEDEFS", "SIDEDEFS", "VERTEXES", "SECTORS"]
BUILT = ["VERTEXES", "LINEDEFS", "SEGS", "SSECTORS", "NODES", "BLOCKMAP"]
SCRIPT_SOURCE = b"script 1 OPEN { print(s:\"the scripts lump, as the editor gave it\"); }\n"
# (IWAD, level): small real levels that vortane builds sound.
LEVELS = [("freedoom2.wad", "MAP01"), ("freedoom2.wad", "MAP02"), ("freedoom1.wad", "E1M4")]


def layouts(hexen):
    """{name: the run after the marker, as lump names}. "empty:" names a
    lump written with no bytes, "half:" one cut to half its bytes."""
    extras = [BEHAVIOR, SCRIPTS] if hexen else []
    result = {
        "editor": FIVE + extras,
        "ten, nodes empty": ["THINGS", "LINEDEFS", "SIDEDEFS", "VERTEXES", "empty:SEGS", "empty:SSECTORS",
                             "empty:NODES", "SECTORS", "REJECT", "empty:BLOCKMAP"] + extras,
    }
    result["short REJECT"] = ["THINGS", "LINEDEFS", "SIDEDEFS", "VERTEXES", "SEGS", "SSECTORS", "NODES", "SECTORS",
                              "half:REJECT", "BLOCKMAP"] + extras
    if hexen:
        result["shuffled"] = [SCRIPTS, "THINGS", "SECTORS", BEHAVIOR, "VERTEXES", "LINEDEFS", "SIDEDEFS"]
    return result


def profile_calls():
    """[(title, parameters)] of the UDB configuration's profiles."""
    with open(ARGS.config) as f:
        text = f.read()
    titles = re.findall(r'title = "([^"]*)";', text)
    parameters = re.findall(r'parameters = "([^"]*)";', text)
    assert titles and len(titles) == len(parameters), "the configuration has no profiles"
    return list(zip(titles, parameters))


def classic_mode(arguments):
    """The positional mode and axis arguments that an option call means, and
    its node format (None for the vanilla lumps)."""
    final, weight, axis, nodes = False, 8, "-", None
    for argument in arguments:
        if argument.startswith("--nodes=") and argument not in ("--nodes=vanilla", "--nodes=auto"):
            nodes = argument
        if argument.startswith("--mode="):
            final = argument == "--mode=final"
        elif argument.startswith("--weight="):
            weight = int(argument.split("=")[1])
        elif argument.startswith("--axis="):
            axis = argument.split("=")[1]
    return (str(weight) if final else "-%d" % weight), axis, nodes


def run(arguments, cwd):
    return subprocess.run([ARGS.vortane] + arguments, cwd=cwd, capture_output=True, stdin=subprocess.DEVNULL,
                          timeout=120)


class EditorCase(unittest.TestCase):
    def setUp(self):
        self.top = tempfile.mkdtemp(prefix="vortane-editor-")
        self.workdir = os.path.join(self.top, "work")
        os.mkdir(self.workdir)

    def tearDown(self):
        shutil.rmtree(self.top, ignore_errors=True)

    def path(self, *names):
        return os.path.join(self.workdir, *names)

    def complete_level(self, iwad, level, hexen):
        """[(name, bytes)] of the level with its ten lumps, as stored, and
        for Hexen BEHAVIOR and SCRIPTS after them."""
        out = os.path.join(self.top, "%s-%s.wad" % (level, int(hexen)))
        subprocess.run([ARGS.extract] + (["--hexen"] if hexen else []) +
                       [os.path.join(ARGS.freedoom, iwad), level, out], check=True, capture_output=True)
        lumps = read_lumps(out)
        if hexen:
            lumps.append((SCRIPTS, SCRIPT_SOURCE))
        return lumps

    def layout(self, complete, run_names):
        given = dict(complete[1:])
        lumps = [complete[0]]
        for name in run_names:
            kind, _, name = name.rpartition(":")
            body = given[name]
            lumps.append((name, b"" if kind == "empty" else body[:len(body) // 2] if kind == "half" else body))
        return lumps

    def assert_no_error_word(self, result, call):
        for stream in (result.stdout, result.stderr):
            for line in stream.decode("latin-1").splitlines():
                self.assertNotIn("error", line.lower(), "%s: %r" % (call, line))


class EditorLayoutTest(EditorCase):
    def test_every_layout_through_every_editor_call(self):
        calls = [(title, params.split()) for title, params in profile_calls()]
        calls += [("SLADE ZDBSP entry", ["%FI", "--output=%FI"]), ("SLADE entry", ["%FI", "-o", "%FI"])]
        runs = 0
        for iwad, level in LEVELS:
            for hexen in (False, True):
                complete = self.complete_level(iwad, level, hexen)
                given = dict(complete[1:])
                references = {}
                for name, run_names in layouts(hexen).items():
                    for title, template in calls:
                        with self.subTest(level=level, hexen=hexen, layout=name, call=title):
                            self.check_call(level, complete, given, name, run_names, template, references)
                            runs += 1
        self.assertGreaterEqual(runs, len(LEVELS) * 5 * len(calls))

    def reference(self, level, complete, mode, references):
        """The lumps of a classic run of the complete level in that mode
        (with the node format option, for extended nodes), NODES inflated."""
        if mode not in references:
            folder = os.path.join(self.top, "classic-%s-%s-%s-%s" % ((level,) + mode))
            os.makedirs(folder, exist_ok=True)
            write_wad(os.path.join(folder, "in.wad"), complete)
            result = run(["in.wad", "out.wad", level, mode[0], mode[1], "L"] + ([mode[2]] if mode[2] else []), folder)
            self.assertEqual(result.returncode, 0, result.stdout)
            references[mode] = dict(inflate_nodes(read_lumps(os.path.join(folder, "out.wad"))))
        return references[mode]

    def check_call(self, level, complete, given, layout_name, run_names, template, references):
        folder = tempfile.mkdtemp(dir=self.top)
        lumps = self.layout(complete, run_names)
        write_wad(os.path.join(folder, "in.wad"), lumps)
        arguments = [a.replace("%FI", "in.wad").replace("%FO", "out.wad") for a in template]
        result = run(arguments, folder)
        self.assertEqual(result.returncode, 0, (arguments, result.stdout, result.stderr))
        self.assert_no_error_word(result, arguments)
        out_name = "out.wad" if "%FO" in " ".join(template) else "in.wad"
        self.assertEqual(sorted(os.listdir(folder)), sorted({"in.wad", out_name}), "files left behind")

        out = read_lumps(os.path.join(folder, out_name))
        # BEHAVIOR first, where Hexen engines look for it; then the rest.
        extras = [n for n in run_names if n.split(":")[-1] not in TEN]
        extras.sort(key=lambda n: n != BEHAVIOR)
        self.assertEqual([n for n, _ in out], [level] + TEN + extras)
        built = dict(inflate_nodes(out))
        for name in ("THINGS", "SIDEDEFS", "SECTORS") + ((BEHAVIOR, SCRIPTS) if extras else ()):
            self.assertEqual(built[name], given[name], name)
        reference = self.reference(level, complete, classic_mode(arguments), references)
        # REJECT as given, cut or padded with zero bytes to the size the
        # sector count needs; zero-filled where none was given.
        sectors = len(given["SECTORS"]) // SECTOR_SIZE
        size = (sectors * sectors + 7) // 8
        reject = dict(lumps[1:]).get("REJECT", b"")[:size]
        self.assertEqual(built["REJECT"], reject + bytes(size - len(reject)), "REJECT")
        for name in BUILT:
            self.assertEqual(built[name], reference[name], "%s differs from the classic run" % name)
        check = subprocess.run([ARGS.check, os.path.join(folder, out_name)], capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout)


class EditorFileTest(EditorCase):
    """In place, failures and interruptions, links, several levels, and the
    classic call's refusal of the editor's layout."""

    def editor_file(self, name, level="MAP01", iwad="freedoom2.wad", drop=()):
        complete = self.complete_level(iwad, level, False)
        lumps = self.layout(complete, [n for n in FIVE if n not in drop])
        write_wad(self.path(name), lumps)
        return lumps

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def test_a_failed_in_place_run_keeps_the_input(self):
        self.editor_file("FILE", drop=("LINEDEFS",))
        before = self.read("FILE")
        for call in (["FILE", "-o", "FILE"], ["FILE", "--output=FILE", "--log"]):
            result = run(call, self.workdir)
            self.assertEqual(result.returncode, 10, call)
            shown = result.stdout.decode() + (self.read("VORTANE.LOG").decode() if "--log" in call else "")
            self.assertIn("Level MAP01 has no LINEDEFS lump", shown)
            self.assertEqual(self.read("FILE"), before, "the input changed")
            self.assertEqual(sorted(os.listdir(self.workdir)), ["FILE"] + (["VORTANE.LOG"] if "--log" in call else []))

    def test_an_interrupted_in_place_run_keeps_the_input(self):
        # A chain of 4000 walls end to end takes far longer than the wait.
        subprocess.run([ARGS.make_nasty, "--collinear", "4000", self.path("long.wad")], check=True)
        before = self.read("long.wad")
        process = subprocess.Popen([ARGS.vortane, "long.wad", "--log"], cwd=self.workdir,
                                   stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and not glob.glob(self.path(".long.wad.*")):
            time.sleep(0.01)
        time.sleep(0.2)
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(timeout=60), -signal.SIGTERM, "the run ended before the signal")
        self.assertEqual(self.read("long.wad"), before)
        self.assertEqual(glob.glob(self.path(".long.wad.*")), [], "the temporary file was left behind")

    def test_a_link_keeps_pointing_at_the_rebuilt_file(self):
        self.editor_file("real.wad")
        os.mkdir(self.path("maps"))
        os.symlink("../real.wad", self.path("maps", "link.wad"))
        result = run(["link.wad", "-o", "link.wad"], self.path("maps"))
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertTrue(os.path.islink(self.path("maps", "link.wad")))
        self.assertEqual([n for n, _ in read_lumps(self.path("real.wad"))], ["MAP01"] + TEN)
        self.assertEqual(sorted(os.listdir(self.workdir)), ["maps", "real.wad"])

    def test_levels_of_one_file_and_the_lumps_between(self):
        one = self.editor_file("one.wad", "MAP01")
        two = self.editor_file("two.wad", "MAP02")
        write_wad(self.path("FILE"), one + [("DEHACKED", b"Patch File for DeHackEd v3.0\n")] + two)
        result = run(["FILE", "--map=MAP02", "--mode=final"], self.workdir)
        self.assertEqual(result.returncode, 0, result.stdout)
        out = read_lumps(self.path("FILE"))
        self.assertEqual([n for n, _ in out], ["MAP01"] + TEN + ["DEHACKED", "MAP02"] + TEN)
        self.assertEqual(out[11], ("DEHACKED", b"Patch File for DeHackEd v3.0\n"))
        # MAP01 was not asked for: its lumps keep their bytes, the missing
        # ones stand empty.
        self.assertEqual([b for _, b in out[1:11]], [dict(one).get(n, b"") for n in TEN])
        self.assertGreater(len(dict(out[13:])["NODES"]), 0)
        # Every level of the file, each in the format asked for.
        for nodes, named in (("vanilla", "nodes)"), ("znod", "nodes, ZNOD nodes)"), ("xgl3", "XGL3 nodes)"),
                             ("znod,zgl3", "ZNOD nodes; ")):
            result = run(["FILE", "-o", "all.wad", "--nodes=" + nodes], self.workdir)
            self.assertEqual(result.returncode, 0, result.stdout)
            check = subprocess.run([ARGS.check, self.path("all.wad")], capture_output=True, text=True)
            self.assertEqual(check.returncode, 0, check.stdout)
            self.assertEqual(check.stdout.count(": sound"), 2, check.stdout)
            self.assertEqual(check.stdout.count(named), 2, check.stdout)

    def test_the_classic_call_still_refuses_the_editor_layout(self):
        self.editor_file("five.wad")
        result = run(["five.wad", "out.wad"], self.workdir)
        self.assertEqual(result.returncode, 10)
        self.assertIn("Level MAP01: entry 5 is SECTORS, expected SEGS", result.stdout.decode())
        self.assertFalse(os.path.exists(self.path("out.wad")))

    def test_bad_usage_is_one_line_and_exit_code_2(self):
        self.editor_file("FILE")
        before = self.read("FILE")
        for call, fault in ((["FILE", "--bogus"], "unknown option '--bogus'"),
                            (["FILE", "-o"], "option '-o' needs a value"),
                            (["FILE", "out.wad", "-o", "out.wad"], "-o/--output and argument 2"),
                            (["FILE", "--weight=99"], "--weight must be a whole number from 0 to 48")):
            result = run(call, self.workdir)
            self.assertEqual(result.returncode, 2, call)
            self.assertEqual(result.stdout, b"", call)
            lines = result.stderr.decode().splitlines()
            self.assertEqual(len(lines), 2, lines)
            self.assertTrue(lines[0].startswith("vortane: " + fault), lines)
            self.assertEqual(lines[1], "Try 'vortane --help'")
        self.assertEqual(self.read("FILE"), before)
        self.assertEqual(os.listdir(self.workdir), ["FILE"])
        help_text = run(["--help"], self.workdir).stdout.decode()
        for option in ("-o FILE", "--output=FILE", "--map=LEVEL", "--mode=turbo|final", "--weight=N",
                       "--axis=A|V|H", "--log", "--help", "--version"):
            self.assertIn(option, help_text)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ("--vortane", "--check", "--extract", "--make-nasty", "--config", "--freedoom"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)


if __name__ == "__main__":
    main()
