#!/usr/bin/env python3
# follow_wine_test.py - the 64-bit lane's `jovtrace follow`: jovtrace.exe under Wine in tmux,
# drawing its screen in a console and quitting on its key; and following the real DLL's
# trace while a program writes it with a small size limit (several files) and a thread that
# holds a routine open, which leads the open calls with its time; the summary printed at
# the close equals `jovtrace.exe summary` of the same files.
#
# Usage: follow_wine_test.py WINE_LANE PREFIX JOVTRACE_EXE WORKLOAD_EXE WORKDIR
import glob
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, ".."), os.path.join(HERE, "..", "..", "wine")]
from follow_test import HEADER, Tmux, section, wait_for  # noqa: E402
from wine_lane import wine, windows_path  # noqa: E402

LANE = JOVTRACE = WORKLOAD = WORK = None


class FollowWineTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(dir=WORK)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def tmux(self, *args):
        tmux = Tmux(" ".join(shlex.quote(a) for a in wine(LANE, JOVTRACE, "follow", *args)),
                    width=160, height=40)
        self.addCleanup(tmux.close)
        return tmux

    def test_console_screen_and_quit(self):
        path = os.path.join(self.dir, "261203 221530 demo.JOV_Log")
        with open(path, "w", newline="") as f:
            f.write(HEADER + "22:15:30.005    1.000     reading the header\r\n")
        tmux = self.tmux("--interval", "0.5", windows_path(path))
        # The last text shows once the writer has been quiet for a poll (it might still
        # have had continuation lines).
        screen = tmux.wait(lambda s: any("reading the header" in l for l in s), seconds=60)
        self.assertIn("demo (pid 42)", screen[0])
        self.assertRegex(section(screen, "OPEN CALLS")[1], r"^\s+7\s+[\d.:]+ (ms|s)?\s*Parser\.Open$")
        self.assertIn("reading the header", "\n".join(section(screen, "LAST TEXTS")))
        self.assertEqual([l for l in screen if l.strip()][-1].strip(),
                         "q quit  p pause  s sort  / filter  r reset window")
        tmux.keys("q")
        self.assertTrue(wait_for(tmux.dead, seconds=30), "q did not quit")

    def test_dll_trace_with_rollovers_and_held_routine(self):
        writer = subprocess.Popen(wine(LANE, WORKLOAD, windows_path(self.dir), "14", "6000"))
        self.addCleanup(lambda: writer.poll() is None and writer.kill())
        self.assertTrue(wait_for(lambda: glob.glob(os.path.join(self.dir, "*.JOV_Log")),
                                 seconds=60), "the workload wrote no trace")
        tmux = self.tmux("--interval", "0.5", windows_path(self.dir))

        def held_on_top(screen):
            files = re.search(r"files (\d+) ", "\n".join(screen))
            if not files or int(files.group(1)) < 3 or not any(
                    l.startswith("OPEN CALLS") for l in screen):
                return False
            # The console is drawn row by row: a capture may come before the rows below.
            rows = section(screen, "OPEN CALLS")
            match = re.match(r"^\s+\d+\s+([\d.]+) s\s+Service\.WaitForJob$", rows[1] if len(rows) > 1 else "")
            return match and float(match.group(1)) >= 1

        screen = tmux.wait(held_on_top, seconds=60)
        with open(os.path.join(WORK, "follow_wine_screen.txt"), "w") as out:
            out.write("\n".join(screen) + "\n")
        self.assertEqual(writer.wait(timeout=120), 0)
        self.assertTrue(wait_for(tmux.dead, seconds=60),
                        "follow did not stop at the close:\n" + "\n".join(tmux.screen()))
        shown = [l.rstrip() for l in tmux.screen()]
        files = sorted(glob.glob(os.path.join(self.dir, "*.JOV_Log")))
        summary = subprocess.run(wine(LANE, JOVTRACE, "summary", *map(windows_path, files)),
                                 capture_output=True, text=True)
        expected = [l.rstrip() for l in summary.stdout.replace("\r", "").split("\n") if l]
        self.assertGreater(len(expected), 2)
        start = next(i for i, l in enumerate(shown) if l.startswith("== "))
        self.assertEqual(shown[start:start + len(expected)], expected)


if __name__ == "__main__":
    LANE = [sys.argv[1], "x64", sys.argv[2]]  # the lane script and the prefix
    JOVTRACE, WORKLOAD, WORK = sys.argv[3:6]
    os.makedirs(WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + sys.argv[6:])
