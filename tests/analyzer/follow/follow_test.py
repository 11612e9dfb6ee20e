#!/usr/bin/env python3
# follow_test.py - `jovtrace follow` as a user sees it: run in tmux (send-keys to type,
# capture-pane to read the screen) while jovtrace_livegen appends a trace, redirected to a
# pipe for plain snapshots, and on hand-written files for the cases a writer seldom makes
# (a partial last line, truncation, replacement, deletion, no trace at all).
#
# Usage: follow_test.py JOVTRACE LIVEGEN WORKDIR [-- unittest arguments]
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

JOVTRACE = LIVEGEN = WORK = None

# The head of a trace file of "demo" (pid 42) whose thread 7 has Parser.Open open.
HEADER = ("Date=12/03/26" + "=" * 80 + "\r\n---- ThreadId=7 " + "-" * 30 + "\r\n"
          "22:15:30.000    0.000 Trace Started. UserId=u, ProcessId=42, ThreadId=7, "
          "Log File=C:\\t\\261203 221530 demo.JOV_Log\r\n"
          "22:15:30.004    4.000 Push Parser.Open\r\n")


def wait_for(predicate, seconds=15.0, step=0.1):
    """Polls `predicate` until it returns something true; that value, or None at timeout."""
    until = time.monotonic() + seconds
    while time.monotonic() < until:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return None


class Tmux:
    """A tmux server of its own (its own socket), one window of a fixed size."""

    def __init__(self, command, width=120, height=40):
        self.socket = "jovfollow%d" % os.getpid()
        self.run("new-session", "-d", "-x", str(width), "-y", str(height), "-s", "t",
                 "-e", "TERM=xterm-256color", command)
        self.run("set-option", "-t", "t", "remain-on-exit", "on")

    def run(self, *args):
        return subprocess.run(["tmux", "-L", self.socket] + list(args), check=True,
                              capture_output=True, text=True).stdout

    def keys(self, *keys):
        self.run("send-keys", "-t", "t", *keys)

    def screen(self):
        return self.run("capture-pane", "-p", "-t", "t").rstrip("\n").split("\n")

    def wait(self, test, seconds=15.0):
        """The screen once `test` holds for it; at timeout the test fails with the last screen."""
        def check():
            screen = self.screen()
            return screen if test(screen) else None
        screen = wait_for(check, seconds)
        assert screen, "timed out on this screen:\n" + "\n".join(self.screen())
        return screen

    def dead(self):
        return self.run("list-panes", "-t", "t", "-F", "#{pane_dead}").strip() == "1"

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], capture_output=True)


def lines_read(screen):
    match = re.search(r"^lines ([\d,]+) ", "\n".join(screen), re.M)
    return int(match.group(1).replace(",", "")) if match else None


def section(screen, title):
    """The lines of a section, from its title to the next title (or the key line)."""
    start = next(i for i, line in enumerate(screen) if line.startswith(title)) + 1
    end = next((i for i in range(start, len(screen))
                if re.match(r"(OPEN CALLS|ROUTINES|LAST TEXTS|q quit)", screen[i])), len(screen))
    return screen[start:end]


class ProcessTest(unittest.TestCase):
    """A test with its own folder in `work`, whose processes end with it."""
    work = None

    def setUp(self):
        self.dir = tempfile.mkdtemp(dir=self.work)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def start(self, args, **pipes):
        """A process killed, if it still runs, when the test ends; its pipes closed."""
        process = subprocess.Popen(args, text=True, **pipes)
        self.addCleanup(process.wait)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        self.addCleanup(lambda: [p.close() for p in (process.stdout, process.stderr) if p])
        return process


class FollowTest(ProcessTest):

    def livegen(self, *args):
        """Starts the writer; returns it and the path of its first file once it is there."""
        writer = self.start([LIVEGEN, self.dir, "nightly", "--hold", "Service.WaitForJob"] + list(args),
                            stdout=subprocess.PIPE)
        return writer, writer.stdout.readline().strip()

    def test_screen_keys_and_pause(self):
        self.livegen("--rate", "3000", "--seconds", "60", "--no-close")
        tmux = Tmux("%s follow --interval 0.2 '%s'" % (JOVTRACE, self.dir))
        self.addCleanup(tmux.close)
        # A whole frame (its key line drawn) with routines in it.
        screen = tmux.wait(lambda s: any("Parser." in l for l in s) and s[-1].startswith("q quit"))
        self.assertIn("nightly (pid 4242)", screen[0])
        # The held routine leads the open calls, on its thread, open for about as long as
        # the writer has run.
        self.assertRegex(section(screen, "OPEN CALLS")[1], r"^\s+7\s+[\d.]+ (ms|s)\s+Service\.WaitForJob$")
        self.assertTrue(section(screen, "LAST TEXTS"))
        # A few seconds in, the screen the README shows.
        time.sleep(3)
        with open(os.path.join(WORK, "follow_screen.txt"), "w") as out:
            out.write("\n".join(tmux.screen()) + "\n")

        # Paused, the screen stands still while reading goes on; resumed, the count moved.
        tmux.keys("p")
        paused = tmux.wait(lambda s: "[PAUSED]" in s[0])
        time.sleep(1.0)
        self.assertEqual(paused[:-1], tmux.screen()[:-1])
        tmux.keys("p")
        # Resumed, the count of lines goes on.
        tmux.wait(lambda s: "[PAUSED]" not in s[0] and lines_read(s) > lines_read(paused))

        # The sort key cycles; the filter keeps the routines whose names hold its text.
        tmux.keys("s")
        tmux.wait(lambda s: any("sort: p95 in window" in l for l in s))
        tmux.keys("/", "Net.", "Enter")
        filtered = tmux.wait(lambda s: any("filter: Net." in l for l in s))
        rows = section(filtered, "ROUTINES")[1:]
        self.assertTrue(rows and all(r.startswith("Net.") for r in rows), rows)
        # p95 in window, largest first.
        p95 = [float(r.split()[4]) for r in rows if r.split()[4] != "-"]
        self.assertEqual(p95, sorted(p95, reverse=True))

        tmux.keys("q")
        self.assertTrue(wait_for(tmux.dead), "q did not quit")

    def test_rollovers_plain_snapshots_and_final_summary(self):
        writer, first = self.livegen("--rate", "40000", "--seconds", "3", "--size-limit", "1500000")
        follow = subprocess.run([JOVTRACE, "follow", "--interval", "0.25", first],
                                capture_output=True, text=True, timeout=60)
        writer.wait()
        files = [first] + [l.strip() for l in writer.stdout if l.endswith(".JOV_Log\n")]
        self.assertGreaterEqual(len(files), 3, "the writer made no two rollovers")
        self.assertEqual(follow.returncode, 0, follow.stderr)
        out = follow.stdout
        self.assertNotIn("\x1b", out)
        self.assertGreaterEqual(out.count("jovtrace follow  nightly (pid 4242)"), 3)
        self.assertIn("reading on in", out)
        # Across the rollovers the held routine stayed open at the top.
        self.assertRegex(out, r"files [3-9] .*\n.*\n.*\nOPEN CALLS.*\n.*\n\s+7\s+.*Service\.WaitForJob")
        summary = subprocess.run([JOVTRACE, "summary"] + files, capture_output=True, text=True)
        self.assertEqual(out[out.index("\n== ") + 1:], summary.stdout)

    def test_bad_input_and_changed_files(self):
        path = os.path.join(self.dir, "261203 221530 demo.JOV_Log")
        other = os.path.join(self.dir, "replacement.tmp")

        def write(text, mode="w", to=path):
            with open(to, mode, newline="") as f:
                f.write(text)

        # A partial last line waits for its line feed: the Pop is not read yet.
        write(HEADER + "22:15:30.010    6.000 Pop  Parser.Open  Dur=6.")
        once = subprocess.run([JOVTRACE, "follow", "--once", path], capture_output=True,
                              text=True, timeout=30)
        self.assertEqual(once.returncode, 0, once.stderr)
        self.assertRegex(once.stdout, r"lines 4 (.|\n)*\n\s+7 .*Parser\.Open\n")

        write(HEADER, to=other)
        cases = [
            # (what is done to the file while it is followed, what follow says, exit code)
            ("truncated", lambda: os.truncate(path, len(HEADER)), "was truncated; reading it again", 0),
            ("replaced", lambda: os.replace(other, path),
             "was replaced by a new file", 0),
            ("deleted", lambda: os.remove(path), "was deleted while it was followed", 2),
        ]
        for name, change, message, code in cases:
            with self.subTest(name):
                write(HEADER + "22:15:30.010    6.000 Pop  Parser.Open  Dur=6.000 msecs\r\n")
                follow = self.start([JOVTRACE, "follow", "--interval", "0.1", path],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                time.sleep(0.5)
                change()
                if code == 0:
                    time.sleep(0.5)
                    write("22:15:31.000    0.000 Trace Closed.\r\n", "a")
                out, err = follow.communicate(timeout=20)
                self.assertIn(message, out + err)
                self.assertEqual(follow.returncode, code, err)
                if code == 0:
                    # The fresh reading's summary: only what the file holds now.
                    for text in ("Parser.Open", "1 left open"):
                        self.assertIn(text, out[out.index("\n== "):])

        write("hello, this is no trace\r\nsecond line\r\n")
        bad = subprocess.run([JOVTRACE, "follow", path], capture_output=True, text=True, timeout=20)
        self.assertEqual(bad.returncode, 2)
        self.assertIn("not a trace file", bad.stderr)

    def test_help_lists_keys_and_options(self):
        text = subprocess.run([JOVTRACE, "follow", "--help"], capture_output=True, text=True).stdout
        for item in ["  q  quit", "  p  pause", "  s  sort", "  /  filter", "  r  reset",
                     "--interval", "--window", "--once"]:
            self.assertIn(item, text)


if __name__ == "__main__":
    JOVTRACE, LIVEGEN, WORK = sys.argv[1:4]
    os.makedirs(WORK, exist_ok=True)
    ProcessTest.work = WORK
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:])
