#!/usr/bin/env python3
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

VORTANE = None
MAKE_LEVEL = None

TITLE = "   vortane 1.0 - node builder for DOOM, HERETIC, HEXEN and STRIFE"
HEAD = TITLE + "\n\n"

ELAPSED = r"Elapsed Time\.\.\.     ([ \d]{2}\d)\.(\d\d)   \((\d+)\.(\d\d) nodes\+(\d+)\.(\d\d) blockmap\)\n"
DISK = r"Disk I/O    \.\.\.     ([ \d]{2}\d)\.(\d\d)   \((\d+)\.(\d\d) read \+(\d+)\.(\d\d) write\)\n"


def write_wad(path, lumps, identification=b"PWAD"):
    """A WAD of the given (name, bytes) lumps, the directory at the end."""
    data = b""
    directory = b""
    offset = 12
    for name, body in lumps:
        directory += struct.pack("<ii", offset, len(body)) + name.encode().ljust(8, b"\0")
        data += body
        offset += len(body)
    with open(path, "wb") as f:
        f.write(identification + struct.pack("<ii", len(lumps), 12 + len(data)) + data + directory)


def read_directory(path):
    with open(path, "rb") as f:
        data = f.read()
    ident, count, offset = struct.unpack_from("<4sii", data, 0)
    names = [data[offset + 16 * i + 8:offset + 16 * i + 16].rstrip(b"\0").decode() for i in range(count)]
    return ident, names


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
        self.assertEqual(names, ["MAP01", "THINGS", "LINEDEFS", "SIDEDEFS", "VERTEXES", "SEGS", "SSECTORS",
                                 "NODES", "SECTORS", "REJECT", "BLOCKMAP", "DEHACKED"])

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
        level = self.read("level.wad")
        _, count, offset = struct.unpack_from("<4sii", level, 0)
        lumps = [("LONGNAME", b"text")]
        for i in range(count):
            pos, size = struct.unpack_from("<ii", level, offset + 16 * i)
            name = level[offset + 16 * i + 8:offset + 16 * i + 16].rstrip(b"\0").decode()
            lumps.append((name, level[pos:pos + size]))
        write_wad(self.path("front.wad"), lumps)
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


class ScreenModeCliTest(CliCase):
    def test_single_argument_tmp_wad_is_a_duplicate(self):
        rc, out, err = self.run_vortane("tmp.wad")
        self.assertEqual(rc, 10)
        self.assertIn(b"\x1b[20;1H", out)
        self.assertIn(b"Error : ** ", out)
        text = re.sub(rb"\x1b\[[0-9;]*[A-Za-z]", b"", out)
        self.assertTrue(text.endswith(b"Error : ** filenames are duplicated tmp.wad **\n"), text[-120:])
        self.assertEqual(self.files(), [], "screen mode writes no log and opens no file")

    # Names are compared byte for byte: A.WAD and a.wad are two files.
    def test_names_differing_in_case_are_not_duplicates(self):
        self.make_level("a.wad")
        rc, out, _ = self.run_vortane("A.WAD", "a.wad")
        self.assertEqual(rc, 10)
        text = re.sub(rb"\x1b\[[0-9;]*[A-Za-z]", b"", out)
        self.assertTrue(text.endswith(b"Error : ** WAD file A.WAD not found **\n"), text[-120:])

    def test_sixth_argument_other_than_l_keeps_screen_mode(self):
        self.make_level()
        rc, out, _ = self.run_vortane("level.wad", "out.wad", "MAP01", "-8", "x", "l")
        self.assertEqual(rc, 0)
        self.assertIn("Saved          MAP01 PWAD : out.wad".encode(), out)
        self.assertEqual(self.files(), ["level.wad", "out.wad"])


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
