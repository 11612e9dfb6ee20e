// diff_flame.js - the differential flame graph: the merged call tree of both runs, frames as
// wide as their total time in the new run (the toggle: in the base), red where a frame's self
// time grew and blue where it shrank, deeper the larger the change. A frame the new run lost
// is still drawn, as wide as it was in the base, with a dashed border.
(function (JT) {
  const f = JT.format;
  const kMinWidthPx = 0.5;
  const kMinLabelPx = 28;
  // A change of self time under 1 % is "about the same"; from 50 % on the colour is full.
  const kSameBelow = 0.01;
  const kFullAt = 0.5;
  const BOTH = 0;
  const BASE_ONLY = 1;
  const NEW_ONLY = 2;

  let nodes = [];
  let byBase = false;
  let needle = '';
  let graph = null;

  // Nodes come as [parent, name, present, base calls, total, self, new calls, total, self].
  function build(tree) {
    nodes = tree.map((n, index) => ({
      index, parent: n[0], name: n[1], present: n[2],
      base: { calls: n[3], total: n[4], self: n[5] }, next: { calls: n[6], total: n[7], self: n[8] },
      children: [], depth: 0, width: 0,
    }));
    for (const node of nodes) {
      if (node.parent >= 0) {
        node.depth = nodes[node.parent].depth + 1;
        nodes[node.parent].children.push(node);
      }
    }
    nodes.maxDepth = nodes.reduce((m, n) => Math.max(m, n.depth), 0);
    layout();
  }

  // Relative change of self time, -1 (all gone) .. +inf (all new).
  function selfChange(node) {
    if (node.present === BASE_ONLY) return -1;
    if (node.present === NEW_ONLY || node.base.self === 0) return node.next.self > 0 ? Infinity : 0;
    return (node.next.self - node.base.self) / node.base.self;
  }

  function colour(change) {
    if (Math.abs(change) < kSameBelow) return 'hsl(0, 0%, 93%)';
    const t = Math.min(1, Math.abs(change) / kFullAt);
    return `hsl(${change > 0 ? 4 : 214}, 80%, ${Math.round(92 - 30 * t)}%)`;
  }

  // Widths bottom-up: a frame's own time on the chosen side (the other side's when it is not
  // on the chosen one), and never narrower than its children together.
  function measure() {
    for (let i = nodes.length - 1; i >= 0; i -= 1) {
      const n = nodes[i];
      const own = byBase ? (n.present !== NEW_ONLY ? n.base.total : n.next.total)
        : (n.present !== BASE_ONLY ? n.next.total : n.base.total);
      n.width = Math.max(own, n.children.reduce((s, c) => s + c.width, 0));
    }
  }

  function frame(node, x, w, h) {
    const el = document.createElement('div');
    const change = selfChange(node);
    el.className = 'frame' + (node.index === 0 ? ' root' : '') + (node.present === BASE_ONLY ? ' lost' : '')
      + (node.present === NEW_ONLY ? ' added' : '') + (w < kMinLabelPx ? ' narrow' : '');
    el.classList.toggle('match', needle.length > 0 && node.index !== 0 && node.name.toLowerCase().includes(needle));
    el.dataset.node = String(node.index);
    el.dataset.name = node.name;
    el.dataset.change = String(change);
    el.style.background = node.index === 0 ? 'hsl(0, 0%, 85%)' : colour(change);
    el.style.transform = `translate(${x}px, ${(nodes.maxDepth - node.depth) * h}px)`;
    el.style.width = `${w}px`;
    el.textContent = node.index === 0 ? 'All routines' : node.name;
    return el;
  }

  function layout() {
    if (!nodes.length) return;
    measure();
    const width = graph.clientWidth;
    const h = Math.round(parseFloat(getComputedStyle(document.documentElement).fontSize) * 1.4);
    graph.style.height = `${(nodes.maxDepth + 1) * h}px`;
    const scale = nodes[0].width > 0 ? width / nodes[0].width : 0;
    const drawn = [frame(nodes[0], 0, width, h)];
    const stack = [[nodes[0], 0]];
    while (stack.length) {
      const [node, x] = stack.pop();
      let cx = x;
      for (const child of node.children) {
        const w = child.width * scale;
        if (w >= kMinWidthPx) {
          drawn.push(frame(child, cx, w, h));
          stack.push([child, cx]);
        }
        cx += w;
      }
    }
    graph.replaceChildren(...drawn);
    graph.dataset.sizing = byBase ? 'base' : 'new';
    graph.dataset.frames = String(drawn.length);
    const matches = drawn.filter((el) => el.classList.contains('match')).length;
    graph.classList.toggle('searching', needle.length > 0);
    document.getElementById('flame-status').textContent =
      needle ? `${f.count(matches)} frames match "${needle}"` : `sized by the ${byBase ? 'base' : 'new run'}`;
  }

  function pct(after, before) {
    if (!(before > 0)) return after > 0 ? 'new' : 'no change';
    const p = (100 * (after - before)) / before;
    return `${p >= 0 ? '+' : ''}${p.toFixed(1)} %`;
  }

  function hover(event) {
    const el = event.target.closest('.frame');
    if (!el) { JT.tooltip.hide(); return; }
    const n = nodes[Number(el.dataset.node)];
    const rows = [
      ['Calls', `${f.count(n.base.calls)} → ${f.count(n.next.calls)}`],
      ['Total', `${f.ms(n.base.total)} → ${f.ms(n.next.total)} ms (${pct(n.next.total, n.base.total)})`],
      ['Self', `${f.ms(n.base.self)} → ${f.ms(n.next.self)} ms (${pct(n.next.self, n.base.self)})`],
    ];
    if (n.present === BASE_ONLY) rows.push(['New run', 'not called here']);
    if (n.present === NEW_ONLY) rows.push(['Base', 'not called here']);
    JT.tooltip.show(event.clientX, event.clientY, n.index === 0 ? 'All routines' : n.name, rows);
  }

  function init() {
    graph = document.getElementById('flame-graph');
    graph.addEventListener('mousemove', hover);
    graph.addEventListener('mouseleave', () => JT.tooltip.hide());
    const input = document.getElementById('flame-search');
    input.addEventListener('input', () => {
      needle = input.value.trim().toLowerCase();
      layout();
    });
    const toggle = document.getElementById('flame-sizing');
    toggle.addEventListener('click', () => {
      byBase = !byBase;
      toggle.setAttribute('aria-pressed', String(byBase));
      layout();
    });
    new ResizeObserver(() => layout()).observe(graph);
  }

  JT.diffFlame = { init, build };
})(window.JT = window.JT || {});
