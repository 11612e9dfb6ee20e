// diff_table.js - the comparison's table as `jovtrace diff` writes it: regressions first,
// each row with its verdict, the figures of both sides and the interval of the median ratio.
(function (JT) {
  const f = JT.format;

  function change(figure) {
    return figure.change_pct === null ? '-' : `${figure.change_pct > 0 ? '+' : ''}${figure.change_pct.toFixed(1)} %`;
  }

  function interval(row) {
    if (!row.median_ratio) return '-';
    const pct = (r) => `${r >= 1 ? '+' : ''}${(100 * (r - 1)).toFixed(1)} %`;
    return `${pct(row.median_ratio.low)} .. ${pct(row.median_ratio.high)}`;
  }

  function render(table) {
    const head = document.querySelector('#diff-table thead tr');
    const columns = ['Routine', 'Verdict', 'Calls', 'Self ms', 'Self', 'Median ms', 'Median', 'Interval', 'p'];
    head.replaceChildren(...columns.map((text) => {
      const th = document.createElement('th');
      th.textContent = text;
      return th;
    }));
    const body = document.querySelector('#diff-table tbody');
    body.replaceChildren(...table.routines.map((row) => {
      const tr = document.createElement('tr');
      tr.dataset.routine = row.routine;
      tr.dataset.verdict = row.verdict;
      const fig = row.figures;
      const cells = [
        [row.base_routine ? `${row.routine} (was ${row.base_routine})` : row.routine, ''],
        [row.verdict, 'verdict'],
        [`${f.count(fig.calls.base)} → ${f.count(fig.calls.new)}`, 'num'],
        [`${fig.self_ms.base.toFixed(3)} → ${fig.self_ms.new.toFixed(3)}`, 'num'],
        [change(fig.self_ms), 'num'],
        [`${fig.median_ms.base.toFixed(3)} → ${fig.median_ms.new.toFixed(3)}`, 'num'],
        [change(fig.median_ms), 'num'],
        [interval(row), 'num'],
        [row.p_corrected === null ? '-' : String(row.p_corrected), 'num'],
      ];
      tr.replaceChildren(...cells.map(([text, cls]) => {
        const td = document.createElement('td');
        td.textContent = text;
        if (cls) td.className = cls;
        return td;
      }));
      return tr;
    }));
    const v = table.verdicts;
    document.getElementById('table-count').textContent =
      `${v.slower} slower, ${v.faster} faster, ${v.unchanged} unchanged, ${v['too few calls']} with too few calls, ${v.added} added, ${v.removed} removed`;
  }

  JT.diffTable = { render };
})(window.JT = window.JT || {});
