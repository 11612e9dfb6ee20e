#!/usr/bin/env python3
# follow_bench.py - measures `jovtrace follow` (figures printed, nothing asserted):
#   latency  - a Push line written, until it is on the screen in tmux (interval 1 s);
#   idle CPU - the share of one core follow uses while the trace is quiet;
#   keeping up - jovtrace_livegen appending 500,000 lines/s: the lines/s follow reports
#                reading, and how far behind the writer it ends.
#
# Usage: python3 bench/analyzer/follow_bench.py [BUILD_DIR]   (default build/native)
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build/native"
JOVTRACE = os.path.join(BUILD, "bin", "jovtrace")
LIVEGEN = os.path.join(BUILD, "bin", "jovtrace_livegen")
TICK = os.sysconf("SC_CLK_TCK")

HEADER = ("Date=12/03/26" + "=" * 80 + "\r\n---- ThreadId=7 " + "-" * 30 + "\r\n"
          "{clock}    0.000 Trace Started. UserId=u, ProcessId=42, ThreadId=7, "
          "Log File=C:\\t\\261203 221530 probe.JOV_Log\r\n")


def clock():
    now = time.time()
    return time.strftime("%H:%M:%S", time.localtime(now)) + ".%03d" % (int(now * 1000) % 1000)


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def tmux(socket, *args):
    return subprocess.run(["tmux", "-L", socket] + list(args), check=True, capture_output=True,
                          text=True).stdout


def latency_and_idle(work):
    path = os.path.join(work, "261203 221530 probe.JOV_Log")
    with open(path, "w", newline="") as f:
        f.write(HEADER.format(clock=clock()))
    socket = "jovfollowbench%d" % os.getpid()
    tmux(socket, "new-session", "-d", "-x", "120", "-y", "40", "-s", "b",
         "%s follow --interval 1 '%s'" % (JOVTRACE, path))
    try:
        pid = int(tmux(socket, "list-panes", "-t", "b", "-F", "#{pane_pid}").strip())
        time.sleep(2)
        delays = []
        for probe in range(8):
            time.sleep(0.37 * (probe % 3) + 0.2)
            name = "Probe.Latency%d" % probe
            with open(path, "a", newline="") as f:
                f.write("%s    0.000 Push %s\r\n" % (clock(), name))
            written = time.monotonic()
            while name not in tmux(socket, "capture-pane", "-p", "-t", "b"):
                time.sleep(0.01)
            delays.append(time.monotonic() - written)
        print("latency, line written to line on the screen, interval 1 s: "
              "mean %.3f s, max %.3f s over %d lines" % (sum(delays) / len(delays), max(delays),
                                                          len(delays)))
        # Idle: the terminal's process is a shell running follow; follow is its child, or it.
        children = subprocess.run(["pgrep", "-P", str(pid)], capture_output=True, text=True)
        follow = int(children.stdout.split()[0]) if children.stdout.split() else pid
        before = cpu_seconds(follow)
        time.sleep(10)
        used = cpu_seconds(follow) - before
        print("idle CPU (trace quiet, on a terminal, interval 1 s): %.2f %% of one core" %
              (100 * used / 10))
    finally:
        subprocess.run(["tmux", "-L", socket, "kill-server"], capture_output=True)


def keeping_up(work, rate=500000, seconds=10):
    writer = subprocess.Popen([LIVEGEN, work, "fast", "--rate", str(rate), "--seconds",
                               str(seconds)], stdout=subprocess.PIPE, text=True)
    first = writer.stdout.readline().strip()
    follow = subprocess.Popen([JOVTRACE, "follow", "--interval", "1", first],
                              stdout=subprocess.PIPE, text=True)
    start = time.monotonic()
    ended = {}
    waiter = threading.Thread(target=lambda: (writer.wait(), ended.update(at=time.monotonic())))
    waiter.start()
    out, _ = follow.communicate()
    follow_end = time.monotonic()
    waiter.join()
    rest = writer.stdout.read()
    writer_end_rate = re.search(r"rate (\d+)", rest)
    rates = [int(r) for r in re.findall(r"^lines [\d,]+ \((\d+)/s\)", out, re.M)]
    steady = rates[1:-1] or rates
    print("keeping up with the writer at %d lines/s asked (it reached %s lines/s):" %
          (rate, writer_end_rate.group(1) if writer_end_rate else "?"))
    print("  follow reported reading %s lines/s (median of %d screens; min %s, max %s)" %
          (sorted(steady)[len(steady) // 2] if steady else "?", len(steady),
           min(steady) if steady else "?", max(steady) if steady else "?"))
    total = re.search(r"closed after (\d+) lines", out)
    print("  follow printed the summary %.3f s after the writer's last line (interval 1 s); "
          "lines read %s" % (follow_end - ended["at"], total.group(1) if total else "?"))
    cpu = re.findall(r"^lines ([\d,]+) ", out, re.M)
    print("  lines read at each screen: %s" % ", ".join(cpu[:14]))


def main():
    work = tempfile.mkdtemp()
    try:
        latency_and_idle(work)
        keeping_up(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
