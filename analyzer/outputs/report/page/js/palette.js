// palette.js - colours of routines and marks. The hues are the Okabe-Ito set, chosen to stay
// apart for the common colour-vision deficiencies; meaning never rests on hue alone (errors
// carry a mark and a hatch, search matches a dark fill and the others are faded).
(function (JT) {
  // Light tints of orange, sky blue, bluish green, yellow, blue and reddish purple, so that
  // dark text on them keeps a contrast above 7:1. Vermillion is kept for errors.
  const tints = [
    ['#f5d080', '#f9e2b0', '#eebf52'],
    ['#a6d6f3', '#cbe7f8', '#86c7ee'],
    ['#80cfb9', '#b3e2d5', '#5cc2a6'],
    ['#f7f2a1', '#faf7c6', '#f3ec7a'],
    ['#80b9d9', '#b3d5e8', '#5ca5cd'],
    ['#e6bcd3', '#f0d7e5', '#dca3c2'],
  ];
  const cache = new Map();

  function hash(text) {
    let h = 2166136261;
    for (let i = 0; i < text.length; i += 1) {
      h ^= text.charCodeAt(i);
      h = Math.imul(h, 16777619);
    }
    return h >>> 0;
  }

  // A routine's colour: its class picks the hue, the routine one of three tints, so the
  // routines of one class stay together in the flame graph.
  function routine(name) {
    let colour = cache.get(name);
    if (colour === undefined) {
      const dot = name.indexOf('.');
      const cls = dot > 0 ? name.slice(0, dot) : name;
      const hue = tints[hash(cls) % tints.length];
      colour = hue[hash(name) % hue.length];
      cache.set(name, colour);
    }
    return colour;
  }

  JT.palette = {
    routine,
    text: '#1a1a1a',
    unknown: '#d9d9d9',
    other: '#ececec',
    error: '#d55e00',      // vermillion: the error mark's fill
    errorEdge: '#000000',
    errorBar: '#6b2f00',   // dark vermillion: bins holding calls with non-zero codes
    match: '#1d3f8a',      // dark blue fill of search matches, white text on it
    matchText: '#ffffff',
    counter: ['#0072b2', '#d55e00', '#009e73', '#cc79a7'],
    grid: '#d0d0d0',
    textMark: '#333333',   // the marks of a thread's texts
    axisText: '#333333',
  };
})(window.JT = window.JT || {});
