"""end_to_end_test.py - the report of real traces: the demo and the reader's workload write
trace files through the DLL under Wine, bin/jovtrace.exe writes a report of each and also its
summary (CSV) and call tree (text), and chromium must show in the report exactly the reader's
figures: every routine's row, one flame frame per merged path wide enough to see, one timeline
lane per thread. A click zooms, a search marks the expected frames, nothing is fetched, and a
screenshot of each report at 1600x1000 is left in the output folder.

Run: python3 end_to_end_test.py --wine LANE_SCRIPT LANE PREFIX --demo EXE --workload EXE
                                --jovtrace EXE --out FOLDER"""

import argparse
import csv
import io
import os
import re
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser  # noqa: E402
from report_page import ReportPage  # noqa: E402

ARGS = None


def windows_path(path):
    """A host path as the Wine programs see it (drive Z: is the host's root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_windows(*argv):
    lane_script, lane, prefix = ARGS.wine
    result = subprocess.run([lane_script, lane, prefix, "run", *argv], capture_output=True,
                            timeout=300)
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
        out = ARGS.out
        shutil.rmtree(out, ignore_errors=True)
        cls.runs = {}
        for name, program in (("demo", ARGS.demo), ("workload", ARGS.workload)):
            folder = os.path.join(out, name)
            os.makedirs(folder)
            run_windows(program, windows_path(folder))
            page = os.path.join(out, f"report-{name}.html")
            run_windows(ARGS.jovtrace, "report", "-q", windows_path(folder), "-o", windows_path(page))
            summary = run_windows(ARGS.jovtrace, "summary", "-q", "--csv", windows_path(folder))
            tree = run_windows(ARGS.jovtrace, "tree", "-q", windows_path(folder))
            cls.runs[name] = {"page": page, "summary": list(csv.DictReader(io.StringIO(summary))),
                              "tree": read_tree(tree)}
        cls.browser = Browser()
        cls.page = ReportPage(cls.browser)

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()

    def open(self, name):
        run = self.runs[name]
        self.browser.open(f"file://{run['page']}")
        self.assertFalse(self.page.js("document.documentElement.dataset.error || ''"))
        labels = self.page.js("[...document.querySelectorAll('#trace-select option')].map(o => o.textContent)")
        return run, labels or [next(iter(run["tree"]))]

    def check_figures(self, name):
        """Every trace of the run: the table, the flame graph and the lanes against the reader."""
        run, labels = self.open(name)
        self.assertEqual(sorted(labels), sorted(run["tree"]), "one trace in the page per trace read")
        for index, label in enumerate(labels):
            with self.subTest(trace=label):
                if index:
                    self.page.select_trace(index)
                want_rows = {r["routine"]: r for r in run["summary"] if r["trace"] == label}
                got_rows = {r["name"]: r for r in self.page.table()}
                self.assertEqual(sorted(got_rows), sorted(want_rows))
                for routine, want in want_rows.items():
                    got = got_rows[routine]
                    self.assertEqual(
                        [got["calls"], *[ms(float(got[k])) for k in ("total", "self", "mean", "median", "p95", "max")],
                         got["errors"], got["topCode"]],
                        [want["calls"], want["total_ms"], want["self_ms"], want["mean_ms"], want["median_ms"],
                         want["p95_ms"], want["max_ms"], want["errors"], want["top_code"]], routine)

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

    def test_click_zooms_and_search_marks_the_expected_frames(self):
        run, labels = self.open("workload")
        tree = run["tree"][labels[0]]
        step = next(f for f in self.page.frames() if f["path"] == "Batch.Step")
        self.page.click_center(f"#flame-graph .frame[data-node='{step['node']}']")
        self.assertEqual(self.page.flame("focus"), str(step["node"]))
        zoomed = {f["path"]: f for f in self.page.frames()}
        self.assertAlmostEqual(zoomed["Batch.Step"]["width"], self.page.rect("#flame-graph")["w"], delta=1)
        self.page.click_center("#flame-graph .frame[data-node='0']")
        self.assertEqual(self.page.flame("focus"), "0")

        self.page.type_into("#flame-search", "io.dee")
        want = {p for p in tree["paths"] if p.split(";")[-1].lower().startswith("io.dee")}
        self.assertEqual(int(self.page.flame("matches")), len(want))
        marked = {f["path"] for f in self.page.frames() if f["match"]}
        self.assertEqual(marked, {p for p in want if p in {f["path"] for f in self.page.frames()}})
        # A match inside another counts once: Io.Deeper runs inside Io.Deep, unless the size
        # limit's notice took the Push line of that Io.Deep.
        outer = sum(float(tree["paths"][p][0]) for p in want
                    if not any(p.startswith(q + ";") for q in want))
        self.assertAlmostEqual(float(self.page.flame("matchShare")) / 1000, outer, delta=0.001 * len(want))
        self.page.clear("#flame-search")

    def test_reports_fetch_nothing_and_leave_screenshots(self):
        for name in ("demo", "workload"):
            with self.subTest(report=name):
                run, _ = self.open(name)
                self.assertEqual(self.browser.requests(), [f"file://{run['page']}"])
                with open(run["page"], encoding="utf-8") as f:
                    self.assertEqual(re.findall(r"(?i)\b(?:https?|ftp|wss?):|@import|url\(", f.read()), [])
                self.browser.screenshot(os.path.join(ARGS.out, f"report-{name}.png"))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", nargs=3, required=True, metavar=("SCRIPT", "LANE", "PREFIX"))
    parser.add_argument("--demo", required=True)
    parser.add_argument("--workload", required=True)
    parser.add_argument("--jovtrace", required=True)
    parser.add_argument("--out", required=True)
    ARGS = parser.parse_args()
    unittest.main(argv=sys.argv[:1], verbosity=2)
