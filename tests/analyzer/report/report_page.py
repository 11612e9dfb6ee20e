# report_page.py - a browser (browser.py) that reads from and acts on an open report page.

import base64
import json
import shutil
import subprocess

from browser import Browser


class ReportPage(Browser):
    def texts(self, selector):
        return self.evaluate(f"[...document.querySelectorAll({json.dumps(selector)})].map(e => e.textContent)")

    def text(self, selector):
        return self.evaluate(f"document.querySelector({json.dumps(selector)}).textContent")

    def rect(self, selector):
        """Scrolls the element into view and gives its box in the window."""
        return self.evaluate(f"""(() => {{ const e = document.querySelector({json.dumps(selector)});
            e.scrollIntoView({{block: 'center'}}); const r = e.getBoundingClientRect();
            return {{x: r.x, y: r.y, w: r.width, h: r.height}}; }})()""")

    def click_center(self, selector):
        r = self.rect(selector)
        self.click(r["x"] + r["w"] / 2, r["y"] + r["h"] / 2)

    def set_value(self, selector, value, event):
        self.evaluate(f"{{ const i = document.querySelector({json.dumps(selector)}); i.value = {json.dumps(value)}; "
                      f"i.dispatchEvent(new Event('{event}')); }}")
        self.next_frame()

    def type_into(self, selector, text):
        self.set_value(selector, "", "input")
        self.click_center(selector)
        self.call("Input.insertText", {"text": text})
        self.next_frame()

    def select_trace(self, index):
        self.set_value("#trace-select", str(index), "change")

    def tooltip(self):
        return self.evaluate("document.getElementById('tooltip').innerText")

    def facts(self):
        return self.evaluate("Object.fromEntries([...document.querySelectorAll('#facts dd')]"
                             ".map(d => [d.dataset.fact, d.textContent]))")

    def table(self):
        """One dict per row of the routine table: column key -> the cell's raw value."""
        return self.evaluate("""[...document.querySelectorAll('#summary-table tbody tr')].map(tr =>
            Object.fromEntries([...tr.children].map(c => [c.dataset.key, c.dataset.value])))""")

    def frames(self):
        """The flame graph's frames in the page: node, parent, figures, name, box."""
        return self.evaluate("""[...document.querySelectorAll('#flame-graph .frame')].map(e => ({
            node: +e.dataset.node, parent: +e.dataset.parent, calls: +e.dataset.calls,
            total: +e.dataset.total, self: +e.dataset.self, name: e.textContent,
            width: e.getBoundingClientRect().width, top: e.getBoundingClientRect().top}))""")

    def lanes(self):
        """[thread, calls, texts] of each thread's lane."""
        return self.evaluate("[...document.querySelectorAll('#timeline-lanes .lane')]"
                             ".map(l => [+l.dataset.thread, +l.dataset.calls, +l.dataset.texts])")

    def view(self):
        timeline = "document.getElementById('timeline').dataset"
        return self.evaluate(f"[+{timeline}.viewStart, +{timeline}.viewEnd]")

    def visible_text(self):
        """The text a reader sees: the page printed to PDF, read back by pdftotext."""
        if not shutil.which("pdftotext"):
            raise RuntimeError("pdftotext is not installed: run scripts/setup")
        pdf = base64.b64decode(self.call("Page.printToPDF")["data"])
        return subprocess.run(["pdftotext", "-enc", "UTF-8", "-", "-"], input=pdf, capture_output=True,
                              check=True).stdout.decode("utf-8")
