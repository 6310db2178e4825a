#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Terminal tests: vortane runs in a tmux pane of 80 x 25 cells, and the
screen it leaves is read back with capture-pane, characters and colours, and
checked row by row and column by column.

    screen_test.py --vortane BINARY --make-level TOOL [unittest arguments]

Each test gets its own tmux server and its own empty working directory.
"""

import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wadfile import read_header, read_lumps, write_wad  # noqa: E402

VORTANE = None
MAKE_LEVEL = None

COLUMNS = 80
ROWS = 25

# ANSI colour numbers back to the DOS numbers the program sets.
DOS_COLOUR = [0, 4, 2, 6, 1, 5, 3, 7]
BLACK, BLUE, RED, YELLOW, WHITE = 0, 1, 4, 14, 15
DEFAULT = None  # the terminal's own attributes

LIGHT_SHADE = "\u2591"
DARK_SHADE = "\u2593"


class Cell:
    __slots__ = ("char", "fg", "bg")

    def __init__(self, char=" ", fg=DEFAULT, bg=DEFAULT):
        self.char, self.fg, self.bg = char, fg, bg


def block_count(min_x, max_x, min_y, max_y):
    """Blocks of the blockmap grid over the bounds: the origin is the
    multiple of 8 at or below min - 7, the far edge max rounded up to a
    multiple of 8, and a block is 128 units wide."""
    columns = (((max_x + 7) & ~7) - ((min_x - 7) & ~7) + 128) // 128
    rows = (((max_y + 7) & ~7) - ((min_y - 7) & ~7) + 128) // 128
    return columns * rows


def parse_capture(text):
    """Turns the output of capture-pane -e into rows of cells (1-based
    columns: row[c - 1]). Attributes carry over from one line to the next,
    as tmux writes them only where they change."""
    fg = bg = DEFAULT
    rows = []
    for line in text.split("\n")[:ROWS]:
        cells = []
        i = 0
        while i < len(line):
            if line[i] == "\x1b":
                match = re.match(r"\x1b\[([0-9;]*)m", line[i:])
                if not match:
                    raise AssertionError("unexpected sequence in capture: %r" % line[i:i + 10])
                values = [int(v) if v else 0 for v in match.group(1).split(";")]
                for value in values:
                    if value == 0:
                        fg = bg = DEFAULT
                    elif 30 <= value <= 37:
                        fg = DOS_COLOUR[value - 30]
                    elif 90 <= value <= 97:
                        fg = DOS_COLOUR[value - 90] + 8
                    elif 40 <= value <= 47:
                        bg = DOS_COLOUR[value - 40]
                    elif value == 39:
                        fg = DEFAULT
                    elif value == 49:
                        bg = DEFAULT
                    elif value == 1:
                        pass  # bold: the bright colours already say it
                    else:
                        raise AssertionError("unexpected attribute %d in capture" % value)
                i += match.end()
            else:
                cells.append(Cell(line[i], fg, bg))
                i += 1
        # Trailing blanks are not written by capture-pane: they keep the
        # attributes in force at the end of the line.
        while len(cells) < COLUMNS:
            cells.append(Cell(" ", fg, bg))
        rows.append(cells)
    while len(rows) < ROWS:
        rows.append([Cell() for _ in range(COLUMNS)])
    return rows


class Pane:
    """One tmux server with one 80 x 25 pane running vortane in a shell
    command that records the exit code and then waits, so that the last
    frame stays untouched."""

    def __init__(self, workdir, arguments):
        self.workdir = workdir
        self.socket = "vortane-screen-%d-%d" % (os.getpid(), int(time.monotonic() * 1000))
        self.rc_file = os.path.join(workdir, ".exit-code")
        # The shell catches SIGINT, so that a Ctrl-C for vortane leaves it to
        # record the exit code (vortane itself starts with the default).
        command = "trap : INT; %s %s; echo $? > %s; exec sleep 600" % (
            shlex.quote(VORTANE), " ".join(shlex.quote(a) for a in arguments), shlex.quote(self.rc_file))
        self.tmux("new-session", "-d", "-x", str(COLUMNS), "-y", str(ROWS), "-s", "screen", "-c", workdir,
                  command)
        size = self.tmux("display-message", "-p", "-t", "screen", "#{window_width}x#{window_height}")
        if size.strip() != "%dx%d" % (COLUMNS, ROWS):
            self.close()
            raise AssertionError("tmux window is %s, not 80x25" % size.strip())

    def tmux(self, *arguments):
        result = subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null"] + list(arguments),
                                capture_output=True, text=True, timeout=30)
        if result.returncode != 0:
            raise AssertionError("tmux %s failed: %s" % (arguments[0], result.stderr))
        return result.stdout

    def exit_code(self):
        try:
            with open(self.rc_file) as f:
                text = f.read().strip()
            return int(text) if text else None
        except FileNotFoundError:
            return None

    def wait_for_exit(self, timeout=30.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            code = self.exit_code()
            if code is not None:
                return code
            time.sleep(0.05)
        raise AssertionError("vortane did not end within %.0f s; screen:\n%s" % (timeout, self.text()))

    def wait_for_text(self, text, timeout=30.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if text in self.text():
                return
            time.sleep(0.05)
        raise AssertionError("%r did not appear; screen:\n%s" % (text, self.text()))

    def text(self):
        return self.tmux("capture-pane", "-p", "-t", "screen")

    def cells(self):
        return parse_capture(self.tmux("capture-pane", "-p", "-e", "-t", "screen"))

    def cursor(self):
        x, y = self.tmux("display-message", "-p", "-t", "screen", "#{cursor_x} #{cursor_y}").split()
        return int(x) + 1, int(y) + 1

    def send_keys(self, *keys):
        self.tmux("send-keys", "-t", "screen", *keys)

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], capture_output=True, timeout=30)


class ScreenCase(unittest.TestCase):
    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="vortane-screen-")
        self.panes = []

    def tearDown(self):
        for pane in self.panes:
            pane.close()
        shutil.rmtree(self.workdir, ignore_errors=True)

    def run_pane(self, *arguments):
        pane = Pane(self.workdir, list(arguments))
        self.panes.append(pane)
        return pane

    def make_level(self, name="level.wad", *extra):
        subprocess.run([MAKE_LEVEL, os.path.join(self.workdir, name)] + list(extra), check=True)
        return name

    def files(self):
        return sorted(f for f in os.listdir(self.workdir) if f != ".exit-code")

    # Checks on the captured screen; rows and columns count from 1.
    def row_text(self, screen, row):
        return "".join(cell.char for cell in screen[row - 1])

    def assert_text_at(self, screen, row, column, text):
        line = self.row_text(screen, row)
        self.assertEqual(line[column - 1:column - 1 + len(text)], text,
                         "row %d column %d:\n%s" % (row, column, line))

    def assert_colours(self, screen, row, first, last, fg, bg):
        for column in range(first, last + 1):
            cell = screen[row - 1][column - 1]
            self.assertEqual((cell.fg, cell.bg), (fg, bg),
                             "colours of row %d column %d (%r)" % (row, column, cell.char))

    def assert_title_panel(self, screen):
        heading = self.row_text(screen, 1)
        self.assertLessEqual(heading.find("DOOM+HEXEN"), 4, heading)
        self.assertGreaterEqual(heading.find("DOOM+HEXEN"), 0, heading)
        self.assertGreaterEqual(heading.find("HERETIC+STRIFE") + len("HERETIC+STRIFE"), 76, heading)
        for row, (left, tee, right) in ((2, "\u250c\u252c\u2510"), (12, "\u2514\u2534\u2518")):
            line = self.row_text(screen, row)
            expected = left + "\u2500" * 18 + tee + "\u2500" * 40 + tee + "\u2500" * 18 + right
            self.assertEqual(line, expected, "frame row %d" % row)
        for row in range(3, 12):
            line = self.row_text(screen, row)
            for column in (1, 20, 61, 80):
                self.assertEqual(line[column - 1], "\u2502", "row %d column %d:\n%s" % (row, column, line))
            self.assertNotIn("\u2502", line[1:19] + line[20:60] + line[61:79], "row %d" % row)
        self.assertEqual(self.row_text(screen, 3)[20], "\u2554")
        self.assertEqual(self.row_text(screen, 3)[59], "\u2557")
        self.assertEqual(self.row_text(screen, 11)[20], "\u255a")
        self.assertEqual(self.row_text(screen, 11)[59], "\u255d")
        self.assertNotEqual(self.row_text(screen, 13).strip(), "")
        # Colours: heading, frames and footer white on black; side boxes white
        # on blue; the logo's dark shade red on black, the rest yellow on black.
        for row in (1, 2, 12, 13):
            self.assert_colours(screen, row, 1, 80, WHITE, BLACK)
        shades = 0
        for row in range(3, 12):
            self.assert_colours(screen, row, 1, 1, WHITE, BLACK)
            self.assert_colours(screen, row, 2, 19, WHITE, BLUE)
            self.assert_colours(screen, row, 62, 79, WHITE, BLUE)
            self.assert_colours(screen, row, 80, 80, WHITE, BLACK)
            for column in range(20, 62):
                shade = screen[row - 1][column - 1].char == DARK_SHADE
                shades += shade
                self.assert_colours(screen, row, column, column, RED if shade else YELLOW, BLACK)
        self.assertGreater(shades, 40)


class HelpScreenTest(ScreenCase):
    def check_help(self, pane):
        self.assertEqual(pane.wait_for_exit(), 0)
        screen = pane.cells()
        self.assert_title_panel(screen)
        for row in (14, 15):
            line = self.row_text(screen, row)
            self.assertEqual(line[:4], "    ", "row %d" % row)
            self.assertNotEqual(line[4], " ", "row %d" % row)
            self.assert_colours(screen, row, 5, 4 + len(line[4:].rstrip()), WHITE, BLACK)
        for row in range(16, 23):
            self.assert_colours(screen, row, 1, 80, YELLOW, BLUE)
        self.assertEqual(self.row_text(screen, 16), " " * 80)
        self.assertEqual(self.row_text(screen, 22), " " * 80)
        self.assertEqual(self.row_text(screen, 17), " \u250c" + "\u2500" * 76 + "\u2510 ")
        self.assertEqual(self.row_text(screen, 21), " \u2514" + "\u2500" * 76 + "\u2518 ")
        box = ""
        for row in range(18, 21):
            line = self.row_text(screen, row)
            self.assertEqual((line[0], line[1], line[78], line[79]), (" ", "\u2588", "\u2588", " "), "row %d" % row)
            box += line
        for word in ("input.wad", "output.wad", "Turbo", "Final"):
            self.assertIn(word, box)
        self.assertEqual(self.row_text(screen, 23).rstrip(),
                         "         The output.wad file overwrites any file with the same name!")
        self.assertEqual(self.row_text(screen, 24).rstrip(),
                         "         The file TMP.WAD is created if no name is specified.")
        for row in (23, 24):
            self.assert_colours(screen, row, 1, 80, WHITE, BLACK)
        self.assertEqual(self.row_text(screen, 25).strip(), "")

    def test_no_argument_shows_the_help_screen(self):
        self.check_help(self.run_pane())
        self.assertEqual(self.files(), [], "the help screen touches no file")

    def test_seven_arguments_without_log_switch_show_the_help_screen(self):
        self.make_level()
        self.check_help(self.run_pane("level.wad", "out.wad", "MAP01", "-8", "x", "x", "extra"))
        self.assertEqual(self.files(), ["level.wad"])


class FatalErrorScreenTest(ScreenCase):
    def test_missing_input_waits_for_a_key_then_exits_with_10(self):
        pane = self.run_pane("x.wad")
        pane.wait_for_text("Error : ** WAD file x.wad not found **")
        screen = pane.cells()
        self.assert_title_panel(screen)
        self.assertEqual(self.row_text(screen, 20).rstrip(), "Error : ** WAD file x.wad not found **")
        # The frame is plain text in the terminal's own attributes.
        self.assert_colours(screen, 20, 1, 38, DEFAULT, DEFAULT)
        for row in list(range(14, 20)) + list(range(21, 26)):
            self.assertEqual(self.row_text(screen, row).strip(), "", "row %d" % row)
        # It waits for a key...
        time.sleep(1.0)
        self.assertIsNone(pane.exit_code(), "vortane ended without waiting for a key")
        # ...and one key ends it, without echo.
        pane.send_keys("q")
        self.assertEqual(pane.wait_for_exit(), 10)
        screen = pane.cells()
        self.assertEqual(self.row_text(screen, 20).rstrip(), "Error : ** WAD file x.wad not found **")
        self.assertNotIn("q", self.row_text(screen, 21))
        self.assertEqual(self.files(), [], "no output file before the input is open")

    def test_percent_in_the_path_is_shown_unchanged(self):
        pane = self.run_pane("50%s%d.wad", "out.wad")
        pane.wait_for_text("not found **")
        pane.send_keys("Enter")
        self.assertEqual(pane.wait_for_exit(), 10)
        self.assertEqual(self.row_text(pane.cells(), 20).rstrip(), "Error : ** WAD file 50%s%d.wad not found **")


class OrdinaryRunTest(ScreenCase):
    def test_rows_of_an_ordinary_run(self):
        self.make_level("level.wad")
        pane = self.run_pane("level.wad", "out.wad", "MAP01", "-8")
        self.assertEqual(pane.wait_for_exit(), 0, pane.text())
        screen = pane.cells()
        self.assert_title_panel(screen)

        # Row 14: the loading line on a red bar, the bounds at column 50.
        loading = "Loading  12    MAP01 PWAD : level.wad"
        bounds = "X (-64,512) Y (-32,256)"
        self.assert_text_at(screen, 14, 1, loading)
        self.assert_text_at(screen, 14, 50, bounds)
        self.assertEqual(self.row_text(screen, 14)[len(loading):49].strip(), "")
        self.assertEqual(self.row_text(screen, 14)[49 + len(bounds):].strip(), "")
        self.assert_colours(screen, 14, 1, len(loading), DEFAULT, DEFAULT)
        self.assert_colours(screen, 14, len(loading) + 1, 49, WHITE, RED)
        self.assert_colours(screen, 14, 50, 49 + len(bounds), DEFAULT, DEFAULT)
        self.assert_colours(screen, 14, 50 + len(bounds), 80, WHITE, RED)

        # Row 15: the mode alone at column 22.
        self.assertEqual(self.row_text(screen, 15), " " * 21 + "Turbo 8" + " " * 52)

        # Rows 16 to 19: label, count from column 16, a full bar at 30 to 79.
        stages = [
            (16, "Vertexes    ...", r"   10"),
            (17, "Making Segs ...", r"   11"),
            (18, "Making Node ...", r"\s*[1-9]\d* "),
            (19, "Making Map  ...", "%5d" % block_count(-64, 512, -32, 256)),
        ]
        for row, label, count in stages:
            line = self.row_text(screen, row)
            self.assertEqual(line[:15], label, "row %d" % row)
            self.assertRegex(line[15:29], "^" + count + r"\s*$", "count on row %d" % row)
            self.assertEqual(line[29:79], DARK_SHADE * 50, "bar on row %d" % row)
            self.assertEqual(line[79], " ", "row %d" % row)
            self.assert_colours(screen, row, 1, 15, YELLOW, BLUE)
            self.assert_colours(screen, row, 16, 20, DEFAULT, DEFAULT)
            self.assert_colours(screen, row, 30, 79, YELLOW, BLUE)

        self.assertRegex(self.row_text(screen, 20).rstrip(),
                         r"^Elapsed Time\.\.\.     [ \d]{2}\d\.\d\d   \(\d+\.\d\d nodes\+\d+\.\d\d blockmap\)$")
        saved = "Saved          MAP01 PWAD : out.wad"
        self.assertEqual(self.row_text(screen, 21).rstrip(), saved)
        self.assert_colours(screen, 21, 1, len(saved), DEFAULT, DEFAULT)
        self.assert_colours(screen, 21, len(saved) + 1, 80, WHITE, RED)
        self.assertRegex(self.row_text(screen, 22).rstrip(),
                         r"^Disk I/O    \.\.\.     [ \d]{2}\d\.\d\d   \(\d+\.\d\d read \+\d+\.\d\d write\)$")
        self.assert_colours(screen, 22, 1, 80, DEFAULT, DEFAULT)

        # Row 23: the overall bar, full.
        line = self.row_text(screen, 23)
        self.assertEqual(line[:20], "       Progress     ")
        self.assertEqual(line[20:29].strip(), "")
        self.assertEqual(line[29:79], DARK_SHADE * 50)
        self.assert_colours(screen, 23, 1, 20, YELLOW, BLUE)
        self.assert_colours(screen, 23, 30, 79, YELLOW, BLUE)
        self.assertEqual(self.row_text(screen, 24).strip(), "")
        self.assertNotIn(LIGHT_SHADE, "".join(self.row_text(screen, r) for r in range(14, 26)))

        # The cursor is placed at column 1 of row 23, then one line down, so
        # that a shell's prompt starts on row 24 and the frame stays whole.
        self.assertEqual(pane.cursor(), (1, 24))
        self.assertEqual(self.files(), ["level.wad", "out.wad"])
        self.assertEqual(read_header(os.path.join(self.workdir, "out.wad"))[0], b"PWAD")


    # A positive mode is Final; the axis argument follows the number. A path
    # with "%" in it is shown as it stands.
    def test_final_mode_with_axis_suffix(self):
        self.make_level("50%s.wad")
        pane = self.run_pane("50%s.wad", "out%d.wad", "MAP01", "12", "Vx")
        self.assertEqual(pane.wait_for_exit(), 0, pane.text())
        screen = pane.cells()
        self.assertEqual(self.row_text(screen, 15), " " * 21 + "Final 12Vx" + " " * 49)
        self.assert_text_at(screen, 14, 1, "Loading  12    MAP01 PWAD : 50%s.wad ")
        self.assertEqual(self.row_text(screen, 21).rstrip(), "Saved          MAP01 PWAD : out%d.wad")
        for row in range(16, 20):
            self.assertEqual(self.row_text(screen, row)[29:79], DARK_SHADE * 50, "bar on row %d" % row)


class TooLargeBlockmapScreenTest(ScreenCase):
    # Bounds X (-3840,30720) Y (-1920,15360): far more than 32000 blocks. The
    # builder asks for a key on row 24, draws no blockmap line, and the later
    # lines move up one row.
    def test_message_on_row_24_and_lines_moved_up(self):
        self.make_level("big.wad", "MAP01", "PWAD", "60")
        pane = self.run_pane("big.wad", "out.wad", "MAP01", "-8")
        blocks = block_count(-3840, 30720, -1920, 15360)
        self.assertGreater(blocks, 32000)
        message = "!! Blocksize=%d too large !!  This level can't be played, press a key:" % blocks
        pane.wait_for_text("press a key:")
        screen = pane.cells()
        self.assertEqual(self.row_text(screen, 24).rstrip(), message)
        self.assert_colours(screen, 24, 1, len(message), DEFAULT, DEFAULT)
        self.assert_text_at(screen, 14, 50, "X (-3840,30720) Y (-1920,15360)")
        self.assertEqual(self.row_text(screen, 18)[:15], "Making Node ...")
        for row in range(19, 23):
            self.assertEqual(self.row_text(screen, row).strip(), "", "row %d before the key" % row)
        time.sleep(1.0)
        self.assertIsNone(pane.exit_code(), "vortane ended without waiting for a key")

        pane.send_keys("Space")
        self.assertEqual(pane.wait_for_exit(), 254)
        screen = pane.cells()
        self.assertEqual(self.row_text(screen, 18)[29:79], DARK_SHADE * 50)
        self.assertRegex(self.row_text(screen, 19), r"^Elapsed Time\.\.\.     ")
        self.assertEqual(self.row_text(screen, 20).rstrip(), "Saved          MAP01 PWAD : out.wad")
        self.assert_colours(screen, 20, 36, 80, WHITE, RED)
        self.assertRegex(self.row_text(screen, 21), r"^Disk I/O    \.\.\.     ")
        self.assertEqual(self.row_text(screen, 22).strip(), "")
        self.assertEqual(self.row_text(screen, 23)[29:79], DARK_SHADE * 50)
        self.assertEqual(self.row_text(screen, 24).rstrip(), message)
        self.assertNotIn("Making Map", pane.text())
        self.assertEqual(self.files(), ["big.wad", "out.wad"])


class EveryLevelScreenTest(ScreenCase):
    # Three levels in one call, the second too large for a blockmap, so that
    # the run stops there for a key: the status rows show the level being
    # built and its place in the file, and the overall bar covers the file.
    def test_place_and_overall_bar(self):
        lumps = []
        for marker, scale in (("MAP01", "1"), ("MAP02", "60"), ("MAP03", "1")):
            self.make_level("part.wad", marker, "PWAD", scale)
            lumps += read_lumps(os.path.join(self.workdir, "part.wad"))
        os.remove(os.path.join(self.workdir, "part.wad"))
        write_wad(os.path.join(self.workdir, "levels.wad"), lumps)
        pane = self.run_pane("levels.wad", "out.wad", "*", "-8")

        pane.wait_for_text("press a key:")
        screen = pane.cells()
        self.assert_text_at(screen, 15, 22, "Turbo 8")
        self.assert_text_at(screen, 15, 50, "MAP02    (2 of 3)")
        self.assertEqual(self.row_text(screen, 14)[:38], "Loading  36    MAP02 PWAD : levels.wad")
        # The first level is done and the second stands at its blockmap: 63
        # percent of the file, 31 cells.
        self.assertEqual(self.row_text(screen, 23)[29:79], DARK_SHADE * 31 + LIGHT_SHADE * 19)

        pane.send_keys("Space")
        self.assertEqual(pane.wait_for_exit(), 254)
        screen = pane.cells()
        self.assert_text_at(screen, 15, 50, "MAP03    (3 of 3)")
        self.assertEqual(self.row_text(screen, 14)[:38], "Loading  36    MAP03 PWAD : levels.wad")
        self.assertEqual(self.row_text(screen, 19)[:15], "Making Map  ...")
        self.assertEqual(self.row_text(screen, 21).rstrip(), "Saved          MAP03 PWAD : out.wad")
        self.assertRegex(self.row_text(screen, 22), r"^Disk I/O    \.\.\.     ")
        self.assertEqual(self.row_text(screen, 23)[29:79], DARK_SHADE * 50)
        self.assertEqual(self.row_text(screen, 24).strip(), "", "the second level's message is cleared")
        self.assertEqual(pane.cursor(), (1, 24))


def main():
    global VORTANE, MAKE_LEVEL
    parser = argparse.ArgumentParser()
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--make-level", required=True)
    options, rest = parser.parse_known_args()
    VORTANE = os.path.abspath(options.vortane)
    MAKE_LEVEL = os.path.abspath(options.make_level)
    if shutil.which("tmux") is None:
        print("screen_test.py: tmux is not installed (scripts/install-test-deps installs it)", file=sys.stderr)
        return 1
    program = unittest.main(argv=[sys.argv[0], "-v"] + rest, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
