// tooltip.js - the one floating box that the flame graph and the timeline fill on hover:
// a title and rows of label and value, kept inside the window.
(function (JT) {
  let box = null;

  function show(clientX, clientY, title, rows) {
    box = box || document.getElementById('tooltip');
    box.replaceChildren();
    const head = document.createElement('div');
    head.className = 'tooltip-title';
    head.textContent = title;
    box.appendChild(head);
    const table = document.createElement('dl');
    for (const [label, value] of rows) {
      const dt = document.createElement('dt');
      dt.textContent = label;
      const dd = document.createElement('dd');
      dd.textContent = value;
      table.append(dt, dd);
    }
    box.appendChild(table);
    box.hidden = false;
    const gap = 14;
    const w = box.offsetWidth;
    const h = box.offsetHeight;
    let x = clientX + gap;
    let y = clientY + gap;
    if (x + w > window.innerWidth - 4) x = Math.max(4, clientX - gap - w);
    if (y + h > window.innerHeight - 4) y = Math.max(4, clientY - gap - h);
    box.style.left = `${x}px`;
    box.style.top = `${y}px`;
  }

  function hide() {
    if (box) box.hidden = true;
  }

  JT.tooltip = { show, hide };
})(window.JT = window.JT || {});
