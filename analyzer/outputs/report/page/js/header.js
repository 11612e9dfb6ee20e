// header.js - the facts of the trace at the top of the page: program, process, time span,
// lines, threads, files, and what the reader skipped or repaired.
(function (JT) {
  const f = JT.format;
  const noticeLimit = 100;

  function fact(list, label, value, key) {
    const dt = document.createElement('dt');
    dt.textContent = label;
    const dd = document.createElement('dd');
    if (value instanceof Node) dd.appendChild(value);
    else dd.textContent = value;
    if (key) dd.dataset.fact = key;
    const pair = document.createElement('div');
    pair.append(dt, dd);
    list.append(pair);
  }

  function fileList(files) {
    const details = document.createElement('details');
    const summary = document.createElement('summary');
    summary.textContent = files.length === 1 ? files[0] : `${f.count(files.length)} files`;
    details.appendChild(summary);
    const ol = document.createElement('ol');
    for (const name of files) {
      const li = document.createElement('li');
      li.textContent = name;
      ol.appendChild(li);
    }
    details.appendChild(ol);
    return details;
  }

  // One line per kind of repair that happened; a trace read cleanly says so.
  function repairs(trace) {
    const s = trace.stats || {};
    const items = [
      ['pushesMissing', 'call whose Push line was lost', 'calls whose Push line was lost'],
      ['closedByOuterPop', 'level closed by an outer Pop', 'levels closed by an outer Pop'],
      ['popsMissing', 'level ended without its Pop line', 'levels ended without their Pop line'],
      ['leftOpen', 'routine left open at the end', 'routines left open at the end'],
      ['skippedLines', 'line skipped', 'lines skipped'],
      ['clockResyncs', 'clock resynchronisation', 'clock resynchronisations'],
    ];
    const box = document.getElementById('repairs');
    box.replaceChildren();
    const ul = document.createElement('ul');
    for (const [key, one, many] of items) {
      if (!s[key]) continue;
      const li = document.createElement('li');
      li.dataset.repair = key;
      const n = document.createElement('strong');
      n.textContent = f.count(s[key]);
      li.append(n, ` ${s[key] === 1 ? one : many}`);
      ul.appendChild(li);
    }
    const heading = document.createElement('h2');
    heading.textContent = ul.children.length ? 'What the reader repaired or skipped' : 'Read without repairs';
    box.append(heading);
    if (ul.children.length) box.append(ul);
    const notices = trace.notices || { total: 0, shown: [] };
    if (notices.total > 0) box.append(noticeList(notices));
    for (const reason of trace.wrapReasons || []) {
      const p = document.createElement('p');
      p.className = 'wrap-reason';
      p.textContent = `Wrap dump: ${reason}`;
      box.append(p);
    }
  }

  function noticeList(notices, what = 'notices') {
    const details = document.createElement('details');
    const summary = document.createElement('summary');
    const shown = notices.shown.length;
    summary.textContent = `${f.count(notices.total)} ${what}` +
      (notices.total > shown ? ` (the first ${Math.min(shown, noticeLimit)} listed)` : '');
    details.appendChild(summary);
    const ol = document.createElement('ol');
    for (const [kind, file, line, message] of notices.shown) {
      const li = document.createElement('li');
      li.textContent = `${file}${line ? `:${line}` : ''}: ${kind}: ${message}`;
      ol.appendChild(li);
    }
    details.appendChild(ol);
    return details;
  }

  // Inputs the run could not read as a trace at all.
  function runNotices(notices) {
    const box = document.getElementById('run-notices');
    box.replaceChildren();
    if (notices && notices.total > 0) box.append(noticeList(notices, 'inputs not read as a trace'));
  }

  function render(trace, tool, notices) {
    document.title = `jovtrace report: ${trace.program || trace.label}`;
    document.getElementById('report-title').textContent = `${trace.program || trace.label}`;
    const list = document.getElementById('facts');
    list.replaceChildren();
    const s = trace.stats || {};
    fact(list, 'Program', trace.program || '', 'program');
    fact(list, 'Process id', String(trace.processId), 'processId');
    if (trace.userId) fact(list, 'User', trace.userId, 'userId');
    const [from, to] = [f.clock(trace.first, 3), f.clock(trace.last, 3)];
    const span = `${from} – ${from.slice(0, 10) === to.slice(0, 10) ? to.slice(11) : to}`;
    fact(list, 'Time span', `${span} (${f.duration(trace.last - trace.first)})`, 'span');
    fact(list, 'Lines', f.count(s.lines || 0), 'lines');
    fact(list, 'Calls', f.count(s.calls || 0), 'calls');
    fact(list, 'Threads', `${f.count((trace.threads || []).length)}: ${(trace.threads || []).join(', ')}`, 'threads');
    fact(list, 'Files read', fileList(trace.files || []), 'files');
    if (trace.wrapDump) fact(list, 'Source', 'wrap-trace dump', 'source');
    if (tool) fact(list, 'Written by', tool, 'tool');
    repairs(trace);
    runNotices(notices);
  }

  JT.header = { render };
})(window.JT = window.JT || {});
