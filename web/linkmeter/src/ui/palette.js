// Every colour that carries a meaning, once: the link-quality classes
// (docs/link-quality.md), the acceptance verdicts, the changes since the
// last visit, the chart series and the bands behind charts. The style
// sheet declares them as custom properties (style.css :root, checked
// against cssProperties() by tests/web/palette.test.mjs) and uses them by
// name; every drawing in JavaScript (charts, the map's standalone SVG)
// takes them from here.

export const PALETTE = Object.freeze({
  // Link-quality classes; `none` for a hop that did not answer.
  good: '#2e9d4f',
  fair: '#8fb43a',
  weak: '#e09b1b',
  bad: '#c8362d',
  none: '#9aa3ad',
  // The classes as text on white, darker so they can be read.
  goodText: '#1e6e36',
  fairText: '#55701f',
  weakText: '#8a5a00',
  badText: '#8a1c16',
  // Acceptance verdicts of a site and of a unit.
  pass: '#2e7d32',
  passWithWaivers: '#f9a825',
  fail: '#c62828',
  marginal: '#a66a00',
  // Changes since the last visit (the map, the comparison).
  worse: '#7a0aa8',
  better: '#1565c0',
  // The page's own accent: the header, the base unit, a level's history.
  accent: '#1f4e79',
  // The route of the unit chosen in the tree.
  route: '#d9480f',
  // What is predicted, never measured: proposed repeaters, coverage, the
  // site's fitted line.
  prediction: '#5c6bc0',
  // Chart series: channel levels, the site's own channels, a unit's
  // battery, a recording's second channel.
  level: '#7a8fa8',
  levelEdge: '#52667d',
  inUse: '#4a78c2',
  inUseEdge: '#2d4f8a',
  battery: '#b5651d',
  secondChannel: '#a0522d',
});

// The bands behind a chart: a class's colour, faint. The channel chart's
// suitability bands (quiet, noisy, busy) are the good, weak and bad ones.
const BAND_OF = Object.freeze({
  good: ['good', 0.1], fair: ['fair', 0.12], weak: ['weak', 0.14], bad: ['bad', 0.1],
  quiet: ['good', 0.12], noisy: ['weak', 0.14], busy: ['bad', 0.12],
});

function rgba(hex, alpha) {
  const n = parseInt(hex.slice(1), 16);
  return `rgba(${(n >> 16) & 255},${(n >> 8) & 255},${n & 255},${alpha})`;
}

// The fill of band `name`, or a neutral one for a band the palette lacks.
export function bandFill(name) {
  const band = BAND_OF[name];
  return band ? rgba(PALETTE[band[0]], band[1]) : 'rgba(0,0,0,0.05)';
}

const kebab = (name) => name.replace(/[A-Z]/g, (c) => '-' + c.toLowerCase());

// The custom properties style.css declares: --good, --good-text, --band-good…
export function cssProperties() {
  const out = {};
  for (const [name, value] of Object.entries(PALETTE)) out['--' + kebab(name)] = value;
  for (const name of Object.keys(BAND_OF)) out['--band-' + name] = bandFill(name);
  return out;
}
