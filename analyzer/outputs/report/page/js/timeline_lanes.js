// timeline_lanes.js - a thread's lane: one row per stack depth. Where calls are too dense to
// tell apart it draws the aggregate bins (the coarsest level whose bins are still a pixel
// wide), shaded by how busy each bin was; over them every call a pixel wide or more. Calls
// with a non-zero return code get a hatch and a mark; calls not closed by their own Pop a
// dashed edge. A thread that made no calls shows its texts as marks, the text on hover.
(function (JT) {
  const f = JT.format;
  const pal = JT.palette;
  const kLabelPx = 40;
  const closeNames = ['its own Pop', 'an outer Pop', 'no Pop line', 'open at the end of the trace'];

  let hatch = null;

  function hatchPattern(ctx) {
    if (hatch) return hatch;
    const tile = document.createElement('canvas');
    tile.width = 6;
    tile.height = 6;
    const t = tile.getContext('2d');
    t.strokeStyle = 'rgba(0, 0, 0, 0.55)';
    t.lineWidth = 1.5;
    t.beginPath();
    t.moveTo(0, 6);
    t.lineTo(6, 0);
    t.moveTo(-1, 1);
    t.lineTo(1, -1);
    t.moveTo(5, 7);
    t.lineTo(7, 5);
    t.stroke();
    hatch = ctx.createPattern(tile, 'repeat');
    return hatch;
  }

  function errorMark(ctx, x, y, size) {
    ctx.beginPath();
    ctx.moveTo(x, y);
    ctx.lineTo(x + size, y);
    ctx.lineTo(x + size / 2, y + size * 0.8);
    ctx.closePath();
    ctx.fillStyle = pal.error;
    ctx.fill();
    ctx.strokeStyle = pal.errorEdge;
    ctx.lineWidth = 1;
    ctx.stroke();
  }

  // First index of an ascending column whose value reaches t: of a row's running maximum
  // end, the first call that may be visible; of a lane's text times, the first text.
  function firstReaching(values, t) {
    let lo = 0;
    let hi = values.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (values[mid] < t) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  }

  function firstBin(index, width, t) {
    let lo = 0;
    let hi = index.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if ((index[mid] + 1) * width <= t) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  }

  // The bins of a row to draw at this zoom, or null when the exact calls suffice.
  function levelFor(trace, pyramid, ppu) {
    if (!pyramid) return null;
    const px0 = trace.binWidth * ppu;
    if (trace.complete && px0 >= 1) return null;
    let k = 0;
    while (trace.binWidth * Math.pow(JT.model.kPyramidFactor, k) * ppu < 1) k += 1;
    return { bins: JT.model.binsAt(pyramid, k), width: trace.binWidth * Math.pow(JT.model.kPyramidFactor, k) };
  }

  // Bins shaded by how busy they were; a bin with non-zero return codes gets a dark bar on
  // top, its strength the share of such calls (marks on every bin of a long trace would be
  // a band of noise).
  function drawBins(ctx, trace, level, view, ppu, y, h) {
    const { bins, width } = level;
    for (let i = firstBin(bins.index, width, view.v0); i < bins.index.length; i += 1) {
      const t0 = bins.index[i] * width;
      if (t0 > view.v1) break;
      const x = (t0 - view.v0) * ppu;
      const w = Math.max(1, width * ppu);
      // A bin wider than a few pixels is drawn faint, so that the calls kept exactly stand
      // out from what is only known in sum.
      const busy = Math.min(1, bins.cover[i] / width);
      ctx.globalAlpha = w > 4 ? 0.12 + 0.3 * busy : 0.3 + 0.7 * busy;
      ctx.fillStyle = pal.routine(trace.nameOf(bins.name[i]));
      ctx.fillRect(x, y + 1, w, h - 2);
      if (bins.errors[i] > 0) {
        ctx.globalAlpha = 0.5 + 0.5 * Math.min(1, (4 * bins.errors[i]) / Math.max(1, bins.count[i]));
        ctx.fillStyle = pal.errorBar;
        ctx.fillRect(x, y + 1, w, 3);
      }
      ctx.globalAlpha = 1;
    }
  }

  function drawCalls(ctx, trace, row, view, ppu, y, h, minPx) {
    let lastPixel = -Infinity;
    for (let i = firstReaching(row.maxEnd, view.v0); i < row.start.length; i += 1) {
      const s = row.start[i];
      if (s > view.v1) break;
      let x = (s - view.v0) * ppu;
      let w = row.dur[i] * ppu;
      if (w < minPx) continue;
      if (w < 1) {
        if (Math.floor(x) === lastPixel) continue;
        lastPixel = Math.floor(x);
        w = 1;
      }
      if (x < -1) { w += x + 1; x = -1; }
      w = Math.min(w, view.width + 2 - x);
      const name = trace.nameOf(row.name[i]);
      const error = row.rc[i] !== 0;
      ctx.fillStyle = row.name[i] === 0 ? pal.unknown : pal.routine(name);
      ctx.fillRect(x, y + 1, w, h - 2);
      if (error) {
        ctx.fillStyle = hatchPattern(ctx);
        ctx.fillRect(x, y + 1, w, h - 2);
      }
      if (w >= 3) {
        ctx.strokeStyle = error ? pal.errorEdge : 'rgba(0, 0, 0, 0.35)';
        ctx.lineWidth = error ? 1.5 : 1;
        ctx.setLineDash((row.flags[i] >> 2) & 3 ? [3, 2] : []);
        ctx.strokeRect(x + 0.5, y + 1.5, w - 1, h - 3);
        ctx.setLineDash([]);
      }
      if (w >= kLabelPx) {
        ctx.save();
        ctx.beginPath();
        ctx.rect(x, y, w - 2, h);
        ctx.clip();
        ctx.fillStyle = pal.text;
        ctx.fillText(name, Math.max(x, 0) + (error ? h * 0.5 + 4 : 4), y + h / 2 + 1);
        ctx.restore();
      }
      if (error) errorMark(ctx, Math.max(x, 0) + 1, y + 1, h * 0.44);
    }
  }

  // A diamond on a stem per text, one per pixel column.
  function drawTexts(ctx, texts, view, ppu, h) {
    const r = h * 0.28;
    let lastPixel = -Infinity;
    ctx.fillStyle = pal.textMark;
    for (let i = firstReaching(texts.t, view.v0 - r / ppu); i < texts.t.length; i += 1) {
      const x = (texts.t[i] - view.v0) * ppu;
      if (x > view.width + r) break;
      if (Math.round(x) === lastPixel) continue;
      lastPixel = Math.round(x);
      ctx.fillRect(Math.round(x), 2, 1, h - 4);
      ctx.beginPath();
      ctx.moveTo(x, h / 2 - r);
      ctx.lineTo(x + r, h / 2);
      ctx.lineTo(x, h / 2 + r);
      ctx.lineTo(x - r, h / 2);
      ctx.closePath();
      ctx.fill();
    }
  }

  // The text mark nearest to x, within a few pixels.
  function textAt(trace, texts, t, ppu) {
    const slack = 4 / ppu;
    let best = -1;
    for (let i = firstReaching(texts.t, t - slack); i < texts.t.length && texts.t[i] <= t + slack; i += 1) {
      if (best < 0 || Math.abs(texts.t[i] - t) < Math.abs(texts.t[best] - t)) best = i;
    }
    if (best < 0) return null;
    const n = texts.count[best];
    const rows = [['Time', f.clock(trace.base + texts.t[best])], [n > 1 ? 'First' : 'Text', texts.text[best]]];
    if (n > 1) rows.push(['Texts', `${f.count(n)} within ${f.duration(texts.width)}`]);
    return { title: n > 1 ? `${f.count(n)} texts` : 'Text', rows };
  }

  function callRows(trace, row, i) {
    const flags = row.flags[i];
    const rows = [
      ['Start', f.clock(trace.base + row.start[i])],
      ['Duration', `${f.duration(row.dur[i])} (${f.ms(row.dur[i])} ms)`],
    ];
    if (flags & 1) rows.push(['Return code', String(row.rc[i])]);
    if (row.detail.has(i)) rows.push(['Detail', row.detail.get(i)]);
    rows.push(['Closed by', closeNames[(flags >> 2) & 3]]);
    if (flags & 2) rows.push(['Push line', 'missing (start is Pop time less duration)']);
    return rows;
  }

  function makeLane(trace, lane, view) {
    const el = document.createElement('div');
    el.className = 'lane';
    el.dataset.thread = String(lane.thread);
    el.dataset.calls = String(lane.calls);
    el.dataset.texts = String(lane.texts ? lane.texts.total : 0);
    const label = document.createElement('div');
    label.className = 'lane-label';
    label.textContent = `Thread ${lane.thread} · ` +
      (lane.texts ? `${f.count(lane.texts.total)} texts` : `${f.count(lane.calls)} calls`);
    const canvas = document.createElement('canvas');
    el.append(label, canvas);
    const rowsOf = () => Math.max(1, lane.rows.length);

    // Calls narrower than this are left to the bins; 0 when every call is drawn.
    function minCallPx(level, ppu) {
      return level && trace.binWidth * ppu < 1 ? 1 : 0;
    }

    function draw(ctx) {
      const ppu = JT.timelineView.pxPerUs();
      const h = view.rowH;
      ctx.font = `${view.fontPx}px system-ui, sans-serif`;
      ctx.textBaseline = 'middle';
      for (let d = 0; d < lane.rows.length; d += 1) {
        const level = levelFor(trace, lane.pyramids[d], ppu);
        if (level) drawBins(ctx, trace, level, view, ppu, d * h, h);
        drawCalls(ctx, trace, lane.rows[d], view, ppu, d * h, h, minCallPx(level, ppu));
      }
      if (lane.texts) drawTexts(ctx, lane.texts, view, ppu, h);
    }

    // The call under the pointer (within 2 px), else the aggregate bin under it.
    function hit(x, y) {
      const ppu = JT.timelineView.pxPerUs();
      if (lane.texts) return textAt(trace, lane.texts, view.v0 + x / ppu, ppu);
      const d = Math.floor(y / view.rowH);
      if (d < 0 || d >= lane.rows.length) return null;
      const t = view.v0 + x / ppu;
      const slack = 2 / ppu;
      const row = lane.rows[d];
      const level = levelFor(trace, lane.pyramids[d], ppu);
      const minDur = minCallPx(level, ppu) / ppu;
      for (let i = firstReaching(row.maxEnd, t - slack); i < row.start.length && row.start[i] <= t + slack; i += 1) {
        if (row.start[i] + row.dur[i] >= t - slack && row.dur[i] >= minDur) {
          return { title: trace.nameOf(row.name[i]), rows: callRows(trace, row, i),
            span: [row.start[i], row.start[i] + row.dur[i]] };
        }
      }
      if (!level) return null;
      const { bins, width } = level;
      const i = firstBin(bins.index, width, t);
      if (i >= bins.index.length || bins.index[i] * width > t) return null;
      return {
        title: `${f.count(bins.count[i])} calls at depth ${d} (aggregated)`,
        rows: [
          ['From', f.clock(trace.base + bins.index[i] * width)],
          ['Width', f.duration(width)],
          ['Busy', f.percent(bins.cover[i], width)],
          ['Mostly', trace.nameOf(bins.name[i])],
          ['Non-zero codes', f.count(bins.errors[i])],
        ],
        span: [bins.index[i] * width, (bins.index[i] + 1) * width],
      };
    }

    return { element: el, part: { canvas, height: () => rowsOf() * view.rowH, draw, hit,
      span: (x, y) => { const h = hit(x, y); return h ? h.span : null; } } };
  }

  function build(trace, view, parts) {
    const elements = [];
    for (const lane of trace.lanes) {
      const { element, part } = makeLane(trace, lane, view);
      elements.push(element);
      parts.push(part);
    }
    if (!trace.lanes.some((lane) => lane.calls > 0)) {
      const p = document.createElement('p');
      p.className = 'empty';
      p.textContent = 'The trace holds no routine calls.';
      elements.push(p);
    }
    return elements;
  }

  JT.timelineLanes = { build };
})(window.JT = window.JT || {});
