# end_to_end_test.py - the demo and the reader's workload write traces through the DLL under
# Wine; chromium must show in bin/jovtrace.exe's report of each exactly the figures of its
# summary (CSV) and tree: every routine's row, a flame frame per merged path wide enough to
# see, a timeline lane per thread. A screenshot of each report is left in the output folder.
# Run: end_to_end_test.py LANE_SCRIPT LANE PREFIX DEMO WORKLOAD JOVTRACE OUTPUT_DIR

import csv
import io
import os
import re
import shutil
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "support")]
from report_page import ReportPage  # noqa: E402
from wine import wine, windows_path  # noqa: E402

LANE = DEMO = WORKLOAD = JOVTRACE = OUT = None


def run_windows(*argv):
    result = subprocess.run(wine(*LANE, *argv), capture_output=True, timeout=300)
    if result.returncode != 0:
        raise RuntimeError(f"{argv[0]} failed ({result.returncode}): {result.stderr.decode(errors='replace')}")
    return result.stdout.decode("utf-8", errors="replace")


def ms(us):
    return f"{us / 1000:.3f}"


def read_tree(text):
    """`jovtrace tree` as {label: {"threads": n, "paths": {path: (total, self, calls)}}}."""
    traces = {}
    current = None
    stack = []
    row = re.compile(r"^\s*(-?\d+\.\d{3})\s+(-?\d+\.\d{3})\s+(\d+)\s+(-?[\d.]+)  ( *)(.*?)\s*$")
    for line in text.splitlines():
        heading = re.match(r"^== (.*?): .*?, (\d+) threads?, ", line)
        if heading:
            current = traces.setdefault(heading.group(1), {"threads": int(heading.group(2)), "paths": {}})
            stack = []
            continue
        m = row.match(line)
        if current is None or not m:
            continue
        depth = len(m.group(5)) // 2
        stack[depth:] = [m.group(6)]
        current["paths"][";".join(stack)] = (m.group(1), m.group(2), int(m.group(3)))
    return traces


class EndToEndTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(OUT, ignore_errors=True)
        cls.runs = {}
        for name, program in (("demo", DEMO), ("workload", WORKLOAD)):
            folder = os.path.join(OUT, name)
            os.makedirs(folder)
            run_windows(program, windows_path(folder))
            page = os.path.join(OUT, f"report-{name}.html")
            run_windows(JOVTRACE, "report", "-q", windows_path(folder), "-o", windows_path(page))
            summary = run_windows(JOVTRACE, "summary", "-q", "--csv", windows_path(folder))
            tree = run_windows(JOVTRACE, "tree", "-q", windows_path(folder))
            cls.runs[name] = {"page": page, "summary": list(csv.DictReader(io.StringIO(summary))),
                              "tree": read_tree(tree)}
        cls.page = ReportPage()

    @classmethod
    def tearDownClass(cls):
        cls.page.close()

    def check_figures(self, name):
        run = self.runs[name]
        self.page.open(f"file://{run['page']}")
        self.assertFalse(self.page.evaluate("document.documentElement.dataset.error || ''"))
        self.page.screenshot(os.path.join(OUT, f"report-{name}.png"))
        labels = self.page.texts("#trace-select option") or [next(iter(run["tree"]))]
        self.assertEqual(sorted(labels), sorted(run["tree"]), "one trace in the page per trace read")
        for index, label in enumerate(labels):
            with self.subTest(trace=label):
                if index:
                    self.page.select_trace(index)
                want_rows = {r["routine"]: r for r in run["summary"] if r["trace"] == label}
                got_rows = {r["name"]: r for r in self.page.table()}
                self.assertEqual(sorted(got_rows), sorted(want_rows))
                keys = ("total", "self", "mean", "median", "p95", "max")
                for routine, want in want_rows.items():
                    got = got_rows[routine]
                    self.assertEqual(
                        [got["calls"], *[ms(float(got[k])) for k in keys], got["errors"], got["topCode"]],
                        [want["calls"], *[want[k + "_ms"] for k in keys], want["errors"], want["top_code"]], routine)
                tree = run["tree"][label]
                frames = self.page.frames()
                graph_width = self.page.rect("#flame-graph")["w"]
                whole = next(f["total"] for f in frames if f["node"] == 0)
                visible = {p for p, (total, _, _) in tree["paths"].items()
                           if float(total) * 1000 >= 0.5 / graph_width * whole * 1.01}
                shown = {f["path"]: f for f in frames if f["node"] != 0}
                self.assertLessEqual(visible, set(shown), "a frame for every path wide enough to see")
                for path, f in shown.items():
                    self.assertEqual((ms(f["total"]), ms(f["self"]), f["calls"]), tree["paths"][path], path)

                lanes = self.page.lanes()
                self.assertEqual(len(lanes), tree["threads"], "one lane per thread")
                self.assertEqual(sum(calls for _, calls in lanes),
                                 sum(int(r["calls"]) for r in want_rows.values()))

    def test_demo_report_shows_the_readers_figures(self):
        self.check_figures("demo")

    def test_workload_report_shows_the_readers_figures(self):
        self.check_figures("workload")


if __name__ == "__main__":
    LANE = sys.argv[1:4]
    DEMO, WORKLOAD, JOVTRACE, OUT = sys.argv[4:8]
    unittest.main(argv=sys.argv[:1], verbosity=2)
