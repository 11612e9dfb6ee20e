"""report_data.py - builds report data documents from hand-written call lists, for the page's
browser tests: the same figures, tree, bins and columns that jovtrace's writer produces, worked
out plainly so that a test knows what the page must show."""

import bisect
import json
import math
from collections import defaultdict

# 2026-12-03 22:15:30, the writer's local clock in microseconds since 1970.
BASE = 1796336130 * 1000000

CLOSE_OWN, CLOSE_OUTER, CLOSE_NO_POP, CLOSE_OPEN = range(4)


class Call:
    def __init__(self, thread, path, start, dur, rc=None, close=CLOSE_OWN, push_seen=True, detail=""):
        self.thread, self.path, self.start, self.dur = thread, tuple(path), start, dur
        self.rc, self.close, self.push_seen, self.detail = rc, close, push_seen, detail

    @property
    def end(self):
        return self.start + self.dur

    @property
    def depth(self):
        return len(self.path) - 1

    @property
    def error(self):
        return self.rc not in (None, 0)

    @property
    def flags(self):
        return (1 if self.rc is not None else 0) | (0 if self.push_seen else 2) | (self.close << 2)


def self_times(calls):
    """Duration less the calls directly inside: one level deeper on the same path, on the same
    thread (test data may run the same path on two threads at once), within its time."""
    by_parent = defaultdict(list)
    for d in calls:
        by_parent[(d.thread, d.path[:-1])].append(d)
    index = {}
    for parent, inner in by_parent.items():
        inner.sort(key=lambda d: d.start)
        sums = [0]
        for d in inner:
            sums.append(sums[-1] + d.dur)
        index[parent] = ([d.start for d in inner], inner, sums)
    out = {}
    for c in calls:
        starts, inner, sums = index.get((c.thread, c.path), ([], [], [0]))
        lo, hi = bisect.bisect_left(starts, c.start), bisect.bisect_right(starts, c.end)
        # Calls that start inside but end after it are not inside it.
        spill = sum(d.dur for d in inner[max(lo, hi - 1):hi] if d.end > c.end)
        out[id(c)] = c.dur - (sums[hi] - sums[lo] - spill)
    return out


def percentile(values, q):
    ordered = sorted(values)
    return ordered[max(0, math.ceil(q * len(ordered)) - 1)]


def delta(values):
    out, last = [], 0
    for v in values:
        out.append(v - last)
        last = v
    return out


class Trace:
    def __init__(self, program="demo", pid=42, calls=(), counters=None, bin_width=1024,
                 complete=True, span=None, label=None, stats=None, notices=None, files=None):
        self.program, self.pid, self.calls = program, pid, list(calls)
        self.counters = counters or {}
        self.bin_width, self.complete = bin_width, complete
        last = max([c.end for c in self.calls] + [0])
        self.span = span if span is not None else last
        self.label = label or f"{program} (pid {pid})"
        self.stats = stats or {}
        self.notices = notices
        self.files = files or [f"261203 221530 {program}.JOV_Log"]

    def names(self):
        names = ["(unknown)"]
        for c in sorted(self.calls, key=lambda c: c.start):
            for n in c.path:
                if n not in names:
                    names.append(n)
        return names

    def threads(self):
        seen = []
        for c in sorted(self.calls, key=lambda c: c.start):
            if c.thread not in seen:
                seen.append(c.thread)
        return seen

    def summary(self, index):
        selfs = self_times(self.calls)
        rows = []
        by_name = defaultdict(list)
        for c in self.calls:
            by_name[c.path[-1]].append(c)
        for name, calls in by_name.items():
            durs = [c.dur for c in calls]
            codes = defaultdict(int)
            for c in calls:
                if c.error:
                    codes[c.rc] += 1
            top = max(codes.items(), key=lambda kv: (kv[1], -kv[0]), default=(0, 0))
            total = sum(durs)
            rows.append([index[name], len(calls), total, sum(selfs[id(c)] for c in calls),
                         total // len(calls), percentile(durs, 0.5), percentile(durs, 0.95),
                         max(durs), sum(codes.values()), top[0], top[1]])
        rows.sort(key=lambda r: -r[2])
        return rows

    def tree(self, index):
        selfs = self_times(self.calls)
        nodes = {(): [0, 0, 0]}  # path -> calls, total, self
        for c in self.calls:
            for k in range(1, len(c.path) + 1):
                nodes.setdefault(c.path[:k], [0, 0, 0])
            n = nodes[c.path]
            n[0] += 1
            n[1] += c.dur
            n[2] += selfs[id(c)]
        nodes[()][1] = sum(v[1] for p, v in nodes.items() if len(p) == 1)
        order = sorted(nodes, key=lambda p: [index[n] for n in p])  # preorder
        position = {p: i for i, p in enumerate(order)}
        cols = {"name": [], "parent": [], "calls": [], "total": [], "self": []}
        for p in order:
            cols["name"].append(index[p[-1]] if p else -1)
            cols["parent"].append(position[p[:-1]] if p else -1)
            for key, v in zip(("calls", "total", "self"), nodes[p]):
                cols[key].append(v)
        return cols, order

    def bins(self, calls, index):
        """Per (thread, depth): cover, count, errors and the routine that covered most."""
        w = self.bin_width
        rows = defaultdict(dict)
        for c in calls:
            row = rows[(c.thread, c.depth)]
            s = max(c.start, 0)
            first = s // w
            b = row.setdefault(first, {"cover": 0, "count": 0, "errors": 0, "name": 0, "best": -1})
            b["count"] += 1
            b["errors"] += 1 if c.error else 0
            if c.dur == 0 and b["best"] < 0:
                b["name"], b["best"] = index[c.path[-1]], 0
            k = first
            while k * w < c.end:
                b = row.setdefault(k, {"cover": 0, "count": 0, "errors": 0, "name": 0, "best": -1})
                part = min(c.end, (k + 1) * w) - max(s, k * w)
                b["cover"] += part
                if part > b["best"]:
                    b["name"], b["best"] = index[c.path[-1]], part
                k += 1
        return rows

    def representatives(self):
        best = {}
        for c in self.calls:
            key = (c.thread, c.depth, max(c.start, 0) // self.bin_width)
            if key not in best or c.dur > best[key].dur:
                best[key] = c
        return list(best.values())

    def timeline(self, index):
        kept = self.calls if self.complete else self.representatives()
        bins = self.bins(self.calls, index)
        lanes = []
        for t in self.threads():
            mine = sorted((c for c in kept if c.thread == t), key=lambda c: c.start)
            rows = max(c.depth for c in self.calls if c.thread == t) + 1
            lane_bins = []
            for d in range(rows if not self.complete else 0):
                row = bins.get((t, d))
                if not row:
                    continue
                idx = sorted(row)
                lane_bins.append({"depth": d, "index": delta(idx),
                                  **{k: [row[i][k] for i in idx] for k in ("cover", "count", "errors", "name")}})
            lanes.append({"thread": t, "rows": rows, "calls": {
                "start": delta([c.start for c in mine]), "dur": [c.dur for c in mine],
                "depth": [c.depth for c in mine], "name": [index[c.path[-1]] for c in mine],
                "rc": [c.rc or 0 for c in mine], "flags": [c.flags for c in mine],
                "detail": [[i, c.detail] for i, c in enumerate(mine) if c.detail]},
                "bins": lane_bins})
        return {"binWidth": self.bin_width, "complete": self.complete, "lanes": lanes}

    def document(self):
        names = self.names()
        index = {n: i for i, n in enumerate(names)}
        tree, _ = self.tree(index)
        stats = {"lines": 100, "bytes": 5000, "calls": len(self.calls), "texts": 3, "skippedLines": 0,
                 "pushesMissing": sum(1 for c in self.calls if not c.push_seen),
                 "closedByOuterPop": sum(1 for c in self.calls if c.close == CLOSE_OUTER),
                 "popsMissing": sum(1 for c in self.calls if c.close == CLOSE_NO_POP),
                 "leftOpen": sum(1 for c in self.calls if c.close == CLOSE_OPEN), "clockResyncs": 0}
        stats.update(self.stats)
        return {
            "label": self.label, "program": self.program, "userId": "root", "processId": self.pid,
            "threadId": self.threads()[0] if self.calls else 0, "wrapDump": False,
            "files": self.files, "wrapReasons": [], "first": BASE, "last": BASE + self.span,
            "base": BASE, "stats": stats, "threads": self.threads(),
            "notices": self.notices or {"total": 0, "kinds": {}, "shown": []},
            "names": names, "summary": self.summary(index), "tree": tree,
            "timeline": self.timeline(index),
            "counters": [{"kind": k, "exact": True, "t": delta([t for t, _ in s]), "v": [v for _, v in s]}
                         for k, s in self.counters.items()],
        }


def document(*traces):
    return {"format": "jovtrace-report", "version": 1, "tool": "jovtrace (test data)",
            "traces": [t.document() for t in traces]}


def page(template_path, doc):
    """The page with the document in place of its data marker, escaped as the writer does."""
    with open(template_path, encoding="utf-8") as f:
        template = f.read()
    data = json.dumps(doc, ensure_ascii=False, separators=(",", ":")).replace("<", "\\u003c")
    return template.replace("@DATA@", data, 1)
