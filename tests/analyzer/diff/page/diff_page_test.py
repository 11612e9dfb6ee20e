# diff_page_test.py - the page of `jovtrace report --base` in headless chromium, made of two
# generated runs: the frames' colours agree with the table's verdicts, a frame the new run lost
# is drawn at its base width, the sizing toggle, hover and search work, and the page asks for
# nothing over the network.
#
# Run: python3 diff_page_test.py JOVTRACE WRITE_PAGE_RUNS OUTPUT_DIR

import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "report"))
from report_page import ReportPage  # noqa: E402

JOVTRACE = WRITER = OUTPUT = None


class DiffPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(OUTPUT, exist_ok=True)
        subprocess.run([WRITER, OUTPUT], check=True)
        cls.path = os.path.join(OUTPUT, "diff.html")
        subprocess.run([JOVTRACE, "report", "-q", "--base", os.path.join(OUTPUT, "base"),
                        os.path.join(OUTPUT, "new"), "-o", cls.path], check=True)
        cls.page = ReportPage()
        cls.page.open(f"file://{cls.path}")

    @classmethod
    def tearDownClass(cls):
        cls.page.screenshot(os.path.join(OUTPUT, "diff-page.png"))
        cls.page.close()

    def frames(self):
        # Every frame drawn by its name: colour, classes and box.
        return {f["name"]: f for f in self.page.evaluate("""[...document.querySelectorAll('#flame-graph .frame')]
            .map(el => { const r = el.getBoundingClientRect();
                return {name: el.dataset.name, colour: getComputedStyle(el).backgroundColor,
                        cls: el.className.split(' '), x: r.x, y: r.y, w: r.width, h: r.height}; })""")}

    def test_frame_colours_agree_with_the_verdicts(self):
        verdicts = dict(self.page.evaluate("[...document.querySelectorAll('#diff-table tbody tr')]"
                                           ".map(tr => [tr.dataset.routine, tr.dataset.verdict])"))
        self.assertEqual(verdicts, {"Parser.Open": "slower", "Net.Send": "faster", "Store.Write": "unchanged",
                                    "Net.Retry": "removed", "Store.Compact": "added", "Batch.Run": "too few calls"})
        hue = {"slower": "red", "added": "red", "faster": "blue", "removed": "blue", "unchanged": "grey"}
        for name, frame in self.frames().items():
            if verdicts.get(name) in hue:
                r, g, b = [int(v) for v in re.findall(r"\d+", frame["colour"])[:3]]
                seen = "red" if r > b + 40 else "blue" if b > r + 40 else "grey"
                self.assertEqual(seen, hue[verdicts[name]], frame)

    def test_sizing_by_base_narrows_the_slower_frame_and_keeps_the_lost_one_wide(self):
        widths = {}
        for sizing in ("new", "base"):
            self.assertEqual(self.page.evaluate("document.getElementById('flame-graph').dataset.sizing"), sizing)
            frames = self.frames()
            widths[sizing] = frames["Parser.Open"]["w"]
            # 100 lost calls of 3 ms against 200 kept of 0.8 ms: wider, in either sizing.
            self.assertIn("lost", frames["Net.Retry"]["cls"])
            self.assertGreater(frames["Net.Retry"]["w"], frames["Store.Write"]["w"])
            self.page.evaluate("document.getElementById('flame-sizing').click()")
            self.page.next_frame()
        # The frame is 30 % slower; the whole grows less, so by the base it is narrower.
        self.assertLess(widths["base"], widths["new"] * 0.95)

    def test_hover_tells_base_to_new_and_the_change(self):
        frame = self.frames()["Parser.Open"]
        self.page.hover(frame["x"] + frame["w"] / 2, frame["y"] + frame["h"] / 2)
        text = self.page.tooltip()
        self.assertIn("Parser.Open", text)
        self.assertRegex(text, r"Self\s+[\d,.]+ → [\d,.]+ ms \(\+(2\d|3\d)\.\d %\)")

    def test_search_marks_matching_frames(self):
        self.page.set_value("#flame-search", "net.", "input")
        marked = [name for name, f in self.frames().items() if "match" in f["cls"]]
        self.assertEqual(sorted(marked), ["Net.Retry", "Net.Send"])
        self.page.set_value("#flame-search", "", "input")

    def test_page_asks_for_nothing_but_itself(self):
        self.assertEqual(self.page.requests(), [f"file://{self.path}"])


if __name__ == "__main__":
    JOVTRACE, WRITER, OUTPUT = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1])
