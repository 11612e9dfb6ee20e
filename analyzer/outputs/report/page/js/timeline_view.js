// timeline_view.js - the timeline's frame: one lane per thread and one per memory counter on a
// shared time axis, the visible range, and zoom and pan by wheel, drag and keys. The lanes
// and the counters draw themselves (timeline_lanes.js, timeline_counters.js).
(function (JT) {
  const f = JT.format;
  const kMinSpanUs = 20;      // the closest zoom: 20 µs across the width
  const kKeyZoom = 1.5;       // one key press zooms by this factor
  const kKeyPan = 0.2;        // one key press pans by this share of the view

  const view = { trace: null, v0: 0, v1: 1, width: 1, rowH: 18, fontPx: 12, dpr: 1 };
  let root = null;
  let axis = null;
  let parts = [];             // {canvas, draw(ctx), hit(x, y)} of every lane and counter
  let pending = 0;           // the animation frame that will draw, if one is asked for

  function pxPerUs() {
    return view.width / (view.v1 - view.v0);
  }

  function clampView(v0, v1) {
    const [lo, hi] = view.trace.domain;
    let span = Math.max(kMinSpanUs, Math.min(v1 - v0, hi - lo));
    let a = v0;
    if (v1 - v0 !== span) a = (v0 + v1) / 2 - span / 2;
    a = Math.min(Math.max(a, lo), hi - span);
    view.v0 = a;
    view.v1 = a + span;
  }

  function setView(v0, v1) {
    clampView(v0, v1);
    root.dataset.viewStart = String(Math.round(view.v0));
    root.dataset.viewEnd = String(Math.round(view.v1));
    const first = view.trace.base + view.v0;
    document.getElementById('timeline-status').textContent =
      `${f.clock(first, 3)} + ${f.duration(view.v1 - view.v0)} shown`;
    redraw();
  }

  function zoomAround(t, factor) {
    setView(t - (t - view.v0) / factor, t + (view.v1 - t) / factor);
  }

  function pan(fraction) {
    const d = (view.v1 - view.v0) * fraction;
    setView(view.v0 + d, view.v1 + d);
  }

  function showAll() {
    setView(view.trace.domain[0], view.trace.domain[1]);
  }

  function sizeCanvas(canvas, cssHeight) {
    canvas.style.height = `${cssHeight}px`;
    canvas.width = Math.max(1, Math.round(view.width * view.dpr));
    canvas.height = Math.max(1, Math.round(cssHeight * view.dpr));
  }

  function measure() {
    const fontPx = parseFloat(getComputedStyle(document.documentElement).fontSize);
    view.fontPx = Math.round(fontPx * 0.8);
    view.rowH = Math.round(fontPx * 1.25);
    view.dpr = window.devicePixelRatio || 1;
    view.width = Math.max(1, axis.clientWidth);
    sizeCanvas(axis, Math.round(fontPx * 1.8));
    for (const p of parts) sizeCanvas(p.canvas, p.height());
  }

  function niceStep(raw) {
    const p = Math.pow(10, Math.floor(Math.log10(raw)));
    for (const m of [1, 2, 5]) if (m * p >= raw) return m * p;
    return 10 * p;
  }

  function drawAxis() {
    const ctx = axis.getContext('2d');
    ctx.setTransform(view.dpr, 0, 0, view.dpr, 0, 0);
    const h = axis.height / view.dpr;
    ctx.clearRect(0, 0, view.width, h);
    const ppu = pxPerUs();
    const step = niceStep(Math.max(1, 110 / ppu));
    const zero = view.trace.first - view.trace.base;
    ctx.font = `${view.fontPx}px system-ui, sans-serif`;
    ctx.fillStyle = JT.palette.axisText;
    ctx.strokeStyle = JT.palette.grid;
    ctx.textBaseline = 'bottom';
    for (let t = Math.ceil((view.v0 - zero) / step) * step; t + zero <= view.v1; t += step) {
      const x = Math.round((t + zero - view.v0) * ppu) + 0.5;
      ctx.beginPath();
      ctx.moveTo(x, h - 6);
      ctx.lineTo(x, h);
      ctx.stroke();
      const label = Math.abs(t) < step / 2 ? '0' : `${t > 0 ? '+' : ''}${f.offset(t, step)}`;
      if (x + 3 + ctx.measureText(label).width <= view.width) ctx.fillText(label, x + 3, h - 4);
    }
    ctx.beginPath();
    ctx.moveTo(0, h - 0.5);
    ctx.lineTo(view.width, h - 0.5);
    ctx.stroke();
  }

  function redraw() {
    if (pending) return;
    pending = requestAnimationFrame(() => {
      pending = 0;
      drawNow();
    });
  }

  function drawNow() {
    if (pending) {
      cancelAnimationFrame(pending);
      pending = 0;
    }
    if (!view.trace) return;
    drawAxis();
    for (const p of parts) {
      const ctx = p.canvas.getContext('2d');
      ctx.setTransform(view.dpr, 0, 0, view.dpr, 0, 0);
      ctx.clearRect(0, 0, view.width, p.canvas.height / view.dpr);
      p.draw(ctx);
    }
  }

  function build(trace) {
    view.trace = trace;
    const lanesBox = document.getElementById('timeline-lanes');
    const countersBox = document.getElementById('timeline-counters');
    parts = [];
    lanesBox.replaceChildren(...JT.timelineLanes.build(trace, view, parts));
    countersBox.replaceChildren(...JT.timelineCounters.build(trace, view, parts));
    measure();
    showAll();
  }

  function partAt(event) {
    for (const p of parts) {
      const r = p.canvas.getBoundingClientRect();
      if (event.clientY >= r.top && event.clientY < r.bottom) {
        return { part: p, x: event.clientX - r.left, y: event.clientY - r.top };
      }
    }
    return null;
  }

  function hover(event) {
    const cursor = document.getElementById('timeline-cursor');
    const box = root.getBoundingClientRect();
    const x = event.clientX - box.left;
    cursor.hidden = x < 0 || x > view.width;
    cursor.style.transform = `translateX(${Math.round(x)}px)`;
    const at = partAt(event);
    const info = at ? at.part.hit(at.x, at.y) : null;
    if (info) JT.tooltip.show(event.clientX, event.clientY, info.title, info.rows);
    else JT.tooltip.hide();
  }

  function keydown(event) {
    if (event.altKey || event.ctrlKey || event.metaKey) return;
    const mid = (view.v0 + view.v1) / 2;
    const keys = {
      '+': () => zoomAround(mid, kKeyZoom), '=': () => zoomAround(mid, kKeyZoom),
      'w': () => zoomAround(mid, kKeyZoom), '-': () => zoomAround(mid, 1 / kKeyZoom),
      's': () => zoomAround(mid, 1 / kKeyZoom), 'ArrowLeft': () => pan(-kKeyPan),
      'a': () => pan(-kKeyPan), 'ArrowRight': () => pan(kKeyPan), 'd': () => pan(kKeyPan),
      '0': showAll, 'Home': showAll,
    };
    const action = keys[event.key.length === 1 ? event.key.toLowerCase() : event.key];
    if (!action || !view.trace) return;
    event.preventDefault();
    action();
  }

  function init() {
    root = document.getElementById('timeline');
    axis = document.getElementById('timeline-axis');
    root.addEventListener('wheel', (event) => {
      if (!view.trace) return;
      event.preventDefault();
      const box = root.getBoundingClientRect();
      const t = view.v0 + (event.clientX - box.left) / pxPerUs();
      if (event.shiftKey || Math.abs(event.deltaX) > Math.abs(event.deltaY)) {
        pan((event.deltaX || event.deltaY) / view.width);
      } else {
        zoomAround(t, Math.exp(-event.deltaY * 0.002));
      }
    }, { passive: false });
    let drag = null;
    root.addEventListener('pointerdown', (event) => {
      if (event.button !== 0 || !view.trace) return;
      drag = { x: event.clientX, v0: view.v0, v1: view.v1, moved: false };
      root.setPointerCapture(event.pointerId);
    });
    root.addEventListener('pointermove', (event) => {
      if (drag) {
        const dx = event.clientX - drag.x;
        if (Math.abs(dx) > 2) drag.moved = true;
        const d = -dx / (view.width / (drag.v1 - drag.v0));
        setView(drag.v0 + d, drag.v1 + d);
      }
      hover(event);
    });
    root.addEventListener('pointerup', () => { drag = null; });
    root.addEventListener('pointerleave', () => {
      JT.tooltip.hide();
      document.getElementById('timeline-cursor').hidden = true;
    });
    root.addEventListener('dblclick', (event) => {
      const at = partAt(event);
      const span = at && at.part.span ? at.part.span(at.x, at.y) : null;
      if (span) setView(span[0] - (span[1] - span[0]) * 0.05, span[1] + (span[1] - span[0]) * 0.05);
    });
    root.addEventListener('keydown', keydown);
    // A new width, or a new zoom of the page (its pixel ratio and text size change with it):
    // the canvases are sized and their text measured again, so it stays sharp and readable.
    const refit = () => {
      if (!view.trace) return;
      measure();
      setView(view.v0, view.v1);
    };
    new ResizeObserver(refit).observe(root);
    window.addEventListener('resize', refit);
  }

  JT.timelineView = { init, build, redraw, drawNow, pxPerUs };
})(window.JT = window.JT || {});
