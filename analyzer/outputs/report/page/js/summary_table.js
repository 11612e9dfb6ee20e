// summary_table.js - the reader's figures per routine as a table: a click on a column head
// sorts by it (again: the other way), the filter box keeps the routines whose name holds it.
(function (JT) {
  const f = JT.format;
  // key, heading, how a cell shows its value, whether larger comes first on the first click
  const columns = [
    ['name', 'Routine', (r) => r.name, false],
    ['calls', 'Calls', (r) => f.count(r.calls), true],
    ['total', 'Total', (r) => f.ms(r.total), true],
    ['self', 'Self', (r) => f.ms(r.self), true],
    ['mean', 'Mean', (r) => f.ms(r.mean), true],
    ['median', 'Median', (r) => f.ms(r.median), true],
    ['p95', '95 %', (r) => f.ms(r.p95), true],
    ['max', 'Max', (r) => f.ms(r.max), true],
    ['errors', 'Errors', (r) => f.count(r.errors), true],
    ['topCode', 'Top code', (r) => (r.errors ? `${r.topCode} ×${f.count(r.topCodeCount)}` : ''), true],
  ];

  // Rows drawn at most; the filter reaches the rest. Keeps a trace of many thousand
  // routines quick to open and to sort.
  const kMaxRows = 5000;
  let rows = [];
  let sortKey = 'total';
  let descending = true;
  let filter = '';

  function compare(a, b) {
    const x = a[sortKey];
    const y = b[sortKey];
    let c;
    if (typeof x === 'string') c = x.localeCompare(y);
    else c = x - y;
    if (descending) c = -c;
    return c || a.name.localeCompare(b.name);
  }

  function renderHead() {
    const tr = document.querySelector('#summary-table thead tr');
    tr.replaceChildren();
    for (const [key, heading] of columns) {
      const th = document.createElement('th');
      th.scope = 'col';
      th.dataset.key = key;
      if (key !== 'name') th.className = 'num';
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = heading;
      button.addEventListener('click', () => sortBy(key));
      th.appendChild(button);
      th.setAttribute('aria-sort', key === sortKey ? (descending ? 'descending' : 'ascending') : 'none');
      tr.appendChild(th);
    }
  }

  function renderBody() {
    const body = document.querySelector('#summary-table tbody');
    const needle = filter.toLowerCase();
    const shown = rows.filter((r) => r.name.toLowerCase().includes(needle)).sort(compare);
    const fragment = document.createDocumentFragment();
    for (const r of shown.slice(0, kMaxRows)) {
      const tr = document.createElement('tr');
      if (r.errors) tr.className = 'has-errors';
      for (const [key, , show] of columns) {
        const td = document.createElement(key === 'name' ? 'th' : 'td');
        if (key === 'name') td.scope = 'row';
        else td.className = 'num';
        td.dataset.key = key;
        td.dataset.value = key === 'topCode' && !r.errors ? '' : String(r[key]);
        td.textContent = show(r);
        tr.appendChild(td);
      }
      fragment.appendChild(tr);
    }
    body.replaceChildren(fragment);
    const noun = rows.length === 1 ? 'routine' : 'routines';
    let status = shown.length === rows.length ? `${f.count(rows.length)} ${noun}`
      : `${f.count(shown.length)} of ${f.count(rows.length)} ${noun}`;
    status += ', times in ms';
    if (shown.length > kMaxRows) status += `, the first ${f.count(kMaxRows)} listed`;
    document.getElementById('summary-count').textContent = status;
  }

  function sortBy(key) {
    if (key === sortKey) descending = !descending;
    else {
      sortKey = key;
      descending = columns.find((c) => c[0] === key)[3];
    }
    renderHead();
    renderBody();
  }

  function render(trace) {
    rows = trace.summaryRows;
    renderHead();
    renderBody();
  }

  function init() {
    const input = document.getElementById('summary-filter');
    input.addEventListener('input', () => {
      filter = input.value;
      renderBody();
    });
  }

  JT.summaryTable = { init, render };
})(window.JT = window.JT || {});
