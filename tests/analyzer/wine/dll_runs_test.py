#!/usr/bin/env python3
# dll_runs_test.py - the 64-bit lane's reader on two runs of a batch that the DLL traced under
# Wine (jovtrace_workload): the report jovtrace.exe writes of the first, opened in chromium,
# shows every routine and frame with the calls, times and return codes of the trace files'
# Pop lines, and a lane with the text of the thread that made no calls; `jovtrace.exe diff`
# of the two runs flags the routine the second one delayed, and not its caller.
#
# Usage: dll_runs_test.py WINE_LANE PREFIX JOVTRACE_EXE WORKLOAD_EXE WORKDIR
import collections
import csv
import io
import json
import os
import re
import shutil
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "report")]
from page_test import DATA, PageTest  # noqa: E402
from wine_lane import wine, windows_path  # noqa: E402

LANE = JOVTRACE = WORKLOAD = WORK = None
POP = re.compile(rb"Pop  (\S+)(?: Return Code=(-?\d+))?  Dur=(\d+\.\d+) msecs")


def run(*argv, code=0):
    result = subprocess.run(wine(LANE, *argv), capture_output=True, text=True, timeout=300)
    if result.returncode != code:
        raise RuntimeError(f"{' '.join(argv[:2])} exited with {result.returncode}: {result.stderr}")
    return result.stdout


def pops(files):
    """{routine: [calls, total µs, max µs, calls with a non-zero code]} of the Pop lines."""
    found = collections.defaultdict(lambda: [0, 0, 0, 0])
    for name in files:
        with open(name[2:].replace("\\", "/"), "rb") as f:  # Z:\...
            for m in POP.finditer(f.read()):
                us, r = round(float(m[3]) * 1000), found[m[1].decode()]
                r[:] = [r[0] + 1, r[1] + us, max(r[2], us), r[3] + (int(m[2] or 0) != 0)]
    return dict(found)


class DllRunsTest(PageTest):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        run(WORKLOAD, windows_path(WORK))  # before chromium starts, which loads the machine
        cls.base, cls.new = (windows_path(os.path.join(WORK, side)) for side in ("base", "new"))
        super().setUpClass()

    def test_report_shows_the_run_as_the_dll_traced_it(self):
        path = os.path.join(WORK, "report.html")
        run(JOVTRACE, "report", "-q", self.base, "-o", windows_path(path))
        self.page.open(f"file://{path}")
        with open(path, encoding="utf-8") as f:
            traces = json.loads(DATA.search(f.read())[2])["traces"]
        self.assertEqual(len(traces), 4)
        for i, trace in enumerate(traces):
            with self.subTest(trace=trace["label"]):
                if i:
                    self.page.select_trace(i)
                self.check_figures(trace)
                want = pops(trace["files"])
                names, tree = trace["names"], trace["tree"]
                self.assertEqual({names[r[0]]: [r[1], r[2], r[7], r[8]] for r in trace["summary"]}, want)
                frames = collections.defaultdict(lambda: [0, 0])
                for node in range(1, len(tree["name"])):
                    f = frames[names[tree["name"][node]]]
                    f[:] = [f[0] + tree["calls"][node], f[1] + tree["total"][node]]
                self.assertEqual(frames, {name: figures[:2] for name, figures in want.items()})
                # The thread that only reported: its lane shows its text.
                self.assertEqual([lane[1:] for lane in self.page.lanes()], [[40, 0], [0, 1]])
        self.assertNotIn("no routine calls", self.page.visible_text())

    def test_diff_flags_the_delayed_routine_and_not_its_caller(self):
        rows = csv.DictReader(io.StringIO(run(JOVTRACE, "diff", "-q", "--csv", self.base, self.new, code=1)))
        self.assertEqual({row["routine"]: row["verdict"] for row in rows},
                         {"Batch.Step": "unchanged", "Io.Read": "unchanged", "Io.Parse": "slower",
                          "Db.Write": "unchanged"})


if __name__ == "__main__":
    LANE = [sys.argv[1], "x64", sys.argv[2]]  # the lane script and the prefix
    JOVTRACE, WORKLOAD, WORK = sys.argv[3:6]
    unittest.main(argv=[sys.argv[0]] + sys.argv[6:], verbosity=2)
