// diff_main.js - starts the comparison page: the runs compared and the rule of the verdicts
// in the header, the table, the flame graph.
(function (JT) {
  function fact(label, text) {
    const dt = document.createElement('dt');
    dt.textContent = label;
    const dd = document.createElement('dd');
    dd.textContent = text;
    return [dt, dd];
  }

  function start() {
    const data = JSON.parse(document.getElementById('report-data').textContent);
    const t = data.table;
    const s = t.settings;
    document.getElementById('facts').replaceChildren(
      ...fact('Base', data.base.join(', ')), ...fact('New', data.new.join(', ')),
      ...fact('Self time of all routines',
        `${JT.format.ms(t.self_ms.base * 1000)} → ${JT.format.ms(t.self_ms.new * 1000)} ms`
        + (t.self_ms.change_pct === null ? '' : ` (${t.self_ms.change_pct > 0 ? '+' : ''}${t.self_ms.change_pct.toFixed(1)} %)`)));
    document.getElementById('rule').textContent =
      `Slower or faster: p (${s.correction} corrected) < ${s.alpha}, the ${100 * (1 - s.alpha)} % interval of the median ratio beyond ±${s.threshold_pct} %, the median changed by more than ${s.min_us} µs; at least ${s.min_calls} calls a side.`;
    JT.diffTable.render(t);
    JT.diffFlame.init();
    JT.diffFlame.build(data.tree);
  }

  // The tests wait for data-first-draw (milliseconds since navigation) or data-error.
  try {
    start();
    requestAnimationFrame(() => {
      document.documentElement.dataset.firstDraw = String(Math.round(performance.now()));
    });
  } catch (error) {
    document.documentElement.dataset.error = String(error);
    throw error;
  }
})(window.JT = window.JT || {});
