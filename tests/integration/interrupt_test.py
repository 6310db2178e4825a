#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Interrupted runs leave nothing broken. SIGINT, SIGTERM or SIGHUP during a
long build (log mode, and screen mode in a tmux pane) and during the key wait
after a fatal error (screen mode) remove the temporary output, keep an
earlier output, give the terminal back its settings, end a log with an error
line, and end the process by the signal.

    interrupt_test.py --vortane BINARY --make-level TOOL --make-nasty TOOL [unittest arguments]
"""

import argparse
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import screen_test  # noqa: E402  (the tmux pane and its screen reading)

MAKE_NASTY = None
EARLIER = b"an earlier output that an interrupted run must keep\n"


def wait_until(condition, timeout=30.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.02)
    return False


class InterruptCase(unittest.TestCase):
    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="vortane-interrupt-")
        with open(self.path("out.wad"), "wb") as f:
            f.write(EARLIER)

    def tearDown(self):
        shutil.rmtree(self.workdir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.workdir, name)

    def temporary_files(self):
        return glob.glob(self.path(".out.wad.*"))

    def make_long_level(self):
        # 4000 walls end to end, of two sectors in turn: a tree 4000 deep
        # whose build takes far longer than the test waits.
        subprocess.run([MAKE_NASTY, "--collinear", "4000", self.path("long.wad")], check=True)

    def assert_nothing_broken(self):
        self.assertEqual(self.temporary_files(), [], "the temporary output was left behind")
        with open(self.path("out.wad"), "rb") as f:
            self.assertEqual(f.read(), EARLIER, "the earlier output was not kept")


class LogModeInterruptTest(InterruptCase):
    def test_signal_during_a_build(self):
        self.make_long_level()
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal=sig.name):
                process = subprocess.Popen([screen_test.VORTANE, "long.wad", "out.wad", "MAP01", "48", "-", "L"],
                                           cwd=self.workdir, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                           stderr=subprocess.PIPE)
                self.assertTrue(wait_until(lambda: self.temporary_files()), "no temporary output appeared")
                time.sleep(0.3)
                process.send_signal(sig)
                out, err = process.communicate(timeout=30)
                self.assertEqual(process.returncode, -sig, "the process did not end by the signal")
                self.assertEqual((out, err), (b"", b""))
                self.assert_nothing_broken()
                with open(self.path("VORTANE.LOG")) as f:
                    lines = f.read().split("\n")
                self.assertEqual(lines[-2:], ["Error : ** Interrupted by %s **" % sig.name, ""])
                self.assertTrue(lines[-3].startswith("Loading"), lines)


class FailedRenameTest(InterruptCase):
    # The finished file cannot take the output's place (a folder was put
    # there during the build): the run fails, and the file is removed.
    def test_failed_final_rename(self):
        subprocess.run([MAKE_NASTY, "--collinear", "2000", self.path("long.wad")], check=True)
        process = subprocess.Popen([screen_test.VORTANE, "long.wad", "out.wad", "MAP01", "48", "-", "L"],
                                   cwd=self.workdir, stdin=subprocess.DEVNULL)
        self.assertTrue(wait_until(lambda: self.temporary_files()), "no temporary output appeared")
        os.remove(self.path("out.wad"))
        os.makedirs(self.path("out.wad/inside"))
        self.assertEqual(process.wait(timeout=600), 10)
        self.assertEqual(self.temporary_files(), [])
        self.assertTrue(os.path.isdir(self.path("out.wad/inside")))
        with open(self.path("VORTANE.LOG")) as f:
            self.assertTrue(f.read().endswith("Saved          MAP01 PWAD : out.wad\n"
                                              "Error : ** Could not write output PWAD file out.wad **\n"))


class ScreenInterruptTest(InterruptCase):
    row_text = screen_test.ScreenCase.row_text

    def run_pane(self, *arguments):
        pane = screen_test.Pane(self.workdir, list(arguments))
        self.addCleanup(pane.close)
        return pane

    def vortane_pid(self, pane):
        shell = pane.tmux("display-message", "-p", "-t", "screen", "#{pane_pid}").strip()
        children = subprocess.run(["pgrep", "-P", shell], capture_output=True, text=True).stdout.split()
        self.assertEqual(len(children), 1, "vortane is not running")
        return int(children[0])

    def assert_terminal_restored(self, pane):
        """Typed text is echoed again, in the terminal's own colours, below
        the frame (row 24, or 25 when the shell reports the signal)."""
        column, row = pane.cursor()
        self.assertEqual(column, 1)
        self.assertIn(row, (24, 25))
        pane.send_keys("echoed")
        self.assertTrue(wait_until(lambda: "echoed" in pane.text(), 5), "typed text is not echoed")
        screen = pane.cells()
        cell = screen[row - 1][0]
        self.assertEqual(self.row_text(screen, row)[:6], "echoed")
        self.assertEqual((cell.fg, cell.bg), (screen_test.DEFAULT, screen_test.DEFAULT))

    def test_signal_during_the_key_wait(self):
        subprocess.run([screen_test.MAKE_LEVEL, self.path("level.wad")], check=True)
        for key, code in (("C-c", 128 + signal.SIGINT), (None, 128 + signal.SIGTERM)):
            with self.subTest(key=key or "SIGTERM"):
                if os.path.exists(self.path(".exit-code")):
                    os.remove(self.path(".exit-code"))
                pane = self.run_pane("level.wad", "out.wad", "NOSUCH", "-8")
                pane.wait_for_text("Error : ** Cannot find NOSUCH **")
                # The output is gone before the key is awaited.
                self.assert_nothing_broken()
                time.sleep(0.3)
                self.assertIsNone(pane.exit_code(), "vortane did not wait for a key")
                if key:
                    pane.send_keys(key)
                else:
                    os.kill(self.vortane_pid(pane), signal.SIGTERM)
                self.assertEqual(pane.wait_for_exit(), code)
                self.assert_nothing_broken()
                self.assert_terminal_restored(pane)
                pane.close()

    def test_signal_during_a_build(self):
        self.make_long_level()
        pane = self.run_pane("long.wad", "out.wad", "MAP01", "48")
        pane.wait_for_text("Making Node ...")
        self.assertNotEqual(self.temporary_files(), [])
        os.kill(self.vortane_pid(pane), signal.SIGTERM)
        self.assertEqual(pane.wait_for_exit(), 128 + signal.SIGTERM)
        self.assert_nothing_broken()
        self.assert_terminal_restored(pane)


def main():
    global MAKE_NASTY
    parser = argparse.ArgumentParser()
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--make-level", required=True)
    parser.add_argument("--make-nasty", required=True)
    options, rest = parser.parse_known_args()
    screen_test.VORTANE = os.path.abspath(options.vortane)
    screen_test.MAKE_LEVEL = os.path.abspath(options.make_level)
    MAKE_NASTY = os.path.abspath(options.make_nasty)
    program = unittest.main(argv=[sys.argv[0], "-v"] + rest, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
