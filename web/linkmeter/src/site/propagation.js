// The site's own propagation: the median level of every measured hop whose
// two ends stand on one scaled plan, against the log of the hop's length,
// fitted by least squares (level = intercept + slope · log10 metres). The
// spread comes from what the fit leaves unexplained, so a prediction says
// how far to trust it. A first-order model: it knows distance and nothing
// of walls, terrain or antennas, which is why a hop far below the line is
// taken as obstructed rather than used to bend the line. Pure logic.

// Fewer hops than this, or hops all about as long, give no usable fit.
export const MIN_HOPS = 4;
const MIN_LOG_SPAN = 0.3; // log10 units: the longest hop at least twice the shortest
// A hop this many spreads below the first line is set aside as obstructed
// and the line fitted again without it (once).
const OUTLIER_SPREADS = 3;
// The spread never reads below this: levels are whole numbers and a few
// hops may happen to lie on a line.
const SPREAD_FLOOR = 3;
// Hops shorter than this are taken as this long (the antennas' near field).
export const NEAR_METRES = 10;

const log10m = (metres) => Math.log10(Math.max(metres, NEAR_METRES));
const round1 = (v) => Math.round(v * 10) / 10;

function line(samples) {
  const n = samples.length;
  const xbar = samples.reduce((s, p) => s + p.x, 0) / n;
  const ybar = samples.reduce((s, p) => s + p.level, 0) / n;
  const sxx = samples.reduce((s, p) => s + (p.x - xbar) ** 2, 0);
  const sxy = samples.reduce((s, p) => s + (p.x - xbar) * (p.level - ybar), 0);
  const slope = sxx > 0 ? sxy / sxx : 0;
  const intercept = ybar - slope * xbar;
  const rss = samples.reduce((s, p) => s + (p.level - intercept - slope * p.x) ** 2, 0);
  const sigma = n > 2 ? Math.sqrt(rss / (n - 2)) : Infinity;
  return { n, xbar, sxx, slope, intercept, sigma };
}

const residual = (fit, p) => p.level - (fit.intercept + fit.slope * p.x);

// samples: [{key, metres, level, from, to}] (level the hop's median). →
// {usable, problem ('tooFew' | 'tooShortSpan' | 'rising' | null), hops
// (used), set aside ([key] of hops far below the line), n, intercept, slope,
// sigma, xbar, sxx}. A line whose level rises with distance is no model of
// radio and is not used.
export function fitPropagation(samples) {
  const all = (samples || []).filter((s) => s.metres > 0 && Number.isFinite(s.level)).map((s) => ({ ...s, x: log10m(s.metres) }));
  const base = { usable: false, problem: null, hops: all, setAside: [], n: all.length, intercept: null, slope: null, sigma: null, xbar: null, sxx: null };
  if (all.length < MIN_HOPS) return { ...base, problem: 'tooFew' };
  const xs = all.map((p) => p.x);
  if (Math.max(...xs) - Math.min(...xs) < MIN_LOG_SPAN) return { ...base, problem: 'tooShortSpan' };
  let fit = line(all);
  const floor = Math.max(fit.sigma, SPREAD_FLOOR);
  const kept = all.filter((p) => residual(fit, p) > -OUTLIER_SPREADS * floor);
  const setAside = all.filter((p) => !kept.includes(p)).map((p) => p.key);
  if (setAside.length && kept.length >= MIN_HOPS) fit = line(kept);
  const used = setAside.length && kept.length >= MIN_HOPS ? kept : all;
  if (!(fit.slope < 0)) return { ...base, problem: 'rising', hops: used, slope: fit.slope, intercept: fit.intercept };
  return { usable: true, problem: null, hops: used, setAside: used === all ? [] : setAside, ...fit, sigma: Math.max(fit.sigma, SPREAD_FLOOR) };
}

// The level the fit predicts over `metres`, with its spread: twice the
// standard error of a new hop, so about 19 hops in 20 like the measured
// ones land within level ± spread. {level, spread, metres} or null.
export function predictLevel(fit, metres) {
  if (!fit || !fit.usable || !(metres > 0)) return null;
  const x = log10m(metres);
  const se = fit.sigma * Math.sqrt(1 + 1 / fit.n + (x - fit.xbar) ** 2 / fit.sxx);
  return { level: round1(fit.intercept + fit.slope * x), spread: round1(2 * se), metres: round1(metres) };
}

// The longest hop over which the fit still predicts `level` (metres), or
// null when the fit is not usable.
export function reachFor(fit, level) {
  if (!fit || !fit.usable) return null;
  return 10 ** ((level - fit.intercept) / fit.slope);
}

// The fit as plain figures for a result or the JSON: slope per decade of
// distance, intercept, spread (2 σ of one hop) and the hops behind it.
export function fitSummary(fit) {
  if (!fit) return null;
  const used = (fit.hops || []).map((p) => ({ key: p.key, from: p.from || '', to: p.to || '', metres: round1(p.metres), level: p.level }));
  if (!fit.usable) return { usable: false, problem: fit.problem, n: fit.n, hops: used, setAside: fit.setAside || [] };
  return { usable: true, problem: null, n: fit.n, slope: round1(fit.slope), intercept: round1(fit.intercept), spread: round1(2 * fit.sigma), hops: used, setAside: fit.setAside };
}

// A fit summary (fitSummary) as a chart's columns: the hops' lengths with
// their levels, and the line with its spread from the shortest hop to the
// longest, on the same x. Null for a fit that is not usable.
export function fitChartData(summary) {
  if (!summary || !summary.usable || !summary.hops.length) return null;
  const spread = summary.spread;
  const at = (m) => summary.intercept + summary.slope * Math.log10(Math.max(m, NEAR_METRES));
  const hops = [...summary.hops].sort((a, b) => a.metres - b.metres);
  const x = hops.map((h) => Math.max(h.metres, NEAR_METRES));
  const line = x.map((m) => round1(at(m)));
  return { x, hops: hops.map((h) => h.level), line, upper: line.map((v) => round1(v + spread)), lower: line.map((v) => round1(v - spread)) };
}
