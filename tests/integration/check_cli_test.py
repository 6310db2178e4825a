#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""vortane-check as a user and a script meet it.

Its command line, help and version; the exit status and the messages for
files it cannot read; that it never writes; the exact findings on the
Freedoom IWADs as shipped; Freedoom rebuilt by zdbsp, glbsp and vortane;
the format of every line.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ARGS = None
LINE = re.compile(r"^\S+ \S+ (-|\d+): .+$")
SUMMARY = re.compile(r"^\S+: (sound \(\d+ segs?, \d+ subsectors?, \d+ nodes?\)(, \d+ warnings?)?"
                     r"|\d+ problems?, \d+ warnings?)$")

# The levels of the Freedoom IWADs that are not sound as stored, and what
# their lines say (see the closing note of the checker's issue).
SHIPPED = {
    "freedoom1.wad": {
        "E1M6": (7, "mixes sectors"), "E2M9": (1, "mixes sectors"), "E3M6": (2, "mixes sectors"),
        "E4M6": (1, "mixes sectors"), "E4M7": (2, "mixes sectors"),
    },
    "freedoom2.wad": {
        "MAP03": (1, "has angle"), "MAP04": (5, "has angle"), "MAP09": (5, "has angle|lies under its"),
        "MAP10": (43, "has angle"), "MAP13": (1, "mixes sectors"), "MAP14": (6, "mixes sectors"),
        "MAP20": (10, "mixes sectors"), "MAP25": (4, "mixes sectors"), "MAP27": (1, "mixes sectors"),
        "MAP30": (2, "has angle"),
    },
}


def check(*args, cwd=None):
    return subprocess.run([ARGS.check] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          cwd=cwd, stdin=subprocess.DEVNULL, timeout=120)


def iwad(name):
    return os.path.join(ARGS.freedoom, name)


class CommandLineTest(unittest.TestCase):
    def test_help_version_and_usage(self):
        usage = "usage: vortane-check FILE.wad [LEVEL...]\n"
        cases = [  # arguments, exit status, start of stdout, text in stderr
            (["--help"], 0, usage, ""),
            (["-h"], 0, usage, ""),
            ([iwad("freedoom2.wad"), "--help"], 0, usage, ""),
            (["--version"], 0, "vortane-check %s\n" % ARGS.version, ""),
            ([], 2, "", usage),
            (["--frob", "x.wad"], 2, "", "vortane-check: unknown option --frob"),
        ]
        for args, status, out, err in cases:
            result = check(*args)
            self.assertEqual(result.returncode, status, args)
            self.assertTrue(result.stdout.startswith(out), (args, result.stdout))
            self.assertIn(err, result.stderr, args)
        self.assertEqual(check("--version").stdout.count("\n"), 1)
        self.assertIn("Exit status: 0 when every level checked is sound", check("--help").stdout)

    def test_files_it_cannot_read(self):
        folder = tempfile.mkdtemp()
        text = os.path.join(folder, "notes.txt")
        with open(text, "w") as f:
            f.write("not a wad at all\n")
        cut = os.path.join(folder, "cut.wad")
        with open(ARGS.sample, "rb") as f:
            data = f.read()
        with open(cut, "wb") as f:
            f.write(data[:len(data) - 20])  # the directory is at the end
        cases = [
            (os.path.join(folder, "missing.wad"), "missing.wad: No such file or directory"),
            (folder, "Is a directory"),
            (text, "notes.txt: not a WAD (it does not start with IWAD or PWAD)"),
            (cut, "its directory of 11 entries at"),
        ]
        for path, message in cases:
            result = check(path)
            self.assertEqual(result.returncode, 2, path)
            self.assertEqual(result.stdout, "")
            self.assertIn(message, result.stderr)
            self.assertTrue(result.stderr.startswith("vortane-check: "), result.stderr)
        shutil.rmtree(folder)

    def test_named_levels(self):
        result = check(iwad("freedoom2.wad"), "MAP02", "MAP99", "MAP05")
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.stdout, "MAP02: sound (2020 segs, 573 subsectors, 572 nodes)\n"
                                        "MAP05: sound (2147 segs, 769 subsectors, 768 nodes)\n")
        self.assertIn("no level named MAP99", result.stderr)
        result = check(iwad("freedoom2.wad"), "MAP04")
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.stdout.endswith("MAP04: 5 problems, 0 warnings\n"), result.stdout)

    def test_never_writes(self):
        folder = tempfile.mkdtemp()
        copy = os.path.join(folder, "sample.wad")
        shutil.copy(ARGS.sample, copy)
        os.chmod(copy, 0o444)
        before = (os.stat(copy).st_mtime_ns, open(copy, "rb").read())
        result = check(copy, cwd=folder)
        self.assertEqual(result.returncode, 1)  # the sample's nodes are empty until vortane builds them
        self.assertIn("MAP01 NODES -: no nodes: SEGS, SSECTORS and NODES are empty", result.stdout)
        self.assertEqual((os.stat(copy).st_mtime_ns, open(copy, "rb").read()), before)
        self.assertEqual(os.listdir(folder), ["sample.wad"])
        shutil.rmtree(folder)


class FreedoomTest(unittest.TestCase):
    def assert_lines(self, out):
        for line in out.splitlines():
            self.assertTrue(LINE.match(line) or SUMMARY.match(line), line)

    def test_shipped_iwads(self):
        for name, unsound in SHIPPED.items():
            result = check(iwad(name))
            self.assertEqual(result.returncode, 1, name)
            self.assertEqual(result.stderr, "")
            self.assert_lines(result.stdout)
            summaries = [l for l in result.stdout.splitlines() if SUMMARY.match(l)]
            for summary in summaries:
                level = summary.split(":")[0]
                if level in unsound:
                    count, kinds = unsound[level]
                    self.assertEqual(summary, "%s: %d problem%s, 0 warnings" % (level, count, "s" * (count != 1)))
                    for line in result.stdout.splitlines():
                        if line.startswith(level + " "):
                            self.assertRegex(line, kinds)
                else:
                    self.assertIn(": sound (", summary)
            self.assertEqual(len(summaries), 36 if name == "freedoom1.wad" else 32)

    def test_levels_rebuilt_by_other_builders(self):
        folder = tempfile.mkdtemp()
        zd = os.path.join(folder, "zdbsp.wad")
        # Vanilla nodes, and zdbsp's extended ones (-X XNOD, -z ZNOD), whose
        # cut points have fractions.
        for switches, format_name in (([], ""), (["-X"], ", XNOD nodes"), (["-z"], ", ZNOD nodes")):
            subprocess.run(["zdbsp"] + switches + ["-o", zd, iwad("freedoom2.wad")], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            result = check(zd)
            self.assertEqual(result.returncode, 0, result.stdout[:3000])
            self.assertEqual(result.stdout.count(": sound ("), 32)
            self.assertEqual(len(re.findall(r"nodes%s\)$" % format_name, result.stdout, re.M)), 32, switches)

        gl = os.path.join(folder, "glbsp.wad")
        subprocess.run(["glbsp", "-normal", iwad("freedoom1.wad"), "-o", gl], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        result = check(gl)
        self.assertEqual(result.returncode, 1)
        problems = [l for l in result.stdout.splitlines() if LINE.match(l)]
        self.assertTrue(problems)
        for line in problems:  # the same sector tricks as in the shipped nodes
            self.assertRegex(line, r"^(E1M6|E3M6) SSECTORS \d+: subsector \d+ mixes sectors")
        shutil.rmtree(folder)

    def test_levels_rebuilt_by_vortane(self):
        folder = tempfile.mkdtemp()
        for level in ("MAP01", "MAP10", "MAP20"):
            source = os.path.join(folder, level + ".wad")
            subprocess.run([ARGS.extract, iwad("freedoom2.wad"), level, source], check=True)
            for mode, nodes in (("-8", []), ("24", []), ("-8", ["--nodes=xnod"]), ("24", ["--nodes=znod"])):
                built = os.path.join(folder, "built.wad")
                run = subprocess.run([ARGS.vortane, source, built, level, mode, "-", "L"] + nodes, cwd=folder,
                                     stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
                self.assertEqual(run.returncode, 0)
                result = check(built)
                self.assertEqual(result.returncode, 0, result.stdout[:3000])
                suffix = ", %s nodes" % nodes[0][-4:].upper() if nodes else ""
                self.assertRegex(result.stdout, r"^%s: sound \(\d+ segs.*nodes%s\)$" % (level, suffix))
        shutil.rmtree(folder)


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--check", required=True, help="the vortane-check program")
    parser.add_argument("--vortane", required=True)
    parser.add_argument("--extract", required=True, help="the extract_level tool")
    parser.add_argument("--version", required=True, help="the version the program must print")
    parser.add_argument("--sample", required=True, help="samples/sample.wad")
    parser.add_argument("--freedoom", required=True, help="the folder of freedoom1.wad and freedoom2.wad")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
