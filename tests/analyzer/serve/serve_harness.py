# serve_harness.py - what the tests of `jovtrace serve` share: a free port, serve's exposition
# read back, summary's figures per routine, and the real Prometheus (Debian's) on 127.0.0.1
# with a temporary storage folder and a 1 s scrape interval, configured from the shipped
# contrib/prometheus files, and stopped whatever happens.
import csv
import io
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "follow"))
from follow_test import wait_for  # noqa: E402,F401


def read(path):
    with open(path) as f:
        return f.read()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get(url, accept=None, timeout=10):
    """(status, content type, body) of a GET."""
    request = urllib.request.Request(url, headers={"Accept": accept} if accept else {})
    try:
        with urllib.request.urlopen(request, timeout=timeout) as response:
            return response.status, response.headers["Content-Type"], response.read().decode()
    except urllib.error.HTTPError as error:
        return error.code, error.headers["Content-Type"], error.read().decode()


SAMPLE = re.compile(r'^([a-zA-Z_:][\w:]*)(?:\{(.*)\})? (\S+)$')


def samples(text):
    """{(name, frozenset of labels): value} of an exposition."""
    out = {}
    for line in text.splitlines():
        match = SAMPLE.match(line)
        if match and not line.startswith("#"):
            labels = frozenset(re.findall(r'(\w+)="((?:[^"\\]|\\.)*)"', match.group(2) or ""))
            out[(match.group(1), labels)] = float(match.group(3))
    return out


def pick(values, name, **labels):
    """The samples of `name` whose labels include `labels`: {frozenset of labels: value}."""
    want = set(labels.items())
    return {k[1]: v for k, v in values.items() if k[0] == name and want <= k[1]}


def summary_rows(jovtrace_cmd, files):
    """{(program, routine): (calls, errors, p95 seconds)} of `jovtrace summary --csv`."""
    out = subprocess.run(jovtrace_cmd + ["summary", "--csv"] + files, capture_output=True,
                         text=True, check=True).stdout.replace("\r", "")
    return {(row["trace"].split(" (pid")[0], row["routine"]):
            (int(row["calls"]), int(row["errors"]), float(row["p95_ms"]) / 1000)
            for row in csv.DictReader(io.StringIO(out))}


class Prometheus:
    """Prometheus scraping `target` every second with the shipped rules, `rules` applied:
    {alert name: (threshold, for)} replaces that rule's threshold and duration."""

    def __init__(self, contrib, target, rules=None):
        self.dir = tempfile.mkdtemp(prefix="prometheus")
        text = read(os.path.join(contrib, "jovtrace_rules.yml"))
        for alert, (threshold, hold) in (rules or {}).items():
            start = text.index("alert: " + alert)
            end = text.find("- alert:", start)
            end = len(text) if end < 0 else end
            block = re.sub(r"> [\d.]+\n", "> %s\n" % threshold, text[start:end], count=1)
            block = re.sub(r"for: \w+", "for: " + hold, block)
            text = text[:start] + block + text[end:]
        with open(os.path.join(self.dir, "jovtrace_rules.yml"), "w") as f:
            f.write(text)
        config = read(os.path.join(contrib, "prometheus.yml"))
        config = re.sub(r"(scrape|evaluation)_interval: \w+", r"\1_interval: 1s", config)
        config = re.sub(r"targets:\n(\s+- .*\n)+", "targets: ['%s']\n" % target, config)
        with open(os.path.join(self.dir, "prometheus.yml"), "w") as f:
            f.write(config)
        self.url = "http://127.0.0.1:%d" % free_port()
        self.log = open(os.path.join(self.dir, "log"), "w")
        self.process = subprocess.Popen(
            ["prometheus", "--config.file=" + os.path.join(self.dir, "prometheus.yml"),
             "--storage.tsdb.path=" + os.path.join(self.dir, "data"),
             "--web.listen-address=" + self.url[7:]],
            stdout=subprocess.DEVNULL, stderr=self.log)
        try:
            ready = wait_for(lambda: self.ready(), seconds=60)
            assert ready, "Prometheus did not come up:\n" + read(self.log.name)
            # Its first scrape comes seconds after it is ready (targets are handed over in
            # batches): the tests' timings start once it scrapes.
            scraping = wait_for(lambda: 1.0 in self.query("up").values(), seconds=60)
            assert scraping, "Prometheus does not scrape %s:\n%s" % (target, read(self.log.name))
        except BaseException:
            self.close()
            raise

    def ready(self):
        try:
            return get(self.url + "/-/ready", timeout=2)[0] == 200
        except OSError:
            return False

    def api(self, path, **params):
        body = get(self.url + "/api/v1/" + path + "?" + urllib.parse.urlencode(params))[2]
        return json.loads(body)["data"]

    def query(self, expr):
        """{frozenset of labels: value} of an instant query."""
        return {frozenset(r["metric"].items()): float(r["value"][1])
                for r in self.api("query", query=expr)["result"]}

    def counts(self):
        """{(program, routine): [calls, errors]} as Prometheus has them now."""
        got = {}
        for metric, at in (("jovtrace_routine_calls_total", 0), ("jovtrace_routine_errors_total", 1)):
            for labels, value in self.query(metric).items():
                labels = dict(labels)
                got.setdefault((labels["program"], labels["routine"]), [0, 0])[at] = int(value)
        return got

    def equal_counts(self, expected, seconds=30):
        """Waits until the counts equal summary's rows; the last counts when they never do."""
        want = {k: [v[0], v[1]] for k, v in expected.items()}
        return wait_for(lambda: self.counts() == want, seconds=seconds) or self.counts()

    def alerts(self, name, state="firing"):
        return [a for a in self.api("alerts")["alerts"]
                if a["labels"]["alertname"] == name and a["state"] == state]

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)
