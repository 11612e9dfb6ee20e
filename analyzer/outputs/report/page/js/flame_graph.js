// flame_graph.js - the merged call tree as a flame graph: one frame per merged path, as wide
// as its total time. A click zooms into a frame (its callers stay on top, full width), a
// click on the root zooms out; the search marks matching frames and sums their share;
// the toggle turns the graph upside down (icicle: the root on top).
(function (JT) {
  const f = JT.format;
  const pal = JT.palette;
  // Frames narrower than this are not drawn (they would be a smear of borders).
  const kMinWidthPx = 0.5;
  // A frame shows its name from this width on.
  const kMinLabelPx = 28;

  let tree = null;
  let frames = new Map();  // node index -> its element, for the frames drawn now
  let focus = null;
  let icicle = false;
  let needle = '';
  let graph = null;

  function rowHeight() {
    return Math.round(parseFloat(getComputedStyle(document.documentElement).fontSize) * 1.4);
  }

  function matches(node) {
    return needle.length > 0 && node.routine !== null && node.name.toLowerCase().includes(needle);
  }

  // A frame's element is made when it first becomes wide enough to draw: a tree of many
  // thousand paths shows only some hundred at a time, and the page stays quick to open.
  function frameOf(node) {
    let el = frames.get(node.index);
    if (el) return el;
    el = document.createElement('div');
    el.className = node.index === 0 ? 'frame root' : node.routine ? 'frame' : 'frame other';
    el.dataset.node = String(node.index);
    el.dataset.parent = String(node.parent);
    el.dataset.calls = String(node.calls);
    el.dataset.total = String(node.total);
    el.dataset.self = String(node.self);
    el.style.background = node.routine === '(unknown)' ? pal.unknown
      : node.routine ? pal.routine(node.routine) : node.index === 0 ? pal.unknown : pal.other;
    el.textContent = node.name;
    frames.set(node.index, el);
    return el;
  }

  function build(trace) {
    tree = trace.callTree;
    focus = tree.nodes[0];
    frames = new Map();
    graph.replaceChildren();
    search(needle);
    showRoot();
  }

  // The root is where a reader starts: at the bottom of a flame graph, on top of an icicle.
  function showRoot() {
    const scroller = graph.parentElement;
    scroller.scrollTop = icicle ? 0 : scroller.scrollHeight;
  }

  // Lays out the frames for the current focus: its callers full width, its subtree scaled
  // to the graph's width; frames too narrow to see (and all below them) are left out.
  function layout() {
    if (!tree) return;
    const width = graph.clientWidth;
    const h = rowHeight();
    graph.style.height = `${(tree.maxDepth + 1) * h}px`;
    const placed = [];
    const put = (node, x, w, ancestor) => {
      placed.push(node.index);
      const el = frameOf(node);
      const y = icicle ? node.depth * h : (tree.maxDepth - node.depth) * h;
      el.style.transform = `translate(${x}px, ${y}px)`;
      el.style.width = `${w}px`;
      el.classList.toggle('narrow', w < kMinLabelPx);
      el.classList.toggle('ancestor', ancestor);
      el.classList.toggle('match', matches(node));
    };
    for (let n = focus; n; n = n.parent >= 0 ? tree.nodes[n.parent] : null) put(n, 0, width, n !== focus);
    const scale = focus.width > 0 ? width / focus.width : 0;
    const stack = [[focus, 0]];
    while (stack.length) {
      const [node, x] = stack.pop();
      let cx = x;
      for (const child of node.children) {
        const w = child.width * scale;
        if (w >= kMinWidthPx) {
          put(child, cx, w, false);
          stack.push([child, cx]);
        }
        cx += w;
      }
    }
    const keep = new Set(placed);
    for (const [index, el] of frames) {
      if (!keep.has(index) && el.parentNode) el.remove();
    }
    const fresh = document.createDocumentFragment();
    for (const index of placed) {
      const el = frames.get(index);
      if (!el.parentNode) fresh.appendChild(el);
    }
    graph.appendChild(fresh);
    graph.dataset.focus = String(focus.index);
    graph.dataset.orientation = icicle ? 'icicle' : 'flame';
    graph.dataset.frames = String(placed.length);
  }

  function zoom(node) {
    focus = node;
    layout();
    updateStatus();
  }

  // Marks the frames whose routine holds the text (any case) and tells their share of the
  // whole: a match inside another match is counted once, with its outer one.
  function search(text) {
    needle = text.trim().toLowerCase();
    graph.classList.toggle('searching', needle.length > 0);
    if (!tree) return;
    const matched = new Set();
    let share = 0;
    for (const node of tree.nodes) {
      if (!matches(node)) continue;
      matched.add(node.index);
      if (!hasMatchedAncestor(node, matched)) share += node.total;
    }
    graph.dataset.matches = String(matched.size);
    graph.dataset.matchShare = String(share);
    layout();
    updateStatus(matched.size, share);
  }

  // Parents come before their children, so every matched ancestor is in the set already.
  function hasMatchedAncestor(node, matched) {
    for (let p = node.parent; p >= 0; p = tree.nodes[p].parent) {
      if (matched.has(p)) return true;
    }
    return false;
  }

  function updateStatus(matches, share) {
    const status = document.getElementById('flame-status');
    const whole = tree ? tree.nodes[0].width : 0;
    const parts = [];
    if (needle) {
      const n = matches !== undefined ? matches : Number(graph.dataset.matches);
      const s = share !== undefined ? share : Number(graph.dataset.matchShare);
      parts.push(`${f.count(n)} frames match "${needle}": ${f.percent(s, whole)} of all time`);
    }
    if (focus && focus.index !== 0) parts.push(`zoomed to ${focus.name}`);
    status.textContent = parts.join(' · ');
  }

  function nodeAt(event) {
    const el = event.target.closest('.frame');
    return el ? tree.nodes[Number(el.dataset.node)] : null;
  }

  function hover(event) {
    const node = nodeAt(event);
    if (!node) { JT.tooltip.hide(); return; }
    const whole = tree.nodes[0].width;
    const rows = [
      ['Calls', f.count(node.calls)],
      ['Total', `${f.duration(node.total)} (${f.ms(node.total)} ms)`],
      ['Self', `${f.duration(node.self)} (${f.ms(node.self)} ms)`],
      ['Share', `${f.percent(node.width, whole)} of all time`],
    ];
    if (focus.index !== 0 && node !== focus) rows.push(['Of zoomed', f.percent(node.width, focus.width)]);
    JT.tooltip.show(event.clientX, event.clientY, node.index === 0 ? 'All routines' : node.name, rows);
  }

  function init() {
    graph = document.getElementById('flame-graph');
    graph.addEventListener('mousemove', hover);
    graph.addEventListener('mouseleave', () => JT.tooltip.hide());
    graph.addEventListener('click', (event) => {
      const node = nodeAt(event);
      if (node) zoom(node);
    });
    const input = document.getElementById('flame-search');
    input.addEventListener('input', () => search(input.value));
    const toggle = document.getElementById('flame-orientation');
    toggle.addEventListener('click', () => {
      icicle = !icicle;
      toggle.setAttribute('aria-pressed', String(icicle));
      layout();
      showRoot();
    });
    document.getElementById('flame-reset').addEventListener('click', () => tree && zoom(tree.nodes[0]));
    document.getElementById('flame-section').addEventListener('keydown', (event) => {
      if (event.key === 'Escape' && tree) zoom(tree.nodes[0]);
    });
    new ResizeObserver(() => layout()).observe(graph);
  }

  JT.flameGraph = { init, build, layout };
})(window.JT = window.JT || {});
