// Statistics of the probes of one hop, and the one rule that turns them into
// a verdict. Every view and export judges hops and routes here;
// docs/link-quality.md gives the rule and its reasoning.
//
// Memory stays bounded however long a repeat survey runs: the levels are
// counted in a 256-bin histogram (levels are 0..255), which gives an exact
// median over every probe; nothing else grows with the number of probes.
import { DEFAULT_THRESHOLDS, levelClass } from './thresholds.js';
import { DEFAULT_PROBES } from './probedefaults.js';

const BINS = 256;

export function emptyStats() {
  return {
    asked: 0, answered: 0, min: null, max: null, last: null, bins: new Uint32Array(BINS),
    batteryFirst: null, batteryFirstAt: null, batteryLast: null, batteryLastAt: null,
  };
}

const clampLevel = (v) => Math.max(0, Math.min(BINS - 1, Math.round(v)));
const finite = (v) => typeof v === 'number' && Number.isFinite(v);

// The stats with one more probe: `reading` {level, battery} when the hop
// answered, null when it did not; `when` in ms. Returns a new object.
export function addProbe(stats, reading, when = Date.now()) {
  const s = { ...stats, asked: stats.asked + 1 };
  if (!reading || !finite(reading.level)) return s;
  const level = clampLevel(reading.level);
  s.answered = stats.answered + 1;
  s.min = stats.min === null ? level : Math.min(stats.min, level);
  s.max = stats.max === null ? level : Math.max(stats.max, level);
  s.last = level;
  s.bins = Uint32Array.from(stats.bins);
  s.bins[level] += 1;
  if (finite(reading.battery)) {
    if (stats.batteryFirst === null) {
      s.batteryFirst = reading.battery;
      s.batteryFirstAt = when;
    }
    s.batteryLast = reading.battery;
    s.batteryLastAt = when;
  }
  return s;
}

// The k-th smallest level answered (0-based).
function nth(bins, k) {
  let seen = 0;
  for (let v = 0; v < BINS; v++) {
    seen += bins[v];
    if (seen > k) return v;
  }
  return null;
}

// The median level of every answer (the mean of the two middle ones for an
// even count), or null before any answer.
export function median(stats) {
  const n = stats.answered;
  if (!n) return null;
  const lo = nth(stats.bins, Math.floor((n - 1) / 2));
  const hi = nth(stats.bins, Math.floor(n / 2));
  return (lo + hi) / 2;
}

export const successRate = (stats) => (stats.asked ? stats.answered / stats.asked : null);

// How the battery moved over the probes: {delta, perHour, direction}
// ('falling', 'steady', 'rising'); perHour only over an hour's tenth or more,
// where a one-step change means something.
export function batteryTrend(stats) {
  if (stats.batteryLast === null) return { delta: null, perHour: null, direction: 'none' };
  const delta = stats.batteryLast - stats.batteryFirst;
  const hours = (stats.batteryLastAt - stats.batteryFirstAt) / 3.6e6;
  const perHour = hours >= 0.1 ? delta / hours : null;
  const direction = delta < 0 ? 'falling' : delta > 0 ? 'rising' : 'steady';
  return { delta, perHour, direction };
}

// With n probes all answered, the loss rate that is still 95 % plausible:
// 1 − 0.05^(1/n), about 3/n. Null before any probe or after a loss (then
// the loss seen is the measure).
export function lossBound(stats) {
  if (!stats.asked || stats.answered < stats.asked) return null;
  return 1 - Math.pow(0.05, 1 / stats.asked);
}

// Verdicts from best to worst; 'none' is a hop never probed.
export const VERDICTS = ['good', 'fair', 'weak', 'bad', 'silent'];
const rank = (v) => VERDICTS.indexOf(v);
export const worse = (a, b) => (rank(a) >= rank(b) ? a : b);

// Losing more than this share of probes makes a hop bad.
export const BAD_LOSS = 0.2;

// The verdict of one hop under boundaries `th`:
// - no answer to any probe: silent;
// - otherwise the class of the median level (one lucky or unlucky probe
//   does not decide);
// - a minimum below the weak boundary (the link dropped out of its margin
//   at least once) or any lost probe makes it weak at best;
// - more than BAD_LOSS of the probes lost makes it bad.
export function hopVerdict(stats, th = DEFAULT_THRESHOLDS) {
  if (!stats || !stats.asked) return 'none';
  if (!stats.answered) return 'silent';
  let v = levelClass(median(stats), th);
  if (stats.min < th.level.weak || stats.answered < stats.asked) v = worse(v, 'weak');
  if ((stats.asked - stats.answered) / stats.asked > BAD_LOSS) v = 'bad';
  return v;
}

// A verdict on fewer probes than a standard survey sends says little about
// reliability (one probe leaves up to 95 % loss plausible): it is shown as
// a quick check, never as a plain verdict.
export function isQuickCheck(asked) {
  return asked > 0 && asked < DEFAULT_PROBES;
}

// The verdict of a route: its worst hop; a route whose far unit never
// answered is silent whatever the hops before it did.
export function routeVerdict(hopStats, th = DEFAULT_THRESHOLDS) {
  if (!hopStats.length || hopStats.every((s) => !s || !s.asked)) return 'none';
  const far = hopStats[hopStats.length - 1];
  if (!far || !far.answered) return 'silent';
  return hopStats.map((s) => hopVerdict(s, th)).reduce(worse, 'good');
}

// The numbers a hop shows and exports: {asked, answered, rate, min, median,
// max, last, battery, trend, lossBound, quick (a quick check's figures)}.
export function hopFigures(stats) {
  return {
    asked: stats.asked, answered: stats.answered, rate: successRate(stats),
    min: stats.min, median: median(stats), max: stats.max, last: stats.last,
    battery: stats.batteryLast, trend: batteryTrend(stats), lossBound: lossBound(stats), quick: isQuickCheck(stats.asked),
  };
}
