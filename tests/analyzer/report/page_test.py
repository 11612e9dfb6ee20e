# page_test.py - the report page in headless chromium, made by the writer from the traces of
# report_test_pages: it shows what the writer's data holds, reacts to input and fetches nothing.
# Run: python3 page_test.py REPORT_TEST_PAGES OUTPUT_DIR (the pages and a screenshot go there)

import json
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser  # noqa: E402
from report_page import ReportPage  # noqa: E402

PAGES = None
OUTPUT = None
DATA = re.compile(r'(<script id="report-data" type="application/json">)(.*?)(</script>)', re.S)


def data(path):
    """The data document the writer put in a page."""
    with open(path, encoding="utf-8") as f:
        return json.loads(DATA.search(f.read()).group(2))


class PageTest(unittest.TestCase):
    browser = None

    @classmethod
    def setUpClass(cls):
        cls.browser = Browser()
        cls.page = ReportPage(cls.browser)

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()

    @classmethod
    def load(cls, name):
        path = os.path.join(PAGES, f"{name}.html")
        cls.browser.open(f"file://{path}")
        return path

    def js(self, expression):
        return self.browser.evaluate(expression)


class SmallTraceTest(PageTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.path = cls.load("small")
        cls.trace = data(cls.path)["traces"][0]

    def setUp(self):
        self.browser.next_frame()

    def test_header_states_facts_and_repairs(self):
        facts = self.page.facts()
        self.assertRegex(facts["span"], "22:15:30.000.*20.000 ms")
        self.assertEqual([facts[k] for k in ("program", "processId", "threads", "calls")], ["demo", "42", "2: 7, 9", "7"])
        repairs = self.js("[...document.querySelectorAll('#repairs li')].map(l => [l.dataset.repair, l.textContent])")
        self.assertEqual(repairs, [["pushesMissing", "1 call whose Push line was lost"],
                                   ["closedByOuterPop", "1 level closed by an outer Pop"]])

    # The figures in the table and the flame graph are checked against the reader's in the
    # end-to-end test; here what only this trace has: an error code and the widths.
    def test_table_names_the_top_error_code_and_flame_widths_follow_the_totals(self):
        code = self.js("document.querySelector('#summary-table tbody tr.has-errors [data-key=topCode]').textContent")
        self.assertEqual(code, "5 ×1")
        by_name = {f["name"]: f for f in self.page.frames()}
        self.assertAlmostEqual(by_name["Parser.Open"]["width"] / by_name["all"]["width"], 11 / 15, delta=0.01)

    def test_table_sorts_by_a_column_and_filters_by_name(self):
        def column(key):
            return self.js(f"[...document.querySelectorAll('#summary-table tbody [data-key={key}]')].map(c => c.dataset.value)")
        self.assertEqual(column("name"), ["Parser.Open", "Parser.ReadBlock", "Startup.Init", "Monitor.Poll"])
        self.page.click_center("#summary-table th[data-key=max] button")
        self.assertEqual(column("max"), ["8000", "5000", "3000", "1000"])
        self.page.click_center("#summary-table th[data-key=max] button")
        self.assertEqual(column("max"), ["1000", "3000", "5000", "8000"])
        self.page.click_center("#summary-table th[data-key=name] button")
        self.assertEqual(column("name"), ["Monitor.Poll", "Parser.Open", "Parser.ReadBlock", "Startup.Init"])
        self.page.type_into("#summary-filter", "READ")
        self.assertEqual(column("name"), ["Parser.ReadBlock"])
        self.assertEqual(self.js("document.getElementById('summary-count').textContent"), "1 of 4 routines, times in ms")
        self.page.clear("#summary-filter")
        self.page.click_center("#summary-table th[data-key=total] button")

    def test_flame_click_zooms_into_a_frame_and_the_root_zooms_out(self):
        node = self.js("[...document.querySelectorAll('#flame-graph .frame')].find(e => e.textContent === 'Parser.ReadBlock').dataset.node")
        self.page.click_center(f"#flame-graph .frame[data-node=\"{node}\"]")
        self.assertEqual(self.js("document.getElementById('flame-graph').dataset.focus"), node)
        frames = {f["name"]: f for f in self.page.frames()}
        graph_width = self.page.rect("#flame-graph")["w"]
        self.assertAlmostEqual(frames["Parser.ReadBlock"]["width"], graph_width, delta=1)
        self.assertNotIn("Startup.Init", frames, "outside the zoomed frame")
        self.assertIn("zoomed to Parser.ReadBlock", self.js("document.getElementById('flame-status').textContent"))
        self.page.click_center("#flame-graph .frame[data-node=\"0\"]")
        self.assertEqual(self.js("document.getElementById('flame-graph').dataset.focus"), "0")
        self.assertEqual(len(self.page.frames()), len(self.trace["tree"]["name"]))

    def test_flame_search_marks_matches_and_their_share(self):
        self.page.type_into("#flame-search", "poll")
        matched = self.js("[...document.querySelectorAll('#flame-graph .frame.match')].map(e => e.textContent)")
        self.assertEqual(sorted(matched), ["Monitor.Poll", "Monitor.Poll"])
        # 0.8 ms under ReadBlock and 1 ms at the top, of 15 ms.
        self.assertIn("2 frames match \"poll\": 12.0 % of all time",
                      self.js("document.getElementById('flame-status').textContent"))
        # Parser.ReadBlock runs inside Parser.Open: their share is Parser.Open's 11 of 15 ms.
        self.page.type_into("#flame-search", "parser.")
        self.assertIn("2 frames match \"parser.\": 73.3 % of all time",
                      self.js("document.getElementById('flame-status').textContent"))
        self.page.clear("#flame-search")
        self.assertEqual(self.js("document.querySelectorAll('#flame-graph .frame.match').length"), 0)

    def test_flame_orientation_toggle_puts_the_root_on_top(self):
        for root_on_top in (False, True):
            tops = [f["top"] for f in self.page.frames()]
            self.assertEqual(tops[0] == min(tops), root_on_top)
            self.page.click_center("#flame-orientation")

    def test_timeline_has_one_lane_per_thread_and_the_counters(self):
        self.assertEqual(self.page.lanes(), [[7, 5], [9, 2]])
        counters = self.js("[...document.querySelectorAll('#timeline-counters .lane')].map(l => [l.dataset.counter, +l.dataset.samples])")
        self.assertEqual(counters, [[c["kind"], len(c["v"])] for c in self.trace["counters"]])
        self.assertIn(["handle-count", 3], counters)

    def test_timeline_keys_zoom_pan_and_show_all(self):
        everything = self.page.view()
        self.assertEqual(everything, [0, 20000])  # the first and the last line
        self.js("document.getElementById('timeline').focus()")
        self.browser.key("+", "Equal", "+")
        a, b = self.page.view()
        self.assertAlmostEqual((b - a) * 1.5, 20000, delta=2)
        self.browser.key("ArrowRight")
        c, d = self.page.view()
        self.assertAlmostEqual(c - a, (b - a) * 0.2, delta=2)
        self.browser.key("0", "Digit0", "0")
        self.assertEqual(self.page.view(), everything)

    def test_timeline_wheel_zooms_at_the_pointer_and_drag_pans(self):
        r = self.page.rect("#timeline-lanes")
        x = r["x"] + r["w"] * 0.25
        y = r["y"] + 10
        self.browser.call("Input.dispatchMouseEvent", {"type": "mouseWheel", "x": x, "y": y, "deltaX": 0, "deltaY": -300})
        self.browser.next_frame()
        a, b = self.page.view()
        self.assertLess(b - a, 20000)
        # The time under the pointer stays where it was.
        self.assertAlmostEqual(a + (b - a) * 0.25, 20000 * 0.25, delta=(b - a) * 0.01)
        self.browser.mouse("mousePressed", x, y, "left", 1)
        self.browser.mouse("mouseMoved", x - 100, y, "left")
        self.browser.mouse("mouseReleased", x - 100, y, "left", 1)
        self.browser.next_frame()
        c, d = self.page.view()
        self.assertAlmostEqual(c - a, 100 * (b - a) / r["w"], delta=(b - a) * 0.01)
        self.browser.key("0", "Digit0", "0")

    def call_point(self, thread, t):
        """The x of time t (µs from base) in a thread's lane, the lane's top and height."""
        return self.js(f"""(() => {{
            const lane = document.querySelector('#timeline-lanes .lane[data-thread="{thread}"] canvas');
            lane.scrollIntoView({{block: 'center'}});
            const r = lane.getBoundingClientRect();
            const tl = document.getElementById('timeline').dataset;
            return [r.x + ({t} - tl.viewStart) / (tl.viewEnd - tl.viewStart) * r.width, r.y, r.height];
        }})()""")

    def test_timeline_marks_errors_and_tells_a_call_on_hover(self):
        x, top, height = self.call_point(7, 7000)
        row_h = height / 2
        self.browser.hover(x, top + row_h * 1.5)
        text = self.page.tooltip()
        self.assertIn("Parser.ReadBlock", text)
        self.assertRegex(text, r"Return code\s+5")
        self.assertRegex(text, r"Detail\s+Request=1")
        # The mark at the call's start: vermillion pixels at the top left of its box.
        x0, _, _ = self.call_point(7, 5000)
        found = self.js(f"""(() => {{
            const c = document.querySelector('#timeline-lanes .lane[data-thread="7"] canvas');
            const r = c.getBoundingClientRect(), k = c.width / r.width;
            const d = c.getContext('2d').getImageData(Math.round(({x0} - r.x) * k), Math.round({row_h} * k),
                                                      Math.round(12 * k), Math.round(8 * k)).data;
            for (let i = 0; i < d.length; i += 4) if (d[i] === 0xd5 && d[i + 1] === 0x5e && d[i + 2] === 0) return true;
            return false; }})()""")
        self.assertTrue(found, "no error mark at the start of the failing call")
        self.browser.hover(x, top + row_h * 0.5)
        self.assertNotIn("Return code", self.page.tooltip())

    def test_page_asks_for_nothing_but_itself(self):
        self.assertEqual(self.browser.requests(), [f"file://{self.path}"])
        with open(self.path, encoding="utf-8") as f:
            text = f.read()
        self.assertEqual(re.findall(r"(?i)\b(?:https?|ftp|wss?):|//[a-z0-9.-]+\.[a-z]{2,}/|@import|url\(", text), [])

    def test_zz_screenshot(self):
        self.js("window.scrollTo(0, 0)")
        self.browser.next_frame()
        self.browser.screenshot(os.path.join(OUTPUT, "report-page.png"))


class OtherDataTest(PageTest):
    def test_dense_trace_counts_every_call_and_shows_aggregates(self):
        trace = data(self.load("dense"))["traces"][0]
        lanes = self.page.lanes()
        # 700 batches of a Batch.Run and 40 Db.Query on each thread.
        self.assertEqual(lanes, [[7, 700 * 41], [9, 700 * 41]])
        kept = sum(len(l["calls"]["dur"]) for l in trace["timeline"]["lanes"])
        self.assertLess(kept, trace["stats"]["calls"] / 2)
        r = self.page.rect("#timeline-lanes .lane[data-thread='7'] canvas")
        self.browser.hover(r["x"] + r["w"] * 0.5, r["y"] + r["h"] * 0.75)
        self.assertIn("(aggregated)", self.page.tooltip())

    def test_frames_too_narrow_to_see_appear_when_their_caller_is_zoomed(self):
        # Step.Tiny is 0.02 % of the time: a fraction of a pixel until Step.Mid fills the width.
        self.load("narrow")
        names = lambda: sorted(self.js("[...document.querySelectorAll('#flame-graph .frame')].map(e => e.textContent)"))
        self.assertEqual(names(), ["Main.Run", "Step.Mid", "all"])
        self.page.click_center("#flame-graph .frame[data-node='2']")
        self.assertEqual(names(), ["Main.Run", "Step.Mid", "Step.Tiny", "all"])

    def test_a_run_of_two_traces_switches_between_them(self):
        self.load("two")
        self.assertEqual(self.js("[...document.querySelectorAll('#trace-select option')].map(o => o.textContent)"),
                         ["demo (pid 42)", "batch (pid 42)"])
        self.page.select_trace(1)
        self.assertEqual(self.js("document.getElementById('report-title').textContent"), "batch")
        self.assertEqual(self.js("document.querySelectorAll('#summary-table tbody tr').length"), 2)

    def test_names_that_look_like_markup_stay_text(self):
        name = "</script><img src=x onerror=alert(1)>.Ünïcode"
        self.load("markup")
        self.assertFalse(self.js("document.documentElement.dataset.error || ''"))
        self.assertEqual(self.js("document.querySelector('#summary-table tbody th').textContent"), name)
        self.assertEqual(self.js("document.querySelectorAll('img, b').length"), 0)

    def test_an_empty_trace_and_a_foreign_version_say_so(self):
        empty = self.load("empty")
        self.assertEqual(self.js("document.querySelector('#timeline-lanes .empty').textContent"),
                         "The trace holds no routine calls.")
        with open(empty, encoding="utf-8") as f:
            doc = DATA.sub(lambda m: m.group(1) + m.group(2).replace('"version":1', '"version":2', 1) + m.group(3), f.read())
        with open(os.path.join(PAGES, "version.html"), "w", encoding="utf-8") as f:
            f.write(doc)
        self.load("version")
        self.assertIn("version 2", self.js("document.documentElement.dataset.error"))
        self.load("nothing")
        self.assertIn("notes.txt:1: not a trace file", self.js("document.documentElement.dataset.error"))


if __name__ == "__main__":
    OUTPUT = sys.argv[2]
    os.makedirs(OUTPUT, exist_ok=True)
    PAGES = os.path.join(OUTPUT, "pages")
    subprocess.run([sys.argv[1], PAGES], check=True)
    unittest.main(argv=sys.argv[:1], verbosity=2)
