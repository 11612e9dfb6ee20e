# page_test.py - the report page in headless chromium, made by the writer from the traces of
# report_test_pages: it shows what the writer's data holds (in print too), reacts to input and
# fetches nothing.
# Run: python3 page_test.py REPORT_TEST_PAGES OUTPUT_DIR (the pages and a screenshot go there)

import json
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from report_page import ReportPage  # noqa: E402

PAGES = None
OUTPUT = None
DATA = re.compile(r'(<script id="report-data" type="application/json">)(.*?)(</script>)', re.S)


def load(page, name):
    """Opens a written page; gives its path and the data document the writer put in it."""
    path = os.path.join(PAGES, f"{name}.html")
    page.open(f"file://{path}")
    with open(path, encoding="utf-8") as f:
        return path, json.loads(DATA.search(f.read()).group(2))


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.page = ReportPage()

    @classmethod
    def tearDownClass(cls):
        cls.page.close()

    def check_figures(self, trace):
        """The routine table and the flame graph's frames show the figures the writer wrote."""
        names, tree = trace["names"], trace["tree"]
        keys = ("calls", "total", "self", "mean", "median", "p95", "max", "errors", "topCode")
        want = {names[r[0]]: [*r[1:9], r[9] if r[8] else None] for r in trace["summary"]}
        got = {row["name"]: [float(row[k]) if row[k] else None for k in keys]
               for row in self.page.table()}
        self.assertEqual(got, want)
        for f in self.page.frames():
            n = f["node"]
            if n:  # not the root
                self.assertEqual([f["name"], f["parent"], f["calls"], f["total"], f["self"]],
                                 [names[tree[k][n]] if k == "name" else tree[k][n]
                                  for k in ("name", "parent", "calls", "total", "self")], n)


class SmallTraceTest(PageTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.path, data = load(cls.page, "small")
        cls.trace = data["traces"][0]

    @classmethod
    def tearDownClass(cls):
        cls.page.evaluate("window.scrollTo(0, 0)")
        cls.page.next_frame()
        cls.page.screenshot(os.path.join(OUTPUT, "report-page.png"))
        super().tearDownClass()

    def test_header_states_facts_and_repairs(self):
        facts = self.page.facts()
        self.assertRegex(facts["span"], "22:15:30.000.*20.000 ms")
        self.assertEqual([facts[k] for k in ("program", "processId", "threads", "calls")],
                         ["demo", "42", "2: 7, 9", "7"])
        repairs = self.page.evaluate(
            "[...document.querySelectorAll('#repairs li')].map(l => [l.dataset.repair, l.textContent])")
        self.assertEqual(repairs, [["pushesMissing", "1 call whose Push line was lost"],
                                   ["closedByOuterPop", "1 level closed by an outer Pop"]])

    def test_table_names_the_top_error_code_and_flame_widths_follow_the_totals(self):
        self.check_figures(self.trace)
        self.assertEqual(self.page.text("#summary-table tbody tr.has-errors [data-key=topCode]"), "5 ×1")
        by_name = {f["name"]: f for f in self.page.frames()}
        self.assertAlmostEqual(by_name["Parser.Open"]["width"] / by_name["all"]["width"], 11 / 15, delta=0.01)

    def test_table_sorts_by_a_column_and_filters_by_name(self):
        # By total at first; a click on a heading sorts by its column, a second one the other way.
        by_total = ["Parser.Open", "Parser.ReadBlock", "Startup.Init", "Monitor.Poll"]
        for i, (key, want) in enumerate((("name", by_total), ("max", ["8000", "5000", "3000", "1000"]),
                                         ("max", ["1000", "3000", "5000", "8000"]), ("name", sorted(by_total)))):
            if i:
                self.page.click_center(f"#summary-table th[data-key={key}] button")
            self.assertEqual(self.page.evaluate(f"[...document.querySelectorAll('#summary-table tbody "
                                                f"[data-key={key}]')].map(c => c.dataset.value)"), want)
        self.page.type_into("#summary-filter", "READ")
        self.assertEqual(self.page.texts("#summary-table tbody th"), ["Parser.ReadBlock"])
        self.assertEqual(self.page.text("#summary-count"), "1 of 4 routines, times in ms")
        self.page.set_value("#summary-filter", "", "input")
        self.page.click_center("#summary-table th[data-key=total] button")

    def test_flame_click_zooms_into_a_frame_and_the_root_zooms_out(self):
        node = next(f["node"] for f in self.page.frames() if f["name"] == "Parser.ReadBlock")
        for focus in (node, 0):
            self.page.click_center(f"#flame-graph .frame[data-node=\"{focus}\"]")
            self.assertEqual(self.page.evaluate("document.getElementById('flame-graph').dataset.focus"), str(focus))
            frames = {f["name"]: f for f in self.page.frames()}
            if focus:
                graph_width = self.page.rect("#flame-graph")["w"]
                self.assertAlmostEqual(frames["Parser.ReadBlock"]["width"], graph_width, delta=1)
                self.assertNotIn("Startup.Init", frames, "outside the zoomed frame")
                self.assertIn("zoomed to Parser.ReadBlock", self.page.text("#flame-status"))
        self.assertEqual(len(self.page.frames()), len(self.trace["tree"]["name"]))

    def test_flame_search_marks_matches_and_their_share(self):
        # Monitor.Poll: 0.8 ms under ReadBlock and 1 ms at the top, of 15 ms. Parser.ReadBlock
        # runs inside Parser.Open: their share is Parser.Open's 11 of 15 ms.
        for needle, share, matched in (("poll", "12.0", ["Monitor.Poll"] * 2),
                                       ("parser.", "73.3", ["Parser.Open", "Parser.ReadBlock"])):
            self.page.type_into("#flame-search", needle)
            self.assertIn(f"2 frames match \"{needle}\": {share} % of all time", self.page.text("#flame-status"))
            self.assertEqual(sorted(self.page.texts("#flame-graph .frame.match")), matched)
        self.page.set_value("#flame-search", "", "input")
        self.assertEqual(self.page.texts("#flame-graph .frame.match"), [])

    def test_flame_orientation_toggle_puts_the_root_on_top(self):
        for root_on_top in (False, True):
            tops = [f["top"] for f in self.page.frames()]
            self.assertEqual(tops[0] == min(tops), root_on_top)
            self.page.click_center("#flame-orientation")

    def test_timeline_has_one_lane_per_thread_and_the_counters(self):
        self.assertEqual(self.page.lanes(), [[7, 5, 0], [9, 2, 0]])
        counters = self.page.evaluate("[...document.querySelectorAll('#timeline-counters .lane')]"
                                      ".map(l => [l.dataset.counter, +l.dataset.samples])")
        self.assertEqual(counters, [[c["kind"], len(c["v"])] for c in self.trace["counters"]])
        self.assertIn(["handle-count", 3], counters)

    def test_timeline_keys_zoom_pan_and_show_all(self):
        self.assertEqual(self.page.view(), [0, 20000])  # the first and the last line
        self.page.evaluate("document.getElementById('timeline').focus()")
        self.page.key("+", "Equal", "+")
        a, b = self.page.view()
        self.assertAlmostEqual((b - a) * 1.5, 20000, delta=2)
        self.page.key("ArrowRight")
        self.assertAlmostEqual(self.page.view()[0] - a, (b - a) * 0.2, delta=2)
        self.page.key("0", "Digit0", "0")
        self.assertEqual(self.page.view(), [0, 20000])

    def test_timeline_wheel_zooms_at_the_pointer_and_drag_pans(self):
        r = self.page.rect("#timeline-lanes")
        x = r["x"] + r["w"] * 0.25
        y = r["y"] + 10
        self.page.call("Input.dispatchMouseEvent",
                       {"type": "mouseWheel", "x": x, "y": y, "deltaX": 0, "deltaY": -300})
        self.page.next_frame()
        a, b = self.page.view()
        self.assertLess(b - a, 20000)
        # The time under the pointer stays where it was.
        self.assertAlmostEqual(a + (b - a) * 0.25, 20000 * 0.25, delta=(b - a) * 0.01)
        self.page.mouse("mousePressed", x, y, "left", 1)
        self.page.mouse("mouseMoved", x - 100, y, "left")
        self.page.mouse("mouseReleased", x - 100, y, "left", 1)
        self.page.next_frame()
        self.assertAlmostEqual(self.page.view()[0] - a, 100 * (b - a) / r["w"], delta=(b - a) * 0.01)
        self.page.key("0", "Digit0", "0")

    def test_timeline_marks_errors_and_tells_a_call_on_hover(self):
        # Thread 7's lane has two rows; Parser.ReadBlock fails on the second from 5 to 10 ms.
        canvas = "document.querySelector('#timeline-lanes .lane[data-thread=\"7\"] canvas')"
        r = self.page.rect("#timeline-lanes .lane[data-thread='7'] canvas")
        start, end = self.page.view()
        x = r["x"] + (7000 - start) / (end - start) * r["w"]
        x0 = r["x"] + (5000 - start) / (end - start) * r["w"]
        row_h = r["h"] / 2
        self.page.hover(x, r["y"] + row_h * 1.5)
        text = self.page.tooltip()
        self.assertIn("Parser.ReadBlock", text)
        self.assertRegex(text, r"Return code\s+5")
        self.assertRegex(text, r"Detail\s+Request=1")
        # The mark at the call's start: vermillion pixels at the top left of its box.
        found = self.page.evaluate(f"""(() => {{
            const c = {canvas}, r = c.getBoundingClientRect(), k = c.width / r.width;
            const d = c.getContext('2d').getImageData(Math.round(({x0} - r.x) * k), Math.round({row_h} * k),
                                                      Math.round(12 * k), Math.round(8 * k)).data;
            for (let i = 0; i < d.length; i += 4) if (d[i] === 0xd5 && d[i + 1] === 0x5e && d[i + 2] === 0) return true;
            return false; }})()""")
        self.assertTrue(found, "no error mark at the start of the failing call")
        self.page.hover(x, r["y"] + row_h * 0.5)
        self.assertNotIn("Return code", self.page.tooltip())

    def test_page_asks_for_nothing_but_itself(self):
        self.assertEqual(self.page.requests(), [f"file://{self.path}"])
        with open(self.path, encoding="utf-8") as f:
            text = f.read()
        self.assertEqual(re.findall(r"(?i)\b(?:https?|ftp|wss?):|//[a-z0-9.-]+\.[a-z]{2,}/|@import|url\(", text), [])


class OtherDataTest(PageTest):
    def test_dense_trace_counts_every_call_and_shows_aggregates(self):
        trace = load(self.page, "dense")[1]["traces"][0]
        self.check_figures(trace)
        # 700 batches of a Batch.Run and 40 Db.Query on each thread.
        self.assertEqual(self.page.lanes(), [[7, 700 * 41, 0], [9, 700 * 41, 0]])
        kept = sum(len(lane["calls"]["dur"]) for lane in trace["timeline"]["lanes"])
        self.assertLess(kept, trace["stats"]["calls"] / 2)
        r = self.page.rect("#timeline-lanes .lane[data-thread='7'] canvas")
        self.page.hover(r["x"] + r["w"] * 0.5, r["y"] + r["h"] * 0.75)
        self.assertIn("(aggregated)", self.page.tooltip())

    def test_frames_too_narrow_to_see_appear_when_their_caller_is_zoomed(self):
        # Step.Tiny is 0.02 % of the time: a fraction of a pixel until Step.Mid fills the width.
        load(self.page, "narrow")
        self.assertEqual(sorted(self.page.texts("#flame-graph .frame")), ["Main.Run", "Step.Mid", "all"])
        self.page.click_center("#flame-graph .frame[data-node='2']")
        self.assertEqual(sorted(self.page.texts("#flame-graph .frame")),
                         ["Main.Run", "Step.Mid", "Step.Tiny", "all"])

    def test_a_run_of_two_traces_switches_between_them(self):
        load(self.page, "two")
        self.assertEqual(self.page.texts("#trace-select option"), ["demo (pid 42)", "batch (pid 42)"])
        self.page.select_trace(1)
        self.assertEqual(self.page.text("#report-title"), "batch")
        self.assertEqual(len(self.page.texts("#summary-table tbody tr")), 2)

    def test_names_that_look_like_markup_stay_text(self):
        load(self.page, "markup")
        name = "</script><img src=x onerror=alert(1)>.Ünïcode"
        self.assertEqual(self.page.texts("#summary-table tbody th"), [name])
        self.assertEqual(self.page.evaluate("document.querySelectorAll('img, b').length"), 0)

    def test_threads_without_calls_show_their_texts_and_the_print_reads_as_written(self):
        # The demo's shape in code page 1252: threads 7 (the header and a text) and 9 wrote
        # texts only, thread 8 made the calls, one each 3 ms.
        self.page.open(f"file://{os.path.join(PAGES, 'ansi.html')}")
        self.assertEqual(self.page.lanes(), [[7, 0, 2], [8, 4, 0], [9, 0, 4]])
        start, end = self.page.view()

        def hover(thread, t):
            r = self.page.rect(f"#timeline-lanes .lane[data-thread='{thread}'] canvas")
            self.page.hover(r["x"] + (t - start) / (end - start) * r["w"], r["y"] + r["h"] / 2)
            return self.page.tooltip()
        self.assertRegex(hover(9, 5000), r"Text\s+monitor: Prüfung 1")
        text = self.page.visible_text()
        self.assertNotIn("no routine calls", text)
        self.assertIn("Büro.Öffnen", text)
        self.assertIn("Jürgen", text)
        self.assertRegex(hover(8, 1500), r"Detail\s+file=café\.dat")

    def test_an_empty_trace_a_foreign_version_and_no_trace_say_so(self):
        empty = load(self.page, "empty")[0]
        self.assertEqual(self.page.text("#timeline-lanes .empty"), "The trace holds no routine calls.")
        with open(empty, encoding="utf-8") as f:
            page = DATA.sub(lambda m: m[1] + m[2].replace('"version":1', '"version":2', 1) + m[3], f.read())
        with open(os.path.join(PAGES, "version.html"), "w", encoding="utf-8") as f:
            f.write(page)
        for name, error in (("version", "version 2"), ("nothing", "notes.txt:1: not a trace file")):
            self.page.open(f"file://{os.path.join(PAGES, name)}.html")
            self.assertIn(error, self.page.evaluate("document.documentElement.dataset.error"))


if __name__ == "__main__":
    OUTPUT = sys.argv[2]
    os.makedirs(OUTPUT, exist_ok=True)
    PAGES = os.path.join(OUTPUT, "pages")
    subprocess.run([sys.argv[1], PAGES], check=True)
    unittest.main(argv=sys.argv[:1], verbosity=2)
