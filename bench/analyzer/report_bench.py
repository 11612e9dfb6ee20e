"""report_bench.py - `jovtrace report` on a generated trace of at least 1 GB: the page's size
and the browser's time to first draw (chromium, headless, the page's own data-first-draw),
beside `jovtrace chrome` on the same trace (the Trace Event JSON that Perfetto's UI would
load instead). Targets: a page under 20 MB that draws in under 3 s.

Usage: python3 bench/analyzer/report_bench.py [--size MB] [--folder DIR] [--bin build/native/bin]
The trace and the outputs are deleted at the end."""

import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "analyzer", "report"))
from browser import Browser  # noqa: E402


def run(argv):
    """Wall seconds and peak resident MB of a child."""
    start = time.monotonic()
    process = subprocess.Popen(argv, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"{' '.join(argv)} failed")
    return seconds, usage.ru_maxrss / 1024


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", type=int, default=1100, help="trace size in MB")
    parser.add_argument("--folder", default=".", help="where the trace and the outputs go")
    parser.add_argument("--bin", default=os.path.join(HERE, "..", "..", "build", "native", "bin"))
    args = parser.parse_args()
    need = (args.size << 20) * 3 + (2 << 30)  # the trace, the peer's JSON (about twice it), spare
    free = shutil.disk_usage(args.folder).free
    if free < need:
        sys.exit(f"report_bench: {args.folder} has {free / 1e9:.1f} GB free, {need / 1e9:.1f} GB needed")
    folder = os.path.join(args.folder, f"jovtrace-report-bench-{os.getpid()}")
    os.makedirs(folder)
    try:
        trace = os.path.join(folder, "261203 221500 nightly.JOV_Log")
        start = time.monotonic()
        made = subprocess.run([os.path.join(args.bin, "jovtrace_tracegen"), trace, str(args.size)],
                              check=True, capture_output=True, text=True).stdout.strip()
        print(f"generated {trace}: {made} ({time.monotonic() - start:.0f} s)")
        jovtrace = os.path.join(args.bin, "jovtrace")
        page = os.path.join(folder, "nightly.html")
        peer = os.path.join(folder, "nightly.json")
        ours = run([jovtrace, "report", "-q", trace, "-o", page])
        theirs = run([jovtrace, "chrome", "-q", trace, "-o", peer])
        sizes = (os.path.getsize(page) / 1e6, os.path.getsize(peer) / 1e6)
        os.remove(peer)

        draws = []
        browser = Browser(timeout=120)
        try:
            for _ in range(3):
                draws.append(float(browser.open(f"file://{os.path.abspath(page)}")) / 1000)
        finally:
            browser.close()

        print(f"{'':34} {'seconds':>9} {'peak MB':>9} {'output MB':>10}")
        print(f"{'jovtrace report':34} {ours[0]:9.1f} {ours[1]:9.1f} {sizes[0]:10.1f}")
        print(f"{'jovtrace chrome (Trace Event JSON)':34} {theirs[0]:9.1f} {theirs[1]:9.1f} {sizes[1]:10.1f}")
        print(f"report page: {sizes[0]:.1f} MB (target under 20 MB), {sizes[1] / sizes[0]:.0f}x smaller "
              f"than the JSON; first draw in chromium {min(draws):.2f} s best, {max(draws):.2f} s worst "
              f"of {len(draws)} (target under 3 s)")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
