// main.js - starts the page: reads the embedded data, shows the first trace (a selector
// switches between the traces of the run), and records when the first frame was drawn
// (data-first-draw on the root element, milliseconds since navigation started).
(function (JT) {
  const legendItems = [
    ['mark-error', 'non-zero return code (hatched, with a mark)'],
    ['mark-dashed', 'closed by an outer Pop, without a Pop line, or open at the end'],
    ['mark-aggregate', 'many short calls, one block per time bin, darker when busier'],
    ['mark-error-bar', 'a bin with non-zero return codes'],
    ['mark-text', 'a text of a thread without calls (hover to read it)'],
  ];

  let model = null;

  function legend() {
    const ul = document.getElementById('timeline-legend');
    ul.replaceChildren(...legendItems.map(([cls, text]) => {
      const li = document.createElement('li');
      const swatch = document.createElement('span');
      swatch.className = `swatch ${cls}`;
      swatch.setAttribute('aria-hidden', 'true');
      li.append(swatch, text);
      return li;
    }));
  }

  function show(index) {
    const trace = model.traces[index];
    document.documentElement.dataset.trace = String(index);
    JT.header.render(trace, model.tool, model.notices);
    JT.summaryTable.render(trace);
    JT.flameGraph.build(trace);
    JT.timelineView.build(trace);
  }

  function chooser() {
    if (model.traces.length < 2) return;
    const select = document.getElementById('trace-select');
    model.traces.forEach((trace, i) => {
      const option = document.createElement('option');
      option.value = String(i);
      option.textContent = trace.label;
      select.appendChild(option);
    });
    select.addEventListener('change', () => show(Number(select.value)));
    document.getElementById('trace-choice').hidden = false;
  }

  function fail(message) {
    const main = document.querySelector('main');
    const p = document.createElement('p');
    p.className = 'load-error';
    p.setAttribute('role', 'alert');
    p.textContent = message;
    main.replaceChildren(p);
    document.documentElement.dataset.error = message;
  }

  function start() {
    JT.summaryTable.init();
    JT.flameGraph.init();
    JT.timelineView.init();
    legend();
    try {
      model = JT.model.load(JSON.parse(document.getElementById('report-data').textContent));
    } catch (error) {
      fail(error instanceof SyntaxError ? `The report data cannot be read: ${error.message}` : error.message);
      return;
    }
    if (model.traces.length === 0) {
      const shown = ((model.notices || {}).shown || []).slice(0, 5)
        .map(([, file, line, message]) => ` ${file}${line ? `:${line}` : ''}: ${message}.`);
      fail(`The report holds no trace: the reader found no trace lines in its input.${shown.join('')}`);
      return;
    }
    chooser();
    show(0);
    JT.timelineView.drawNow();
    // The frame after the first one is drawn marks the first paint.
    requestAnimationFrame(() => requestAnimationFrame(() => {
      document.documentElement.dataset.firstDraw = performance.now().toFixed(1);
    }));
  }

  start();
})(window.JT = window.JT || {});
