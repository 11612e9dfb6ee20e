// timeline_counters.js - the memory counters (internal pool, process bytes, handle count,
// committed virtual memory) as step lines under the thread lanes, on the same time axis.
// Binned series draw each bin's range as a band and its last value as the line.
(function (JT) {
  const f = JT.format;
  const pal = JT.palette;
  const titles = {
    'internal-pool': ['Internal pool', f.bytes],
    'process-bytes': ['Process bytes', f.bytes],
    'handle-count': ['Handle count', f.count],
    'virtual-committed': ['Committed virtual memory', f.bytes],
  };

  function firstAtOrAfter(t, value) {
    let lo = 0;
    let hi = t.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (t[mid] < value) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  }

  function makeSeries(series, colour, view) {
    const [title, show] = titles[series.kind] || [series.kind, f.count];
    let top = 0;
    let bottom = Infinity;
    for (let i = 0; i < series.max.length; i += 1) top = Math.max(top, series.max[i]);
    for (let i = 0; i < series.min.length; i += 1) bottom = Math.min(bottom, series.min[i]);
    if (!isFinite(bottom)) bottom = 0;
    const el = document.createElement('div');
    el.className = 'lane counter';
    el.dataset.counter = series.kind;
    el.dataset.samples = String(series.t.length);
    const label = document.createElement('div');
    label.className = 'lane-label';
    label.textContent = `${title} · ${show(bottom)} to ${show(top)}`;
    const canvas = document.createElement('canvas');
    el.append(label, canvas);
    const height = () => Math.round(view.rowH * 3);

    function draw(ctx) {
      const ppu = JT.timelineView.pxPerUs();
      const h = height();
      // The lane spans the series' own range (its label gives it), so that small changes of
      // a large count show; a series that never changes sits in the middle.
      const scale = top > bottom ? (h - 6) / (top - bottom) : 0;
      const yOf = (v) => (scale ? h - 3 - (v - bottom) * scale : h / 2);
      const t = series.t;
      const first = Math.max(0, firstAtOrAfter(t, view.v0) - 1);
      ctx.strokeStyle = pal.grid;
      ctx.beginPath();
      ctx.moveTo(0, h - 1.5);
      ctx.lineTo(view.width, h - 1.5);
      ctx.stroke();
      // One pixel column at a time: the range of the samples in it as a band, the value
      // after it as the line (a step at each change).
      const band = [];
      ctx.strokeStyle = colour;
      ctx.lineWidth = 1.5;
      ctx.beginPath();
      let column = null;
      let lo = 0;
      let hi = 0;
      let inColumn = 0;
      let lastY = null;
      const flush = () => {
        if (column === null) return;
        const y = yOf(series.last[column.i]);
        if (lastY === null) ctx.moveTo(column.x, y);
        else {
          ctx.lineTo(column.x, lastY);
          ctx.lineTo(column.x, y);
        }
        lastY = y;
        if (inColumn > 1 || !series.exact) band.push([column.x, yOf(hi), Math.max(1, (hi - lo) * scale)]);
      };
      let shown = 0;
      for (let i = first; i < t.length; i += 1) {
        const x = Math.floor((t[i] - view.v0) * ppu);
        if (column === null || x !== column.x) {
          flush();
          column = { x, i };
          lo = series.min[i];
          hi = series.max[i];
          inColumn = 0;
        }
        column.i = i;
        lo = Math.min(lo, series.min[i]);
        hi = Math.max(hi, series.max[i]);
        inColumn += 1;
        shown += 1;
        if (t[i] > view.v1) break;
      }
      flush();
      // The last value holds until the trace ends.
      if (lastY !== null && t[t.length - 1] < view.v1) {
        ctx.lineTo((view.trace.last - view.trace.base - view.v0) * ppu, lastY);
      }
      ctx.stroke();
      ctx.fillStyle = colour;
      ctx.globalAlpha = 0.25;
      for (const [x, y, bh] of band) ctx.fillRect(x, y, 1, bh);
      ctx.globalAlpha = 1;
      // Few samples: each one marked, so a single sample is seen too.
      if (series.exact && shown * 8 < view.width) {
        for (let i = first; i < t.length && t[i] <= view.v1; i += 1) {
          ctx.beginPath();
          ctx.arc((t[i] - view.v0) * ppu, yOf(series.last[i]), 2.5, 0, 2 * Math.PI);
          ctx.fill();
        }
      }
    }

    // The value in force under the pointer: the last sample at or before it.
    function hit(x) {
      const tt = view.v0 + x / JT.timelineView.pxPerUs();
      const i = firstAtOrAfter(series.t, tt + 1e-6) - 1;
      if (i < 0) return null;
      const rows = [['At', f.clock(view.trace.base + series.t[i])], ['Value', show(series.last[i])]];
      if (!series.exact) rows.push(['Range in bin', `${show(series.min[i])} to ${show(series.max[i])}`]);
      return { title, rows };
    }

    return { element: el, part: { canvas, height, draw, hit } };
  }

  function build(trace, view, parts) {
    return trace.series.map((series, i) => {
      const { element, part } = makeSeries(series, pal.counter[i % pal.counter.length], view);
      parts.push(part);
      return element;
    });
  }

  JT.timelineCounters = { build };
})(window.JT = window.JT || {});
