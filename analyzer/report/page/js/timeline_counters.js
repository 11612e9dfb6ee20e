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
      const scale = top > 0 ? (h - 4) / top : 0;
      const yOf = (v) => h - 2 - v * scale;
      const t = series.t;
      let i = Math.max(0, firstAtOrAfter(t, view.v0) - 1);
      ctx.strokeStyle = pal.grid;
      ctx.beginPath();
      ctx.moveTo(0, h - 1.5);
      ctx.lineTo(view.width, h - 1.5);
      ctx.stroke();
      if (!series.exact) {
        ctx.fillStyle = colour;
        ctx.globalAlpha = 0.25;
        for (let k = i; k < t.length && t[k] - series.binWidth / 2 <= view.v1; k += 1) {
          const x = (t[k] - series.binWidth / 2 - view.v0) * ppu;
          ctx.fillRect(x, yOf(series.max[k]), Math.max(1, series.binWidth * ppu),
            Math.max(1, (series.max[k] - series.min[k]) * scale));
        }
        ctx.globalAlpha = 1;
      }
      ctx.strokeStyle = colour;
      ctx.lineWidth = 1.5;
      ctx.beginPath();
      let lastY = null;
      for (; i < t.length; i += 1) {
        const x = (t[i] - view.v0) * ppu;
        const y = yOf(series.last[i]);
        if (lastY === null) ctx.moveTo(x, y);
        else {
          ctx.lineTo(x, lastY);
          ctx.lineTo(x, y);
        }
        lastY = y;
        if (t[i] > view.v1) break;
      }
      // The last value holds until the trace ends.
      if (lastY !== null && t[t.length - 1] < view.v1) {
        ctx.lineTo((view.trace.last - view.trace.base - view.v0) * ppu, lastY);
      }
      ctx.stroke();
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
