# browser.py - headless chromium driven over the DevTools protocol on a pipe (NUL-terminated
# JSON messages; the browser reads fd 3 and writes fd 4), with Python's standard library only.

import base64
import fcntl
import json
import os
import shutil
import subprocess
import tempfile
import time

# Without the background-networking flags chromium's own connections are refused by this
# machine's closed network and it waits on them.
FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-extensions", "--mute-audio", "--hide-scrollbars",
]


class Browser:
    def __init__(self, timeout=60):
        self.timeout = timeout
        chromium = shutil.which("chromium") or shutil.which("chromium-browser")
        if not chromium:
            raise RuntimeError("chromium is not installed: run scripts/setup")
        self.profile = tempfile.mkdtemp(prefix="jovtrace-chromium-")
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()

        def child_fds():
            # Move both ends out of the way first: either may already be fd 3 or 4.
            high_r = fcntl.fcntl(to_browser_r, fcntl.F_DUPFD, 10)
            high_w = fcntl.fcntl(from_browser_w, fcntl.F_DUPFD, 10)
            os.dup2(high_r, 3)
            os.dup2(high_w, 4)

        self.process = subprocess.Popen(
            [chromium, *FLAGS, f"--user-data-dir={self.profile}", "--remote-debugging-pipe",
             "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            pass_fds=(3, 4), preexec_fn=child_fds)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._buffer = b""
        self._next_id = 0
        self.events = []
        self.session = None

    # -- the protocol --
    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            if time.monotonic() > deadline:
                raise TimeoutError("chromium did not answer in time")
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                raise RuntimeError("chromium closed the DevTools pipe")
            self._buffer += chunk
        raw, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(raw)

    def call(self, method, params=None, session=True):
        self._next_id += 1
        wanted = self._next_id
        message = {"id": wanted, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + self.timeout
        while True:
            message = self._read_message(deadline)
            if message.get("id") == wanted:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})
            if "method" in message:
                self.events.append(message)

    def requests(self):
        """URLs the page asked for, in order (Network.requestWillBeSent)."""
        return [e["params"]["request"]["url"] for e in self.events if e["method"] == "Network.requestWillBeSent"]

    # -- pages --
    def open(self, url, width=1600, height=1000):
        """Opens `url` in a new tab of the given size and waits until the page has drawn its
        first frame or given up with a message; returns what it set: data-first-draw (its
        milliseconds to the first draw) or data-error (the message)."""
        target = self.call("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True},
                                 session=False)["sessionId"]
        self.events.clear()
        for domain in ("Network", "Page", "Runtime"):
            self.call(f"{domain}.enable")
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.call("Page.navigate", {"url": url})
        root = "(document.documentElement || {dataset: {}}).dataset"
        deadline = time.monotonic() + self.timeout
        while not (drawn := self.evaluate(f"{root}.firstDraw || {root}.error")):
            if time.monotonic() > deadline:
                raise TimeoutError(f"{url} never drew")
            time.sleep(0.05)
        return drawn

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True})
        if "exceptionDetails" in result:
            raise RuntimeError(f"page script failed: {result['exceptionDetails']}")
        return result["result"].get("value")

    def next_frame(self):
        """Waits until the page has drawn what the last input asked for."""
        self.evaluate("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")

    # -- input --
    def mouse(self, kind, x, y, button="none", clicks=0):
        self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": button,
                                               "clickCount": clicks})

    def click(self, x, y):
        self.mouse("mouseMoved", x, y)
        self.mouse("mousePressed", x, y, "left", 1)
        self.mouse("mouseReleased", x, y, "left", 1)
        self.next_frame()

    def hover(self, x, y):
        self.mouse("mouseMoved", x, y)
        self.next_frame()

    def key(self, key, code=None, text=None):
        params = {"key": key, "code": code or key}
        if text:
            params["text"] = text
        self.call("Input.dispatchKeyEvent", {"type": "keyDown", **params})
        self.call("Input.dispatchKeyEvent", {"type": "keyUp", "key": key, "code": code or key})
        self.next_frame()

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        try:
            self.call("Browser.close", session=False)
        except (RuntimeError, TimeoutError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)
