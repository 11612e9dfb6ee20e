"""report_page.py - what a test reads from and does to an open report page (browser.py)."""

import json


class ReportPage:
    def __init__(self, browser):
        self.browser = browser

    def js(self, expression):
        return self.browser.evaluate(expression)

    def rect(self, selector):
        """Scrolls the element into view and gives its box in the window."""
        return self.js(f"""(() => {{ const e = document.querySelector({json.dumps(selector)});
            e.scrollIntoView({{block: 'center'}}); const r = e.getBoundingClientRect();
            return {{x: r.x, y: r.y, w: r.width, h: r.height}}; }})()""")

    def click_center(self, selector):
        r = self.rect(selector)
        self.browser.click(r["x"] + r["w"] / 2, r["y"] + r["h"] / 2)

    def type_into(self, selector, text):
        self.clear(selector)
        self.click_center(selector)
        self.browser.call("Input.insertText", {"text": text})
        self.browser.next_frame()

    def clear(self, selector):
        self.js(f"{{ const i = document.querySelector({json.dumps(selector)}); i.value = ''; "
                "i.dispatchEvent(new Event('input')); }")
        self.browser.next_frame()

    def select_trace(self, index):
        self.js(f"{{ const s = document.getElementById('trace-select'); s.value = '{index}'; "
                "s.dispatchEvent(new Event('change')); }")
        self.browser.next_frame()

    def facts(self):
        return self.js("Object.fromEntries([...document.querySelectorAll('#facts dd')]"
                       ".map(d => [d.dataset.fact, d.textContent]))")

    def table(self):
        """One dict per row of the routine table: column key -> the cell's raw value."""
        return self.js("""[...document.querySelectorAll('#summary-table tbody tr')].map(tr =>
            Object.fromEntries([...tr.children].map(c => [c.dataset.key, c.dataset.value])))""")

    def frames(self):
        """The flame graph's frames in the page: node, parent, figures, name, path, box."""
        frames = self.js("""[...document.querySelectorAll('#flame-graph .frame')].map(e => ({
            node: +e.dataset.node, parent: +e.dataset.parent, calls: +e.dataset.calls,
            total: +e.dataset.total, self: +e.dataset.self, name: e.textContent,
            match: e.classList.contains('match'), width: e.getBoundingClientRect().width,
            top: e.getBoundingClientRect().top}))""")
        by_node = {f["node"]: f for f in frames}
        for f in frames:
            names, at = [], f
            while at and at["node"] != 0:
                names.append(at["name"])
                at = by_node.get(at["parent"])
            f["path"] = ";".join(reversed(names))
        return frames

    def lanes(self):
        return self.js("[...document.querySelectorAll('#timeline-lanes .lane')]"
                       ".map(l => [+l.dataset.thread, +l.dataset.calls])")

    def view(self):
        return self.js("[+document.getElementById('timeline').dataset.viewStart,"
                       " +document.getElementById('timeline').dataset.viewEnd]")

    def tooltip(self):
        return self.js("document.getElementById('tooltip').innerText")
