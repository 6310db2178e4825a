#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Command-line tests: exit codes, the exact contents of VORTANE.LOG in log
mode, and what is left in the working directory, for completed and failed
runs.

    cli_test.py --vortane BINARY --make-level TOOL [unittest arguments]

Every test runs vortane in its own empty directory, with standard input
from /dev/null, so that a fatal error in screen mode never waits for a key.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wadfile import LEVEL_LUMPS, entry_at, read_header, read_lumps, s32, put16, write_wad  # noqa: E402

VORTANE = None
MAKE_LEVEL = None

TITLE = "   vortane 1.0.0 - node builder for DOOM, HERETIC, HEXEN and STRIFE"
HEAD = TITLE + "\n\n"

ELAPSED = r"Elapsed Time\.\.\.     ([ \d]{2}\d)\.(\d\d)   \((\d+)\.(\d\d) nodes\+(\d+)\.(\d\d) blockmap\)\n"
DISK = r"Disk I/O    \.\.\.     ([ \d]{2}\d)\.(\d\d)   \((\d+)\.(\d\d) read \+(\d+)\.(\d\d) write\)\n"


def read_directory(path):
    return read_header(path)[0], [name for name, _ in read_lumps(path)]


class CliCase(unittest.TestCase):
    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="vortane-cli-")

    def tearDown(self):
        shutil.rmtree(self.workdir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.workdir, name)

    def make_level(self, name="level.wad", *extra):
        subprocess.run([MAKE_LEVEL, self.path(name)] + list(extra), check=True)
        return name

    def run_vortane(self, *arguments):
        result = subprocess.run([VORTANE] + list(arguments), cwd=self.workdir, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60)
        return result.returncode, result.stdout, result.stderr

    def log(self):
        with open(self.path("VORTANE.LOG"), "rb") as f:
            return f.read().decode("latin-1")

    def files(self):
        return sorted(os.listdir(self.workdir))

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def assert_log_mode_run(self, arguments, code, log):
        """Runs in log mode and checks the exit code, the log byte for byte
        and that nothing at all was written to the terminal."""
        rc, out, err = self.run_vortane(*arguments)
        self.assertEqual(rc, code, "exit code; log:\n%s" % (self.log() if os.path.isfile(self.path("VORTANE.LOG")) else "-"))
        self.assertEqual(out, b"", "log mode draws nothing")
        self.assertEqual(err, b"")
        self.assertEqual(self.log(), log)


class CompletedRunLogTest(CliCase):
    def check_times(self, match):
        """The elapsed and disk lines: total = the sum of the two phases."""
        for first in (1, 7):
            total = int(match.group(first)) * 100 + int(match.group(first + 1))
            a = int(match.group(first + 2)) * 100 + int(match.group(first + 3))
            b = int(match.group(first + 4)) * 100 + int(match.group(first + 5))
            self.assertEqual(total, a + b, match.group(0))

    def test_log_of_a_completed_run(self):
        self.make_level()
        rc, out, err = self.run_vortane("level.wad", "out.wad", "MAP01", "-8", "x", "L")
        self.assertEqual((rc, out, err), (0, b"", b""))
        log = self.log()
        pattern = (re.escape(HEAD + "Node building mode : Turbo 8\n\n" +
                             "Loading  12    MAP01 PWAD : level.wad\n") + ELAPSED +
                   re.escape("Saved          MAP01 PWAD : out.wad\n") + DISK)
        match = re.fullmatch(pattern, log)
        self.assertIsNotNone(match, log)
        self.check_times(match)
        self.assertEqual(self.files(), ["VORTANE.LOG", "level.wad", "out.wad"])
        ident, names = read_directory(self.path("out.wad"))
        self.assertEqual(ident, b"PWAD")
        self.assertEqual(names, ["MAP01"] + list(LEVEL_LUMPS) + ["DEHACKED"])

    # Paths are values, never formats; argument 6 only needs to begin with L;
    # a positive mode is Final and the axis argument follows the number.
    def test_final_mode_with_axis_suffix_and_percent_in_paths(self):
        self.make_level("in%s%d.wad", "E1M1")
        with open(self.path("VORTANE.LOG"), "w") as f:
            f.write("an earlier log that must go\n" * 20)
        rc, out, err = self.run_vortane("in%s%d.wad", "out%n.wad", "E1M1", "12", "Vx", "Log")
        self.assertEqual((rc, out, err), (0, b"", b""))
        log = self.log()
        pattern = (re.escape(HEAD + "Node building mode : Final 12Vx\n\n" +
                             "Loading  12    E1M1 PWAD : in%s%d.wad\n") + ELAPSED +
                   re.escape("Saved          E1M1 PWAD : out%n.wad\n") + DISK)
        self.assertIsNotNone(re.fullmatch(pattern, log), log)
        self.assertEqual(self.files(), ["VORTANE.LOG", "in%s%d.wad", "out%n.wad"])

    # -100 is Turbo 48; a small letter selects no axis and adds no suffix.
    def test_mode_number_is_clamped_and_small_axis_letters_ignored(self):
        self.make_level()
        rc, _, _ = self.run_vortane("level.wad", "out.wad", "MAP01", "-100", "a", "L")
        self.assertEqual(rc, 0)
        self.assertIn("\nNode building mode : Turbo 48\n\nLoading  12 ", self.log())


    # Too many blocks: the builder's message is logged after the loading
    # line, the run completes, and the exit code is -2 (254 as a status).
    def test_blockmap_too_large(self):
        self.make_level("big.wad", "MAP01", "PWAD", "60")
        rc, out, err = self.run_vortane("big.wad", "out.wad", "MAP01", "-8", "x", "L")
        self.assertEqual((rc, out, err), (254, b"", b""))
        columns = (((30720 + 7) & ~7) - ((-3840 - 7) & ~7) + 128) // 128
        rows = (((15360 + 7) & ~7) - ((-1920 - 7) & ~7) + 128) // 128
        pattern = (re.escape(HEAD + "Node building mode : Turbo 8\n\nLoading  12    MAP01 PWAD : big.wad\n" +
                             "!! Blocksize=%d too large !!  This level can't be played, press a key:\n"
                             % (columns * rows)) + ELAPSED +
                   re.escape("Saved          MAP01 PWAD : out.wad\n") + DISK)
        self.assertIsNotNone(re.fullmatch(pattern, self.log()), self.log())
        self.assertEqual(read_directory(self.path("out.wad"))[1][10], "BLOCKMAP")


class ScreenModeLabelsTest(CliCase):
    # Without a level name the loading and saved lines show the first five
    # characters of the directory's first entry, here a lump before the level.
    def test_labels_without_a_level_name_come_from_the_first_entry(self):
        self.make_level()
        write_wad(self.path("front.wad"), [("LONGNAME", b"text")] + read_lumps(self.path("level.wad")))
        rc, out, _ = self.run_vortane("front.wad", "out.wad")
        self.assertEqual(rc, 0)
        text = re.sub(rb"\x1b\[[0-9;]*[A-Za-z]", b"", out)
        self.assertIn(b"Loading  13    LONGN PWAD : front.wad", text)
        self.assertIn(b"Saved          LONGN PWAD : out.wad", text)
        self.assertIn(b"Turbo 8", text)
        self.assertEqual(read_directory(self.path("out.wad"))[1][:2], ["LONGNAME", "MAP01"])


class FailedRunLogTest(CliCase):
    def test_seven_arguments_with_the_log_switch(self):
        self.make_level()
        self.assert_log_mode_run(("level.wad", "out.wad", "MAP01", "-8", "x", "L", "extra"), 10,
                                 HEAD + "Error : ** Incorrect number of arguments 8 **\n")
        self.assertEqual(self.files(), ["VORTANE.LOG", "level.wad"])

    def test_missing_input(self):
        self.assert_log_mode_run(("missing.wad", "out.wad", "MAP01", "-8", "x", "L"), 10,
                                 HEAD + "Error : ** WAD file missing.wad not found **\n")
        self.assertEqual(self.files(), ["VORTANE.LOG"])

    def test_iwad_is_refused(self):
        self.make_level("doom.wad", "MAP01", "IWAD")
        self.assert_log_mode_run(("doom.wad", "out.wad", "MAP01", "-8", "x", "L"), 10,
                                 HEAD + "Error : ** File doom.wad is not a PWAD **\n")
        self.assertEqual(self.files(), ["VORTANE.LOG", "doom.wad"])

    def test_duplicated_names(self):
        self.make_level("tmp.wad")
        before = self.read("tmp.wad")
        self.assert_log_mode_run(("tmp.wad", "tmp.wad", "MAP01", "-8", "x", "L"), 10,
                                 HEAD + "Error : ** filenames are duplicated tmp.wad **\n")
        self.assertEqual(self.read("tmp.wad"), before)

    def test_level_name_that_does_not_exist(self):
        self.make_level()
        self.assert_log_mode_run(("level.wad", "out.wad", "MAP99", "-8", "x", "L"), 10,
                                 HEAD + "Error : ** Cannot find MAP99 **\n")
        self.assertEqual(self.files(), ["VORTANE.LOG", "level.wad"], "nothing is left at the output path")
        # An earlier file at the output path stays as it was.
        with open(self.path("out.wad"), "wb") as f:
            f.write(b"an earlier output")
        self.assert_log_mode_run(("level.wad", "out.wad", "map01", "-8", "x", "L"), 10,
                                 HEAD + "Error : ** Cannot find map01 **\n")
        self.assertEqual(self.read("out.wad"), b"an earlier output")
        self.assertEqual(self.files(), ["VORTANE.LOG", "level.wad", "out.wad"])

    # A run that fails while the level is loaded: the mode and loading lines
    # are in the log, then the error frame.
    def test_failure_while_loading(self):
        write_wad(self.path("broken.wad"), [("MAP01", b""), ("THINGS", bytes(10)), ("LINEDEFS", bytes(14))])
        rc, out, err = self.run_vortane("broken.wad", "out.wad", "MAP01", "5", "H", "L")
        self.assertEqual((rc, out, err), (10, b"", b""))
        log = self.log()
        expected = HEAD + "Node building mode : Final 5H\n\nLoading   3    MAP01 PWAD : broken.wad\n"
        self.assertTrue(log.startswith(expected), log)
        self.assertRegex(log[len(expected):], r"^Error : \*\* [^\n]*MAP01[^\n]* \*\*\n$")
        self.assertEqual(self.files(), ["VORTANE.LOG", "broken.wad"])

    # The log cannot be created: exit code 99 at once, nothing written
    # anywhere, not even the output file.
    def test_log_that_cannot_be_created(self):
        self.make_level()
        os.mkdir(self.path("VORTANE.LOG"))
        rc, out, err = self.run_vortane("level.wad", "out.wad", "MAP01", "-8", "x", "L")
        self.assertEqual((rc, out, err), (99, b"", b""))
        self.assertEqual(self.files(), ["VORTANE.LOG", "level.wad"])
        self.assertEqual(os.listdir(self.path("VORTANE.LOG")), [])


class PlainOutputCliTest(CliCase):
    """Screen mode with standard output a pipe: the lines log mode would
    write go to standard output as plain text, with the same exit codes,
    and no VORTANE.LOG is made."""

    def assert_plain(self, out):
        self.assertNotIn(b"\x1b", out, "no escape sequence reaches a pipe")

    def test_single_argument_tmp_wad_is_a_duplicate(self):
        rc, out, err = self.run_vortane("tmp.wad")
        self.assertEqual(rc, 10)
        self.assert_plain(out)
        self.assertEqual(out.decode(), HEAD + "Error : ** filenames are duplicated tmp.wad **\n")
        self.assertEqual(self.files(), [], "writes no log and opens no file")

    # Names are compared byte for byte: A.WAD and a.wad are two files.
    def test_names_differing_in_case_are_not_duplicates(self):
        self.make_level("a.wad")
        rc, out, _ = self.run_vortane("A.WAD", "a.wad")
        self.assertEqual(rc, 10)
        self.assertTrue(out.endswith(b"Error : ** WAD file A.WAD not found **\n"), out[-120:])

    # A completed run writes exactly what the log of the same run holds.
    def test_completed_run_writes_the_log_lines(self):
        self.make_level()
        rc, out, _ = self.run_vortane("level.wad", "out.wad", "MAP01", "-8", "x", "l")
        self.assertEqual(rc, 0)
        self.assert_plain(out)
        self.assertEqual(self.files(), ["level.wad", "out.wad"])
        plain = out.decode()
        rc, _, _ = self.run_vortane("level.wad", "again.wad", "MAP01", "-8", "x", "L")
        self.assertEqual(rc, 0)
        times = r"\d+\.\d\d"
        self.assertEqual(re.sub(times, "T", plain), re.sub(times, "T", self.log().replace("again.wad", "out.wad")))
        self.assertEqual(self.read("out.wad"), self.read("again.wad"))

    # No argument, --help and -h show the help as plain lines; --version
    # prints one line. All end with exit code 0 and touch no file.
    def test_help_and_version(self):
        for arguments in ((), ("--help",), ("-h",), ("--help", "in.wad"), tuple("1234567")):
            rc, out, _ = self.run_vortane(*arguments)
            self.assertEqual(rc, 0, arguments)
            self.assert_plain(out)
            text = out.decode()
            self.assertTrue(text.startswith(HEAD), arguments)
            self.assertIn("vortane  input.wad  [output.wad  [level or *  [mode  [axis  [L]]]]]", text)
            self.assertIn("The output.wad file overwrites any file with the same name!", text)
        rc, out, _ = self.run_vortane("--version")
        self.assertEqual((rc, out), (0, b"vortane 1.0.0\n"))
        self.assertEqual(self.files(), [])


class EveryLevelCliTest(CliCase):
    """The level argument * rebuilds every level of the file into one output."""

    def lumps_of(self, name):
        return read_lumps(self.path(name))

    def make_file(self, *levels):
        """One WAD of the sample level under each (marker, scale), each
        followed by its DEHACKED lump; a marker of None adds a lump alone."""
        lumps = []
        for marker, scale in levels:
            if marker is None:
                lumps.append(("README", b"no level here"))
                continue
            self.make_level("part.wad", marker, "PWAD", str(scale))
            lumps += self.lumps_of("part.wad")
        os.remove(self.path("part.wad"))
        write_wad(self.path("levels.wad"), lumps)

    def test_three_levels_match_one_level_runs(self):
        self.make_file(("MAP01", 1), (None, 0), ("MAP02", 2), ("E1M1", 3))
        rc, out, _ = self.run_vortane("levels.wad", "all.wad", "*", "8", "-", "L")
        self.assertEqual((rc, out), (0, b""))
        lines = self.log().split("\n")
        self.assertEqual(lines[:4], [TITLE, "", "Node building mode : Final 8", ""])
        for k, name in enumerate(("MAP01", "MAP02", "E1M1")):
            self.assertEqual(lines[4 + 3 * k], "Loading  37    %s PWAD : levels.wad" % name)
            self.assertRegex(lines[5 + 3 * k] + "\n", "^" + ELAPSED + "$")
            self.assertEqual(lines[6 + 3 * k], "Saved          %s PWAD : all.wad" % name)
        self.assertRegex(lines[13] + "\n", "^" + DISK + "$")
        self.assertEqual(lines[14:], [""])
        whole = self.lumps_of("all.wad")
        for marker, name in ((0, "MAP01"), (13, "MAP02"), (25, "E1M1")):
            rc, _, _ = self.run_vortane("levels.wad", "one.wad", name, "8", "-", "L")
            self.assertEqual(rc, 0)
            self.assertEqual(whole[marker:marker + 11], self.lumps_of("one.wad")[marker:marker + 11], name)
        source = self.lumps_of("levels.wad")
        for i in (11, 12, 24, 36):
            self.assertEqual(whole[i], source[i])

    # A fatal error in a level names it and leaves nothing written.
    def test_failing_level_in_the_middle_writes_nothing(self):
        self.make_file(("MAP01", 1), ("MAP02", 1), ("MAP03", 1))
        data = bytearray(self.read("levels.wad"))
        linedefs = s32(data, entry_at(data, 14))  # MAP02's LINEDEFS
        # MAP02's first linedef names vertex 99 (the level has 10).
        put16(data, linedefs, 99)
        with open(self.path("levels.wad"), "wb") as f:
            f.write(data)
        with open(self.path("all.wad"), "wb") as f:
            f.write(b"earlier")
        rc, _, _ = self.run_vortane("levels.wad", "all.wad", "*", "-8", "-", "L")
        self.assertEqual(rc, 10)
        self.assertTrue(self.log().endswith("Loading  36    MAP02 PWAD : levels.wad\n"
                                            "Error : ** MAP02: vertex in linedef 0 not valid 99,5 ? **\n"), self.log())
        self.assertEqual(self.read("all.wad"), b"earlier")
        self.assertEqual(self.files(), ["VORTANE.LOG", "all.wad", "levels.wad"])

    # A level too large for a blockmap gets the 8-byte BLOCKMAP; the others
    # are built as usual, and the run ends with 254.
    def test_too_large_level_in_the_middle(self):
        self.make_file(("MAP01", 1), ("MAP02", 60), ("MAP03", 1))
        rc, _, _ = self.run_vortane("levels.wad", "all.wad", "*", "-8", "-", "L")
        self.assertEqual(rc, 254)
        self.assertEqual(self.log().count("too large !!  This level can't be played"), 1)
        whole = self.lumps_of("all.wad")
        self.assertEqual(whole[22], ("BLOCKMAP", bytes(8)))
        for marker, name in ((0, "MAP01"), (24, "MAP03")):
            self.run_vortane("levels.wad", "one.wad", name, "-8", "-", "L")
            self.assertEqual(whole[marker:marker + 11], self.lumps_of("one.wad")[marker:marker + 11], name)

    def test_file_without_a_level(self):
        write_wad(self.path("none.wad"), [("README", b"no level here"), ("THINGS2", b"")])
        self.assert_log_mode_run(("none.wad", "out.wad", "*", "-8", "-", "L"), 10,
                                 HEAD + "Node building mode : Turbo 8\n\n"
                                 "Error : ** File none.wad holds no level **\n")
        self.assertEqual(self.files(), ["VORTANE.LOG", "none.wad"])


class GlNodesCliTest(CliCase):
    """GL nodes from the command line: where each form goes, and the refusal
    of a level XGLN cannot number."""

    def test_every_form_goes_where_engines_look_for_it(self):
        self.make_level()
        self.assertEqual(self.run_vortane("level.wad", "vanilla.wad", "MAP01", "-8", "-", "L")[0], 0)
        vanilla = dict(read_lumps(self.path("vanilla.wad")))
        # form: (magic in SSECTORS, magic in NODES or b"" for an empty NODES)
        forms = {"xgln": (b"XGLN", b""), "xgl2": (b"XGL2", b""), "xgl3": (b"XGL3", b""), "zgln": (b"ZGLN", b""),
                 "zgl2": (b"ZGL2", b""), "zgl3": (b"ZGL3", b""), "xnod,xgl3": (b"XGL3", b"XNOD"),
                 "znod,zgln": (b"ZGLN", b"ZNOD")}
        for form, (gl_magic, nodes_magic) in forms.items():
            rc, out, _ = self.run_vortane("level.wad", "gl.wad", "MAP01", "-8", "-", "L", "--nodes=" + form)
            self.assertEqual((rc, out), (0, b""), form)
            self.assertRegex(self.log(), "Loading.*\n" + ELAPSED + "Saved ", form)
            lumps = dict(read_lumps(self.path("gl.wad")))
            self.assertEqual(lumps["SEGS"], b"", form)
            self.assertEqual(lumps["SSECTORS"][:4], gl_magic, form)
            self.assertEqual(lumps["NODES"][:4], nodes_magic, form)
            self.assertTrue(vanilla["VERTEXES"].startswith(lumps["VERTEXES"]), form)
            for name in ("THINGS", "LINEDEFS", "SIDEDEFS", "SECTORS", "REJECT", "BLOCKMAP"):
                self.assertEqual(lumps[name], vanilla[name], (form, name))

    def test_xgln_refuses_a_level_of_more_linedefs_than_it_numbers(self):
        # 65,535 one-sided walls along a winding path: one past what XGLN's
        # 16-bit linedef numbers hold beside the miniseg mark.
        count = 65535
        points = [((i // 256) % 2 and 255 - i % 256 or i % 256, i // 256) for i in range(count + 1)]
        vertexes = b"".join(struct.pack("<hh", x * 64 - 8192, y * 64 - 8192) for x, y in points)
        linedefs = b"".join(struct.pack("<7H", i, i + 1, 1, 0, 0, 0, 0xFFFF) for i in range(count))
        sidedef = struct.pack("<hh8s8s8sh", 0, 0, b"-", b"-", b"STARTAN3", 0)
        sector = struct.pack("<hh8s8shhh", 0, 128, b"FLAT1", b"FLAT1", 160, 0, 0)
        lumps = [("MAP01", b""), ("THINGS", struct.pack("<5h", 0, 0, 0, 1, 7)), ("LINEDEFS", linedefs),
                 ("SIDEDEFS", sidedef), ("VERTEXES", vertexes), ("SEGS", b""), ("SSECTORS", b""), ("NODES", b""),
                 ("SECTORS", sector), ("REJECT", b""), ("BLOCKMAP", b"")]
        write_wad(self.path("many.wad"), lumps)
        for form in ("xgln", "zgln", "znod,xgln"):
            rc, _, _ = self.run_vortane("many.wad", "out.wad", "MAP01", "-8", "-", "L", "--nodes=" + form)
            self.assertEqual(rc, 10, form)
            self.assertTrue(self.log().endswith(
                "Error : ** More than 65,534 linedefs: XGLN and ZGLN number them in 16 bits, where 0xFFFF marks a "
                "miniseg (XGL2 and XGL3 hold them) **\n"), self.log())
            self.assertEqual(self.files(), ["VORTANE.LOG", "many.wad"], form)


def main():
    global VORTANE, MAKE_LEVEL
    parser = argparse.ArgumentParser()
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--make-level", required=True)
    options, rest = parser.parse_known_args()
    VORTANE = os.path.abspath(options.vortane)
    MAKE_LEVEL = os.path.abspath(options.make_level)
    program = unittest.main(argv=[sys.argv[0], "-v"] + rest, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
