#!/usr/bin/env python3
"""serve_bench.py - measures `jovtrace serve` beside `jovtrace follow` on the same traces
(figures printed, nothing asserted):
  keeping up - 8 jovtrace_livegen writers at 500,000 lines/s together: the lines/s serve
               reads (from its own jovtrace_lines_read_total) and how long after the writers
               end it has read everything, beside 8 `follow` processes, one per trace;
  idle CPU   - the share of one core serve uses with 100 quiet traces followed, beside one
               `follow` on one quiet trace;
  scrape     - GET /metrics with 1,000 routines and their histograms: its time and size;
  memory     - serve's resident memory with 100 traces followed, beside one `follow`'s.
Targets: keeping up with 500,000 lines/s; under 1 % of a core idle; a scrape within 50 ms;
under 64 MB resident with 100 traces.

Usage: python3 bench/analyzer/serve_bench.py [BUILD_DIR]   (default build/native)"""
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

from follow_bench import cpu_seconds

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build/native"
JOVTRACE = os.path.join(BUILD, "bin", "jovtrace")
LIVEGEN = os.path.join(BUILD, "bin", "jovtrace_livegen")
HEADER = ("Date=12/03/26" + "=" * 80 + "\r\n---- ThreadId=7 " + "-" * 30 + "\r\n"
          "22:15:30.000    0.000 Trace Started. UserId=u, ProcessId={pid}, ThreadId=7, "
          "Log File=C:\\t\\261203 221530 {name}.JOV_Log\r\n")


def resident_mb(pid):
    status = open("/proc/%d/status" % pid).read()
    return int(re.search(r"VmRSS:\s+(\d+)", status).group(1)) / 1024


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Serve:
    def __init__(self, folder, *args):
        self.url = "http://127.0.0.1:%d" % free_port()
        self.process = subprocess.Popen([JOVTRACE, "serve", folder, "--listen", self.url[7:]]
                                        + list(args), stderr=subprocess.DEVNULL)
        for _ in range(100):
            try:
                self.get("/healthz")
                return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("serve did not come up")

    def get(self, path):
        with urllib.request.urlopen(self.url + path, timeout=30) as response:
            return response.read().decode()

    def lines(self):
        return sum(float(v) for v in re.findall(r"^jovtrace_lines_read_total\{.*\} (\S+)$",
                                                self.get("/metrics"), re.M))

    def close(self):
        self.process.terminate()
        self.process.wait()


def write_quiet_traces(folder, count, routines=1):
    """`count` traces, each with `routines` routines called once, none closed."""
    for i in range(count):
        name = "quiet%03d" % i
        with open(os.path.join(folder, "261203 221530 %s.JOV_Log" % name), "w", newline="") as f:
            f.write(HEADER.format(pid=1000 + i, name=name))
            for r in range(routines):
                f.write("22:15:30.001    1.000 Push Routine.N%04d\r\n"
                        "22:15:30.002    1.000 Pop  Routine.N%04d  Dur=%d.000 msecs\r\n"
                        % (r, r, 1 + r % 50))


def keeping_up(work, rate=500000, traces=8, seconds=10):
    """Lines/s each reader kept up with, counted from the writers' start until it had read
    every line, and how long after the writers' end that was."""
    print("keeping up: %d writers asked for %d lines/s together for %d s" % (traces, rate, seconds))
    for reader in ("serve", "follow"):
        folder = tempfile.mkdtemp(dir=work)
        serve = Serve(folder) if reader == "serve" else None
        start = time.monotonic()
        writers = [subprocess.Popen([LIVEGEN, folder, "w%d" % i, "--rate", str(rate // traces),
                                     "--seconds", str(seconds), "--pid", str(100 + i)],
                                    stdout=subprocess.PIPE, text=True) for i in range(traces)]
        firsts = [w.stdout.readline().strip() for w in writers]
        follows = [] if serve else [
            subprocess.Popen([JOVTRACE, "follow", "--interval", "1", f], stdout=subprocess.PIPE,
                             text=True) for f in firsts]
        pids = [serve.process.pid] if serve else [f.pid for f in follows]
        cpu = {p: cpu_seconds(p) for p in pids}
        for w in writers:
            w.wait()
        ended = time.monotonic()
        outs = [w.stdout.read() for w in writers]
        written = sum(int(re.search(r"lines (\d+)", o).group(1)) for o in outs)
        reached = sum(int(re.search(r"rate (\d+)", o).group(1)) for o in outs)
        if serve:
            while serve.lines() < written and time.monotonic() - ended < 60:
                cpu_now = cpu_seconds(serve.process.pid)
                time.sleep(0.05)
            read = serve.lines()
        else:
            cpu_now = {}
            for f in follows:  # each exits once its trace closed, after its summary
                cpu_now[f.pid] = cpu_seconds(f.pid)
            outs = [f.communicate()[0] for f in follows]
            read = sum(int(m.group(1)) for m in
                       (re.search(r"closed after (\d+) lines", o) for o in outs) if m)
        done = time.monotonic()
        used = (cpu_now - cpu[serve.process.pid]) if serve else sum(cpu_now[p] - cpu[p] for p in pids)
        print("  %-6s (%d %s): read %d of %d lines, %.0f lines/s from the writers' start (they "
              "reached %d lines/s); done %.2f s after the writers ended; %.1f s of CPU" %
              (reader, 1 if serve else traces, "process" if serve else "processes", read, written,
               read / (done - start), reached, done - ended, used))
        if serve:
            serve.close()
        shutil.rmtree(folder, ignore_errors=True)


def idle_memory_and_scrape(work):
    folder = tempfile.mkdtemp(dir=work)
    write_quiet_traces(folder, 100)
    serve = Serve(folder, "--from-start")
    time.sleep(3)
    before = cpu_seconds(serve.process.pid)
    time.sleep(10)
    idle = 100 * (cpu_seconds(serve.process.pid) - before) / 10
    memory = resident_mb(serve.process.pid)
    serve.close()
    one = os.path.join(folder, sorted(os.listdir(folder))[0])
    follow = subprocess.Popen([JOVTRACE, "follow", "--interval", "1", one],
                              stdout=subprocess.DEVNULL)
    time.sleep(3)
    before = cpu_seconds(follow.pid)
    time.sleep(10)
    follow_idle = 100 * (cpu_seconds(follow.pid) - before) / 10
    follow_memory = resident_mb(follow.pid)
    follow.terminate()
    follow.wait()
    print("idle CPU, traces quiet: serve with 100 traces %.2f %% of one core; follow with one "
          "%.2f %%" % (idle, follow_idle))
    print("resident memory: serve with 100 traces followed %.1f MB; follow with one %.1f MB" %
          (memory, follow_memory))
    shutil.rmtree(folder, ignore_errors=True)

    folder = tempfile.mkdtemp(dir=work)
    write_quiet_traces(folder, 1, routines=1000)
    serve = Serve(folder, "--from-start")
    time.sleep(2)
    times = []
    for _ in range(20):
        start = time.monotonic()
        body = serve.get("/metrics")
        times.append(time.monotonic() - start)
    series = len([l for l in body.splitlines() if not l.startswith("#")])
    print("scrape of 1,000 routines with their histograms: median %.1f ms, max %.1f ms over 20; "
          "%d samples, %.0f KB" % (1000 * statistics.median(times), 1000 * max(times), series,
                                   len(body) / 1024))
    serve.close()
    shutil.rmtree(folder, ignore_errors=True)


def main():
    work = tempfile.mkdtemp()
    try:
        keeping_up(work)
        idle_memory_and_scrape(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
