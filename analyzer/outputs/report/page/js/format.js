// format.js - how the page writes counts, durations, byte counts, shares and clock times.
// Durations in the tables stay in one unit (ms with µs digits) so columns compare at a glance.
(function (JT) {
  const grouping = new Intl.NumberFormat('en-US');

  function count(n) {
    return grouping.format(n);
  }

  // Microseconds as milliseconds with three decimals: "12,345.678", rounded as the reader's
  // own text output rounds the same value.
  function ms(us) {
    const [whole, frac] = (us / 1000).toFixed(3).split('.');
    const sign = whole.startsWith('-') ? '-' : '';
    return `${sign}${grouping.format(Math.abs(Number(whole)))}.${frac}`;
  }

  // A duration in the unit that suits it: "850 µs", "12.345 ms", "3.210 s", "2 min 5.0 s".
  function duration(us) {
    const a = Math.abs(us);
    if (a < 1000) return `${Math.round(us)} µs`;
    if (a < 1e6) return `${(us / 1000).toFixed(3)} ms`;
    if (a < 60e6) return `${(us / 1e6).toFixed(3)} s`;
    const sign = us < 0 ? '-' : '';
    if (a < 3600e6) {
      const min = Math.floor(a / 60e6);
      return `${sign}${min} min ${((a - min * 60e6) / 1e6).toFixed(1)} s`;
    }
    const h = Math.floor(a / 3600e6);
    return `${sign}${h} h ${Math.floor((a - h * 3600e6) / 60e6)} min`;
  }

  function bytes(n) {
    const units = ['bytes', 'KiB', 'MiB', 'GiB', 'TiB'];
    let v = n;
    let u = 0;
    while (Math.abs(v) >= 1024 && u < units.length - 1) {
      v /= 1024;
      u += 1;
    }
    return u === 0 ? `${count(n)} bytes` : `${v.toFixed(v >= 100 ? 0 : 1)} ${units[u]}`;
  }

  function percent(part, whole) {
    if (!(whole > 0)) return '0 %';
    const p = (100 * part) / whole;
    return `${p >= 10 ? p.toFixed(1) : p.toFixed(2)} %`;
  }

  // The writer's local clock (µs since 1970, no time zone) as it stands:
  // "2026-12-03 22:15:30.004123". UTC getters keep the browser's zone out of it.
  function clock(us, digits = 6) {
    const whole = Math.floor(us / 1e6);
    const frac = us - whole * 1e6;
    const d = new Date(whole * 1000);
    const two = (v) => String(v).padStart(2, '0');
    const day = `${d.getUTCFullYear()}-${two(d.getUTCMonth() + 1)}-${two(d.getUTCDate())}`;
    const time = `${two(d.getUTCHours())}:${two(d.getUTCMinutes())}:${two(d.getUTCSeconds())}`;
    const sub = digits > 0 ? '.' + String(Math.round(frac)).padStart(6, '0').slice(0, digits) : '';
    return `${day} ${time}${sub}`;
  }

  // A relative time on an axis, in the unit of the larger of the time and the step, with
  // the decimals the step needs: "+29.9985 s", "+12.5 ms", "+40 µs".
  function offset(us, stepUs) {
    const a = Math.max(Math.abs(us), Math.abs(stepUs));
    const [unit, name] = a >= 1e6 ? [1e6, 's'] : a >= 1e3 ? [1e3, 'ms'] : [1, 'µs'];
    const decimals = Math.min(6, Math.max(0, Math.ceil(-Math.log10(stepUs / unit) - 1e-9)));
    return `${(us / unit).toFixed(decimals)} ${name}`;
  }

  JT.format = { count, ms, duration, bytes, percent, clock, offset };
})(window.JT = window.JT || {});
