#!/usr/bin/env python3
# serve_wine_test.py - the 64-bit lane's `jovtrace serve`: jovtrace.exe under Wine following
# the traces the DLL writes (a small size limit, a thread holding a routine open), scraped by
# the real Prometheus, whose counts equal `jovtrace.exe summary`'s once the trace closed; and
# jovtrace.exe run by Wine's service manager (sc.exe create, start, query, stop, delete).
#
# Usage: serve_wine_test.py WINE_LANE PREFIX JOVTRACE_EXE WORKLOAD_EXE CONTRIB WORKDIR
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from serve_harness import Prometheus, free_port, get, summary_rows, wait_for  # noqa: E402

LANE = PREFIX = JOVTRACE = WORKLOAD = CONTRIB = WORK = None


def wine(*argv):
    return [LANE, "x64", PREFIX, "run", *argv]


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def answers(url):
    try:
        return get(url + "/healthz", timeout=2)[0] == 200
    except OSError:
        return False


class ServeWineTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(dir=WORK)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def test_dll_traces_scraped_by_prometheus(self):
        port = free_port()
        serve = subprocess.Popen(wine(JOVTRACE, "serve", windows_path(self.dir), "--listen",
                                      "127.0.0.1:%d" % port))
        self.addCleanup(lambda: serve.poll() is None and (serve.terminate(), serve.wait()))
        url = "http://127.0.0.1:%d" % port
        self.assertTrue(wait_for(lambda: answers(url), seconds=60), "serve did not come up")
        prometheus = Prometheus(CONTRIB, url[7:])
        self.addCleanup(prometheus.close)
        writer = subprocess.Popen(wine(WORKLOAD, windows_path(self.dir), "8", "20000"))
        self.addCleanup(lambda: writer.poll() is None and writer.kill())
        held = 'jovtrace_open_call_seconds{routine="Service.WaitForJob"}'
        self.assertTrue(wait_for(lambda: prometheus.query(held), seconds=60))
        self.assertEqual(writer.wait(timeout=120), 0)
        files = sorted(glob.glob(os.path.join(self.dir, "*.JOV_Log")))
        self.assertGreaterEqual(len(files), 3)
        expected = summary_rows(wine(JOVTRACE), [windows_path(f) for f in files])
        self.assertIs(prometheus.equal_counts(expected), True)
        files_total = prometheus.query("jovtrace_trace_files_total")
        self.assertEqual(list(files_total.values()), [len(files)])

    def test_windows_service(self):
        # Wine's prefix start (wineboot) leaves two service managers answering sc.exe at
        # random; a server started bare gets one, started by the first program.
        subprocess.run([LANE, "x64", PREFIX, "stop"], check=True)
        env = dict(os.environ, WINEPREFIX=PREFIX, WINEARCH="win64")
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["/usr/lib/wine/wineserver64", "-p"], env=env, check=True, **quiet)
        self.addCleanup(subprocess.run, [LANE, "x64", PREFIX, "start"], check=True)
        # The first program starts the service manager, which must not hold our pipes open.
        subprocess.run(wine("sc.exe", "query"), timeout=120, **quiet)
        port = free_port()
        url = "http://127.0.0.1:%d" % port
        name = "jovtrace-serve-test"
        sc = lambda *args: subprocess.run(wine("sc.exe", *args), capture_output=True,  # noqa: E731
                                          text=True, timeout=120)
        command = "%s serve %s --listen 127.0.0.1:%d" % (windows_path(JOVTRACE), windows_path(self.dir), port)
        sc("delete", name)  # left by an interrupted run
        self.assertEqual(sc("create", name, "binPath=", command).returncode, 0)
        self.addCleanup(sc, "delete", name)
        sc("start", name)
        self.assertTrue(wait_for(lambda: answers(url), seconds=60), sc("query", name).stdout)
        self.assertIn("RUNNING", sc("query", name).stdout)
        self.assertRegex(sc("stop", name).stdout, r"STATE\s+: \d+\s+STOP")  # STOP_PENDING or STOPPED
        # The stop was handed to the service when sc.exe returned: within a second it is gone.
        stopped = time.monotonic()
        self.assertTrue(wait_for(lambda: not answers(url), seconds=5, step=0.02))
        self.assertLess(time.monotonic() - stopped, 1.0)
        status = wait_for(lambda: (lambda s: s if "STOPPED" in s else None)(sc("query", name).stdout))
        self.assertRegex(status, r"WIN32_EXIT_CODE\s+: 0 ")


if __name__ == "__main__":
    LANE, PREFIX, JOVTRACE, WORKLOAD, CONTRIB, WORK = sys.argv[1:7]
    os.makedirs(WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + sys.argv[7:])
