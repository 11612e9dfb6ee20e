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

    def dead(self):
        return self.run("list-panes", "-t", "t", "-F", "#{pane_dead}").strip() == "1"

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], capture_output=True)


def lines_read(screen):
    for line in screen:
        match = re.match(r"lines ([\d,]+) ", line)
        if match:
            return int(match.group(1).replace(",", ""))
    return None


def section(screen, title):
    """The lines of a section, from its title to the next title (a capital word)."""
    start = next(i for i, line in enumerate(screen) if line.startswith(title))
    rows = []
    for line in screen[start + 1:]:
        if re.match(r"^(OPEN CALLS|ROUTINES|LAST TEXTS|q quit)", line):
            break
        rows.append(line)
    return rows


def livegen(directory, *args):
    """Starts the writer; returns it and the path of its first file once it is there."""
    writer = subprocess.Popen([LIVEGEN, directory, "nightly"] + list(args),
                              stdout=subprocess.PIPE, text=True)
    first = writer.stdout.readline().strip()
    return writer, first


class FollowTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(dir=WORK)
        self.processes = []

    def tearDown(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
            process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_screen_keys_and_pause(self):
        writer, first = livegen(self.dir, "--rate", "3000", "--seconds", "60", "--hold",
                                "Service.WaitForJob", "--no-close")
        self.processes.append(writer)
        tmux = Tmux("%s follow --interval 0.2 '%s'" % (JOVTRACE, self.dir))
        self.addCleanup(tmux.close)
        # A whole frame (its key line drawn) with routines in it.
        screen = wait_for(lambda: (lambda s: s if any("Parser." in l for l in s) and
                                   s[-1].startswith("q quit") else None)(tmux.screen()))
        self.assertIsNotNone(screen, "no routines on the screen")
        self.assertIn("nightly (pid 4242)", screen[0])
        # The held routine leads the open calls, on its thread, open for about as long as
        # the writer has run.
        open_rows = section(screen, "OPEN CALLS")
        self.assertRegex(open_rows[1], r"^\s+7\s+[\d.]+ (ms|s)\s+Service\.WaitForJob$")
        self.assertTrue(section(screen, "LAST TEXTS"))
        # A few seconds in, the screen the README shows.
        time.sleep(3)
        with open(os.path.join(WORK, "follow_screen.txt"), "w") as out:
            out.write("\n".join(tmux.screen()) + "\n")

        # Paused, the screen stands still while reading goes on; resumed, the count moved.
        tmux.keys("p")
        paused = wait_for(lambda: (lambda s: s if "[PAUSED]" in s[0] else None)(tmux.screen()))
        self.assertIsNotNone(paused)
        time.sleep(1.0)
        self.assertEqual(paused[:-1], tmux.screen()[:-1])
        tmux.keys("p")
        resumed = wait_for(lambda: (lambda s: s if "[PAUSED]" not in s[0] and
                                    lines_read(s) > lines_read(paused) else None)(tmux.screen()))
        self.assertIsNotNone(resumed, "the count of lines did not go on after the pause")

        # The sort key cycles; the filter keeps the routines whose names hold its text.
        tmux.keys("s")
        self.assertTrue(wait_for(lambda: any("sort: p95 in window" in l for l in tmux.screen())))
        tmux.keys("/", "Net.", "Enter")
        filtered = wait_for(lambda: (lambda s: s if any("filter: Net." in l for l in s) else None)(
            tmux.screen()))
        self.assertIsNotNone(filtered)
        rows = section(filtered, "ROUTINES")[1:]
        self.assertTrue(rows and all(r.startswith("Net.") for r in rows), rows)
        # p95 in window, largest first.
        p95 = [float(r.split()[4]) for r in rows if r.split()[4] != "-"]
        self.assertEqual(p95, sorted(p95, reverse=True))

        tmux.keys("q")
        self.assertTrue(wait_for(tmux.dead), "q did not quit")

    def test_rollovers_plain_snapshots_and_final_summary(self):
        writer, first = livegen(self.dir, "--rate", "40000", "--seconds", "3", "--size-limit",
                                "1500000", "--hold", "Service.WaitForJob")
        self.processes.append(writer)
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
        final = out[out.index("\n== ") + 1:]
        self.assertEqual(final, summary.stdout)

    def test_bad_input_and_changed_files(self):
        header = ("Date=12/03/26" + "=" * 80 + "\r\n---- ThreadId=7 " + "-" * 30 + "\r\n"
                  "22:15:30.000    0.000 Trace Started. UserId=u, ProcessId=42, ThreadId=7, "
                  "Log File=C:\\t\\261203 221530 demo.JOV_Log\r\n"
                  "22:15:30.004    4.000 Push Parser.Open\r\n")
        path = os.path.join(self.dir, "261203 221530 demo.JOV_Log")

        def write(text, mode="w"):
            with open(path, mode, newline="") as f:
                f.write(text)

        # A partial last line waits for its line feed: the Pop is not read yet.
        write(header + "22:15:30.010    6.000 Pop  Parser.Open  Dur=6.")
        once = subprocess.run([JOVTRACE, "follow", "--once", path], capture_output=True,
                              text=True, timeout=30)
        self.assertEqual(once.returncode, 0, once.stderr)
        self.assertRegex(once.stdout, r"lines 4 ")
        self.assertRegex(once.stdout, r"\n\s+7 .*Parser\.Open\n")

        cases = [
            # (what is done to the file while it is followed, what follow says, exit code)
            ("truncated", lambda: write(header), "was truncated; reading it again", None),
            ("replaced", lambda: os.replace(self.fresh(header), path),
             "was replaced by a new file", None),
            ("deleted", lambda: os.remove(path), "was deleted while it was followed", 2),
        ]
        for name, change, message, code in cases:
            with self.subTest(name):
                write(header + "22:15:30.010    6.000 Pop  Parser.Open  Dur=6.000 msecs\r\n")
                follow = subprocess.Popen([JOVTRACE, "follow", "--interval", "0.1", path],
                                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                          text=True)
                self.processes.append(follow)
                time.sleep(0.5)
                change()
                if code is None:
                    time.sleep(0.5)
                    write("22:15:31.000    0.000 Trace Closed.\r\n", "a")
                out, err = follow.communicate(timeout=20)
                text = out + err
                self.assertIn(message, text)
                self.assertEqual(follow.returncode, 0 if code is None else code, err)
                if code is None:
                    # The fresh reading's summary: only what the file holds now.
                    self.assertIn("Parser.Open", out[out.index("\n== "):])
                    self.assertIn("1 left open", out[out.index("\n== "):])

        write("hello, this is no trace\r\nsecond line\r\n")
        bad = subprocess.run([JOVTRACE, "follow", path], capture_output=True, text=True,
                             timeout=20)
        self.assertEqual(bad.returncode, 2)
        self.assertIn("not a trace file", bad.stderr)

    def test_help_lists_keys_and_options(self):
        text = subprocess.run([JOVTRACE, "follow", "--help"], capture_output=True,
                              text=True).stdout
        for item in ["  q  quit", "  p  pause", "  s  sort", "  /  filter", "  r  reset",
                     "--interval", "--window", "--once"]:
            self.assertIn(item, text)

    def fresh(self, text):
        other = os.path.join(self.dir, "replacement.tmp")
        with open(other, "w", newline="") as f:
            f.write(text)
        return other


if __name__ == "__main__":
    JOVTRACE, LIVEGEN, WORK = sys.argv[1:4]
    os.makedirs(WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + sys.argv[5:])
