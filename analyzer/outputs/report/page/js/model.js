// model.js - turns the embedded data document into what the views draw from: decoded
// columns in typed arrays, the tree's children, the calls of each timeline row, the text
// marks of lanes without calls, and the aggregate bins at coarser resolutions, built on
// first need.
(function (JT) {
  const kVersion = 1;
  const kPyramidFactor = 4;
  const kUnknown = '(unknown)';

  function undelta(values) {
    const out = new Float64Array(values.length);
    let acc = 0;
    for (let i = 0; i < values.length; i += 1) {
      acc += values[i];
      out[i] = acc;
    }
    return out;
  }

  function nameOf(names, index) {
    return index >= 0 && index < names.length ? names[index] : kUnknown;
  }

  function buildTree(trace) {
    const t = trace.tree || { name: [], parent: [], calls: [], total: [], self: [] };
    const n = t.name.length;
    const other = new Map((t.other || []).map(([node, paths]) => [node, paths]));
    const nodes = [];
    for (let i = 0; i < n; i += 1) {
      let label;
      if (i === 0) label = 'all';
      else if (other.has(i)) {
        // 0: the paths past the writer's bound on the tree, not counted.
        label = other.get(i) > 0 ? `${JT.format.count(other.get(i))} smaller paths` : 'other paths';
      }
      else label = nameOf(trace.names, t.name[i]);
      nodes.push({
        index: i, name: label, routine: i > 0 && !other.has(i) ? label : null,
        parent: t.parent[i], calls: t.calls[i], total: t.total[i], self: t.self[i],
        children: [], depth: 0, width: 0,
      });
    }
    for (let i = 1; i < n; i += 1) {
      const p = nodes[i].parent;
      if (p >= 0 && p < i) {
        nodes[p].children.push(nodes[i]);
        nodes[i].depth = nodes[p].depth + 1;
      }
    }
    // A node is drawn as wide as its own total or its children together, whichever is more,
    // so that children never spill out of their parent. Preorder: children come after.
    let maxDepth = 0;
    for (let i = n - 1; i >= 0; i -= 1) {
      const node = nodes[i];
      let sum = 0;
      for (const c of node.children) sum += c.width;
      node.width = Math.max(node.total, sum);
      node.children.sort((a, b) => b.width - a.width || (a.name < b.name ? -1 : 1));
      maxDepth = Math.max(maxDepth, node.depth);
    }
    if (n === 0) nodes.push({ index: 0, name: 'all', routine: null, parent: -1, calls: 0,
      total: 0, self: 0, children: [], depth: 0, width: 0 });
    return { nodes, maxDepth };
  }

  // A row's calls (one thread at one depth), sorted by start, with the running maximum of
  // their ends so a view finds its first visible call by binary search.
  function buildRows(lane) {
    const c = lane.calls || {};
    const start = undelta(c.start || []);
    const rows = [];
    for (let d = 0; d < lane.rows; d += 1) rows.push([]);
    for (let i = 0; i < start.length; i += 1) {
      const d = c.depth[i];
      if (d >= 0 && d < rows.length) rows[d].push(i);
    }
    const details = new Map((c.detail || []).map(([i, text]) => [i, text]));
    return rows.map((indices) => {
      const m = indices.length;
      const row = {
        start: new Float64Array(m), dur: new Float64Array(m), maxEnd: new Float64Array(m),
        name: new Int32Array(m), rc: new Float64Array(m), flags: new Uint8Array(m),
        detail: new Map(),  // index -> text, for the calls that have one
      };
      let maxEnd = -Infinity;
      indices.forEach((src, k) => {
        row.start[k] = start[src];
        row.dur[k] = c.dur[src];
        maxEnd = Math.max(maxEnd, start[src] + c.dur[src]);
        row.maxEnd[k] = maxEnd;
        row.name[k] = c.name[src];
        row.rc[k] = c.rc[src];
        row.flags[k] = c.flags[src];
        const detail = details.get(src);
        if (detail) row.detail.set(k, detail);
      });
      return row;
    });
  }

  function decodeBins(rowBins) {
    return {
      index: undelta(rowBins.index), cover: Float64Array.from(rowBins.cover),
      count: Float64Array.from(rowBins.count), errors: Float64Array.from(rowBins.errors),
      name: Int32Array.from(rowBins.name),
    };
  }

  // The next coarser level: kPyramidFactor bins become one; the name is the one that
  // covered most of the finer bins.
  function coarsen(level) {
    const out = { index: [], cover: [], count: [], errors: [], name: [] };
    let best = -1;
    for (let i = 0; i < level.index.length; i += 1) {
      const idx = Math.floor(level.index[i] / kPyramidFactor);
      const last = out.index.length - 1;
      if (last < 0 || out.index[last] !== idx) {
        out.index.push(idx); out.cover.push(0); out.count.push(0); out.errors.push(0);
        out.name.push(level.name[i]);
        best = -1;
      }
      const k = out.index.length - 1;
      out.cover[k] += level.cover[i];
      out.count[k] += level.count[i];
      out.errors[k] += level.errors[i];
      if (level.cover[i] > best) {
        best = level.cover[i];
        out.name[k] = level.name[i];
      }
    }
    return {
      index: Float64Array.from(out.index), cover: Float64Array.from(out.cover),
      count: Float64Array.from(out.count), errors: Float64Array.from(out.errors),
      name: Int32Array.from(out.name),
    };
  }

  // Bins of one row at pyramid level `k` (width binWidth × factor^k), built on first need.
  function binsAt(rowPyramid, k) {
    while (rowPyramid.length <= k) rowPyramid.push(coarsen(rowPyramid[rowPyramid.length - 1]));
    return rowPyramid[k];
  }

  // Bins of a row summed from its calls (a trace whose every call is in the data comes
  // without bins): as the writer sums them, a call counts from time 0 on.
  function binsFromCalls(row, width) {
    const bins = new Map();
    const at = (k) => {
      let b = bins.get(k);
      if (!b) {
        b = { cover: 0, count: 0, errors: 0, name: 0, best: -1 };
        bins.set(k, b);
      }
      return b;
    };
    for (let i = 0; i < row.start.length; i += 1) {
      const s = Math.max(0, row.start[i]);
      const e = Math.max(s, row.start[i] + row.dur[i]);
      const first = Math.floor(s / width);
      const home = at(first);
      home.count += 1;
      if (row.rc[i] !== 0) home.errors += 1;
      if (e === s && home.best < 0) { home.name = row.name[i]; home.best = 0; }
      for (let k = first; k * width < e; k += 1) {
        const b = at(k);
        const part = Math.min(e, (k + 1) * width) - Math.max(s, k * width);
        b.cover += part;
        if (part > b.best) { b.best = part; b.name = row.name[i]; }
      }
    }
    const keys = [...bins.keys()].sort((a, b) => a - b);
    return {
      index: Float64Array.from(keys), cover: Float64Array.from(keys, (k) => bins.get(k).cover),
      count: Float64Array.from(keys, (k) => bins.get(k).count),
      errors: Float64Array.from(keys, (k) => bins.get(k).errors),
      name: Int32Array.from(keys, (k) => bins.get(k).name),
    };
  }

  // The width of bins summed in the page: a power of two giving at most kPageBins over the
  // trace.
  const kPageBins = 8192;
  function pageBinWidth(span) {
    let w = 1;
    while (span / w > kPageBins) w *= 2;
    return w;
  }

  function buildLanes(trace, binWidth) {
    const tl = trace.timeline || { binWidth: 1, complete: true, lanes: [] };
    return tl.lanes.map((lane) => {
      const rows = buildRows(lane);
      const pyramids = rows.map(() => null);
      for (const rb of lane.bins || []) {
        if (rb.depth >= 0 && rb.depth < lane.rows) pyramids[rb.depth] = [decodeBins(rb)];
      }
      if (tl.complete) {
        rows.forEach((row, d) => {
          if (row.start.length > 0) pyramids[d] = [binsFromCalls(row, binWidth)];
        });
      }
      // Every call of the lane: the bins count them when not all are kept.
      let calls = 0;
      for (const r of rows) calls += r.start.length;
      if (!tl.complete) {
        let binned = 0;
        for (const p of pyramids) if (p) for (const c of p[0].count) binned += c;
        calls = Math.max(calls, binned);
      }
      return { thread: lane.thread, rows, pyramids, calls, texts: decodeTexts(lane.texts) };
    });
  }

  // The marks of a thread that wrote texts and made no calls: each the first text of its
  // bin (of every text when `width` is 0), with how many it stands for.
  function decodeTexts(texts) {
    if (!texts || texts.t.length === 0) return null;
    let total = 0;
    for (const c of texts.count) total += c;
    return { width: texts.width, t: undelta(texts.t), count: Float64Array.from(texts.count),
      text: texts.text, total };
  }

  function buildCounters(trace) {
    return (trace.counters || []).map((s) => {
      if (s.exact) {
        const t = undelta(s.t);
        const v = Float64Array.from(s.v);
        return { kind: s.kind, exact: true, t, min: v, max: v, last: v };
      }
      const idx = undelta(s.index);
      const t = idx.map((i) => (i + 0.5) * s.binWidth);
      return { kind: s.kind, exact: false, binWidth: s.binWidth, t,
        min: Float64Array.from(s.min), max: Float64Array.from(s.max),
        last: Float64Array.from(s.last) };
    });
  }

  function buildTrace(raw) {
    const trace = Object.assign({}, raw);
    trace.names = raw.names || [kUnknown];
    trace.nameOf = (i) => nameOf(trace.names, i);
    trace.summaryRows = (raw.summary || []).map((r) => ({
      name: nameOf(trace.names, r[0]), calls: r[1], total: r[2], self: r[3], mean: r[4],
      median: r[5], p95: r[6], max: r[7], errors: r[8], topCode: r[9], topCodeCount: r[10],
    }));
    trace.callTree = buildTree(raw);
    const tl = raw.timeline || { binWidth: 1, complete: true, lanes: [] };
    trace.complete = tl.complete;
    trace.binWidth = tl.complete ? pageBinWidth(Math.max(1, raw.last - raw.base)) : tl.binWidth;
    trace.lanes = buildLanes(raw, trace.binWidth);
    trace.series = buildCounters(raw);
    // The time domain: the whole trace, and calls that started before its first line.
    let lo = Math.min(0, raw.first - raw.base);
    let hi = raw.last - raw.base;
    for (const lane of trace.lanes) {
      if (lane.texts) {
        lo = Math.min(lo, lane.texts.t[0]);
        hi = Math.max(hi, lane.texts.t[lane.texts.t.length - 1]);
      }
      for (const row of lane.rows) {
        if (row.start.length > 0) {
          lo = Math.min(lo, row.start[0]);
          hi = Math.max(hi, row.maxEnd[row.maxEnd.length - 1]);
        }
      }
    }
    trace.domain = [lo, hi > lo ? hi : lo + 1000];
    return trace;
  }

  // The document, decoded; throws an Error with a message for the reader of the page when
  // the document is not one this page reads.
  function load(doc) {
    if (!doc || doc.format !== 'jovtrace-report') throw new Error('The page holds no report data.');
    if (doc.version !== kVersion) {
      throw new Error(`The report data has version ${doc.version}; this page reads version ${kVersion}.`);
    }
    return { tool: doc.tool || '', notices: doc.notices, traces: (doc.traces || []).map(buildTrace) };
  }

  JT.model = { load, binsAt, kPyramidFactor };
})(window.JT = window.JT || {});
