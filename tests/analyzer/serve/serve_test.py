#!/usr/bin/env python3
# serve_test.py - `jovtrace serve` as an operator runs it: scraped by the real Prometheus
# while jovtrace_livegen writes two programs' traces (counts equal `jovtrace summary`'s, the
# p95 in summary's bucket, the shipped stuck-thread alert fires and resolves); a folder that
# changes under it (traces there at start, rollovers, a deletion, a late trace, garbage);
# bad options, the HTTP surface and a scrape under 500,000 lines/s.
#
# Usage: serve_test.py JOVTRACE LIVEGEN CONTRIB WORKDIR [-- unittest arguments]
import datetime
import os
import re
import socket
import subprocess
import sys
import time
import unittest
import urllib.error
import urllib.request

from serve_harness import Prometheus, free_port, get, pick, samples, summary_rows, wait_for

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "follow"))
from follow_test import HEADER, ProcessTest  # noqa: E402

JOVTRACE = LIVEGEN = CONTRIB = WORK = None
BUCKETS = [0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5,
           1, 2.5, 5, 10, 30, 60, float("inf")]
CLOSED = "22:15:31.000    0.000 Trace Closed.\r\n"


class ServeTest(ProcessTest):

    def serve(self, *args):
        """serve on the test's folder; its /metrics URL once it answers."""
        port = free_port()
        process = self.start([JOVTRACE, "serve", self.dir, "--listen", "127.0.0.1:%d" % port]
                             + list(args), stderr=subprocess.PIPE)
        url = "http://127.0.0.1:%d" % port
        self.assertTrue(wait_for(lambda: self.answers(url)), process.stderr.read() if process.poll() else "")
        self.serve_process = process
        return url

    @staticmethod
    def answers(url):
        try:
            return get(url + "/healthz", timeout=2)[0] == 200
        except OSError:
            return False

    def livegen(self, name, *args):
        return self.start([LIVEGEN, self.dir, name] + list(args), stdout=subprocess.PIPE)

    def test_fleet_counts_quantiles_and_stuck_thread_alert(self):
        url = self.serve("--retain", "600")
        prometheus = Prometheus(CONTRIB, url[7:], {"JovtraceThreadStuck": ("2", "3s")})
        self.addCleanup(prometheus.close)
        held = self.livegen("alpha", "--rate", "20000", "--seconds", "14", "--pid", "11",
                            "--hold", "Service.WaitForJob")
        other = self.livegen("beta", "--rate", "20000", "--seconds", "4", "--pid", "12",
                             "--seed", "5")
        # The held call shows with its growing age, and the shipped rule fires: pending within
        # two scrape intervals (and one evaluation) of the age passing 2 s, firing `for` later.
        stuck = 'jovtrace_open_call_seconds{program="alpha",routine="Service.WaitForJob"}'
        ages = [wait_for(lambda: prometheus.query(stuck)) for _ in range(2) if time.sleep(1.5) is None]
        self.assertEqual(len(ages[0]), 1)
        (labels, first), = ages[0].items()
        self.assertEqual(dict(labels)["thread"], "7")
        self.assertGreater(ages[1][labels], first)
        self.assertTrue(wait_for(lambda: prometheus.alerts("JovtraceThreadStuck"), seconds=20))
        age = pick(samples(get(url + "/metrics")[2]), "jovtrace_open_call_seconds",
                   routine="Service.WaitForJob")
        crossed = time.time() - list(age.values())[0] + 2
        alert = prometheus.alerts("JovtraceThreadStuck")[0]
        active = datetime.datetime.fromisoformat(re.sub(r"(\.\d{6})\d*", r"\1", alert["activeAt"]))
        self.assertLess(active.timestamp() - crossed, 2 * 1 + 1 + 0.5)
        firing = alert["labels"]
        self.assertEqual((firing["routine"], firing["thread"]), ("Service.WaitForJob", "7"))
        # The routine pops when the writer ends: the alert resolves.
        self.assertEqual(held.wait(timeout=60), 0)
        other.wait(timeout=60)
        self.assertTrue(wait_for(lambda: not prometheus.alerts("JovtraceThreadStuck", "firing")
                                 and not prometheus.alerts("JovtraceThreadStuck", "pending"),
                                 seconds=20))

        # Once both closed, Prometheus's figures equal summary's.
        files = sorted(os.path.join(self.dir, f) for f in os.listdir(self.dir))
        expected = summary_rows([JOVTRACE], files)
        self.assertEqual({p for p, _ in expected}, {"alpha", "beta"})

        self.assertIs(prometheus.equal_counts(expected), True)
        # Each routine's 95th percentile from the histogram lies in the bucket of summary's
        # (its sketch is within 1 %, so a value by a bound may stand on either side of it).
        quantiles = prometheus.query('histogram_quantile(0.95, sum by (program, routine, le) '
                                     '(jovtrace_routine_duration_seconds_bucket))')
        for (program, routine), (calls, _, p95) in expected.items():
            quantile = quantiles[frozenset({"program": program, "routine": routine}.items())]
            low = max([b for b in BUCKETS if b < p95 * 0.99] or [0])
            high = min(b for b in BUCKETS if b >= p95 * 1.01)
            self.assertTrue(low <= quantile <= high, (routine, p95, quantile))
        names = prometheus.api("label/__name__/values")
        self.assertTrue(all(n.startswith("jovtrace_") for n in names
                            if not n.startswith(("up", "scrape_", "ALERTS"))), names)

    def test_changing_folder(self):
        def write(name, text, mode="w"):
            with open(os.path.join(self.dir, name), mode, newline="") as f:
                f.write(text)
        # There at start: a closed trace (nothing of it counted, no series) and one with
        # Parser.Open open (caught up silently: its open call shows, its past counts nothing).
        write("261203 221000 old.JOV_Log", HEADER.replace("pid 42", "").replace("=42", "=41")
              + "22:15:30.010    6.000 Pop  Parser.Open  Dur=6.000 msecs\r\n" + CLOSED)
        write("261203 221530 demo.JOV_Log", HEADER)
        write("junk.JOV_Log", "no trace here\r\n\x00\x01\x02 at all\r\n")
        url = self.serve("--retain", "4")
        values = lambda: samples(get(url + "/metrics")[2])  # noqa: E731
        self.assertTrue(wait_for(lambda: pick(values(), "jovtrace_open_call_seconds", program="demo",
                                              routine="Parser.Open")))
        # After start: garbage lines, then the Pop and the close count.
        write("261203 221530 demo.JOV_Log", "@@ garbage\r\n\x7f\x7f\r\n22:15:30.010    6.000 Pop  "
              "Parser.Open  Dur=6.000 msecs\r\n" + CLOSED, "a")
        # A trace that appears after start and rolls over twice; one deleted while followed.
        roller = self.livegen("roll", "--rate", "40000", "--seconds", "3", "--size-limit", "300000",
                              "--pid", "13")
        doomed = self.livegen("doomed", "--rate", "1000", "--seconds", "60", "--pid", "14")
        doomed_file = doomed.stdout.readline().strip()
        time.sleep(2)
        os.remove(doomed_file)
        self.assertEqual(roller.wait(timeout=60), 0)
        roll_files = sorted(os.path.join(self.dir, f) for f in os.listdir(self.dir) if "roll" in f)
        self.assertGreaterEqual(len(roll_files), 3)
        expected = {k[1]: v[0] for k, v in summary_rows([JOVTRACE], roll_files).items()}

        def settled():
            v = values()
            calls = {dict(k)["routine"]: n for k, n in
                     pick(v, "jovtrace_routine_calls_total", program="roll").items()}
            return v if calls == expected and pick(v, "jovtrace_traces_followed", program="doomed") \
                == {frozenset({"program": "doomed", "pid": "14"}.items()): 0} else None
        v = wait_for(settled, seconds=30)
        self.assertTrue(v, values())
        demo = {"program": "demo", "pid": "42"}
        self.assertEqual(pick(v, "jovtrace_routine_calls_total", program="demo"),
                         {frozenset({"program": "demo", "routine": "Parser.Open"}.items()): 1})
        self.assertEqual(pick(v, "jovtrace_unreadable_lines_total", **demo), {frozenset(demo.items()): 2})
        self.assertEqual(pick(v, "jovtrace_open_call_seconds", program="demo"), {})
        self.assertEqual(pick(v, "jovtrace_lines_read_total", program="old"), {})
        roll = pick(v, "jovtrace_trace_files_total", program="roll")
        self.assertEqual(list(roll.values()), [len(roll_files)])
        exporter = {n: v[(n, frozenset())] for n in ("jovtrace_files_not_traces", "jovtrace_trace_errors_total")}
        self.assertEqual(exporter, {"jovtrace_files_not_traces": 1, "jovtrace_trace_errors_total": 1})
        # Past --retain the ended processes' series go; their routines' counters stay.
        self.assertTrue(wait_for(lambda: not pick(values(), "jovtrace_lines_read_total")))
        self.assertEqual(len(pick(values(), "jovtrace_routine_calls_total", program="roll")), len(expected))
        self.assertIsNone(self.serve_process.poll())

    def test_bad_input_http_surface_and_load(self):
        taken = socket.socket()
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        self.addCleanup(taken.close)
        cases = [(["--listen", "127.0.0.1:%d" % taken.getsockname()[1]], "cannot listen on"),
                 (["--listen", "127.0.0.1:99999"], "bad --listen"),
                 (["--listen", ":80"], "bad --listen"),
                 (["--buckets", "1,0.5"], "bad --buckets"),
                 ([os.path.join(self.dir, "missing")], "no such file or folder")]
        for args, message in cases:
            with self.subTest(args=args):
                run = subprocess.run([JOVTRACE, "serve", self.dir] + args, capture_output=True,
                                     text=True, timeout=30)
                self.assertEqual((run.returncode, message in run.stderr), (2, True), run.stderr)

        url = self.serve("--max-routines", "10")
        writer = self.livegen("fast", "--rate", "500000", "--seconds", "6")
        self.assertTrue(wait_for(lambda: "<td>fast</td>" in get(url + "/")[2]))
        answered = 0
        while writer.poll() is None:
            status, type_, body = get(url + "/metrics", timeout=10)
            answered += status == 200 and "jovtrace_lines_read_total" in body
            time.sleep(0.3)
        self.assertGreaterEqual(answered, 5)
        # Past --max-routines: ten routines, the rest as "(other)", every call counted.
        expected = summary_rows([JOVTRACE], [os.path.join(self.dir, f) for f in os.listdir(self.dir)])
        v = wait_for(lambda: (lambda v: v if sum(pick(v, "jovtrace_routine_calls_total").values())
                              == sum(c for c, _, _ in expected.values()) else None)(samples(get(url + "/metrics")[2])))
        self.assertTrue(v)
        routines = {dict(k)["routine"] for k in pick(v, "jovtrace_routine_calls_total")}
        self.assertEqual((len(routines), "(other)" in routines), (11, True))
        self.assertEqual(v[("jovtrace_routines_folded", frozenset({("program", "fast")}))], len(expected) - 10)
        text = get(url + "/metrics")[2]
        lint = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True,
                              text=True)
        self.assertEqual((lint.returncode, lint.stdout + lint.stderr), (0, ""))
        status, type_, body = get(url + "/metrics", "application/openmetrics-text;version=1.0.0,"
                                  "text/plain;version=0.0.4;q=0.5")
        self.assertEqual((status, type_.split(";")[0], body.splitlines()[-1]),
                         (200, "application/openmetrics-text", "# EOF"))
        self.assertIn("# TYPE jovtrace_routine_calls counter", body)
        for path, method, code in (("/metrics", "POST", 405), ("/etc/passwd", "GET", 404),
                                   ("/../metrics", "GET", 404)):
            request = urllib.request.Request(url + path, b"x", method=method)
            with self.subTest(path=path):
                try:
                    urllib.request.urlopen(request, timeout=5).close()
                    status = 200
                except urllib.error.HTTPError as error:
                    status = error.code
                self.assertEqual(status, code)


if __name__ == "__main__":
    JOVTRACE, LIVEGEN, CONTRIB, WORK = sys.argv[1:5]
    os.makedirs(WORK, exist_ok=True)
    ProcessTest.work = WORK
    unittest.main(argv=[sys.argv[0]] + sys.argv[5:])
