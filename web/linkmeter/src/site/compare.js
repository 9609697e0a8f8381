// Two site surveys of one site compared hop by hop: has a link got worse
// since the last visit, and how did each unit's battery move? Pure logic,
// shared by the history view and the report.
//
// A hop is the link between two units on a route (the base unit or a
// repeater, and the next unit). Many routes share their first hops; a hop
// is judged by the one rule for a hop heard on several routes (hopmerge.js):
// its level is the median of every probe of every route through it. Hops
// are keyed by the serials of their two ends, so a renumbered registration
// still lines up with the last visit.
import { DEFAULT_THRESHOLDS, levelClass } from './thresholds.js';
import { median } from './linkstats.js';
import { mergeHops, serialKey } from './hopmerge.js';

export { serialKey };

// A fall of more than this many level steps makes a hop worse, whatever its
// class. About half of the narrowest default class, so ordinary day-to-day
// spread does not flag every hop.
export const DEFAULT_WORSE_BY = 10;
export const WORSE_BY_KEY = 'linkmeter.compare.worseBy';
export const WORSE_BY_MAX = 255;

export const worseByProblem = (v) => (Number.isInteger(v) && v >= 1 && v <= WORSE_BY_MAX ? null : 'range');

// The level fall the technician set, or the default when none was saved or
// what was saved cannot be used.
export function loadWorseBy(storage) {
  let text = null;
  try {
    text = storage ? storage.getItem(WORSE_BY_KEY) : null;
  } catch (e) {
    text = null;
  }
  const v = text === null ? NaN : Number(text);
  return worseByProblem(v) ? DEFAULT_WORSE_BY : v;
}

export function saveWorseBy(storage, v) {
  if (worseByProblem(v)) throw new Error('worseBy: range');
  storage.setItem(WORSE_BY_KEY, String(v));
  return v;
}

const CLASS_RANK = { good: 0, fair: 1, weak: 2, bad: 3, none: 4 };
const finite = (v) => typeof v === 'number' && Number.isFinite(v);

const side = ({ id, serial, label }) => ({ id, serial, label });

// Every hop a survey measured: key → {key, from, to, stats, battery,
// order}, in route order.
function collectHops(survey) {
  const hops = new Map();
  mergeHops(survey && survey.results, { base: survey && survey.prov && survey.prov.base }).forEach((h, order) => {
    hops.set(h.key, { key: h.key, from: side(h.from), to: side(h.to), stats: h.stats, battery: h.stats.batteryLast, order });
  });
  return hops;
}

// The median level of a hop, or null when it never answered.
const hopLevel = (entry) => median(entry.stats);

const label = (e) => `${e.from.label} → ${e.to.label}`;

// Whether a hop got worse: it fell silent, fell by more than worseBy, or it
// dropped into a problem class (weak or bad). A small dip from good to fair
// is ordinary day-to-day fading, not worth a highlight.
function isWorse(before, after, worseBy, thBefore, thAfter) {
  if (before === null) return false;
  if (after === null) return true;
  if (before - after > worseBy) return true;
  const rankAfter = CLASS_RANK[levelClass(after, thAfter)];
  return rankAfter >= CLASS_RANK.weak && rankAfter > CLASS_RANK[levelClass(before, thBefore)];
}

// thBefore, thAfter: the boundaries each survey is judged by.
function compareHop(b, a, worseBy, thBefore, thAfter) {
  const before = hopLevel(b);
  const after = hopLevel(a);
  return {
    key: a.key, label: label(a), from: a.from, to: a.to, before, after,
    change: before !== null && after !== null ? after - before : null,
    classBefore: levelClass(before, thBefore), classAfter: levelClass(after, thAfter),
    worse: isWorse(before, after, worseBy, thBefore, thAfter), order: a.order,
  };
}

// Worse hops first, the ones that went silent leading them, then by how far
// they fell; hops without a change to show (silent both times) last; ties in
// the current survey's route order.
const fall = (x) => (x.change === null ? Infinity : x.change);
const wentSilent = (x) => x.before !== null && x.after === null;
function byConcern(x, y) {
  if (x.worse !== y.worse) return x.worse ? -1 : 1;
  if (wentSilent(x) !== wentSilent(y)) return wentSilent(x) ? -1 : 1;
  const cx = fall(x);
  const cy = fall(y);
  if (cx !== cy) return cx < cy ? -1 : 1;
  return x.order - y.order;
}

// Every hop one survey measured, in route order: {key, from, to, level
// (median, null when it never answered), asked, lost, battery}.
export function surveyHops(survey) {
  return [...collectHops(survey).values()].map((e) => ({
    key: e.key, from: e.from, to: e.to, level: hopLevel(e), asked: e.stats.asked, lost: e.stats.asked - e.stats.answered, battery: e.battery,
  }));
}

const oneSide = (e) => ({ key: e.key, label: label(e), from: e.from, to: e.to, level: hopLevel(e) });

// One row per unit at the far end of a hop in either survey.
function compareUnits(before, after) {
  const units = new Map();
  const add = (side, entry) => {
    const id = entry.to.id;
    const u = units.get(id) || { serial: entry.to.serial, label: entry.to.label, levelBefore: null, levelAfter: null, batteryBefore: null, batteryAfter: null };
    u[`level${side}`] = hopLevel(entry);
    u[`battery${side}`] = entry.battery;
    if (side === 'After' && entry.to.label) u.label = entry.to.label;
    units.set(id, u);
  };
  for (const e of before.values()) add('Before', e);
  for (const e of after.values()) add('After', e);
  return [...units.values()].map((u) => ({
    ...u,
    batteryChange: finite(u.batteryBefore) && finite(u.batteryAfter) ? u.batteryAfter - u.batteryBefore : null,
  }));
}

// previous, current: site surveys as the page keeps them ({prov, results}).
// Returns {hops, units, onlyBefore, onlyAfter, worseBy}: hops measured in
// both (worse first), each unit's level and battery on both sides, and hops
// only one survey went through. Each side's classes are judged by
// `thresholdsBefore` / `thresholdsAfter` (the ones in force when it was
// taken), else by `thresholds`.
export function compareSiteSurveys(previous, current, { worseBy = DEFAULT_WORSE_BY, thresholds = DEFAULT_THRESHOLDS, thresholdsBefore = thresholds, thresholdsAfter = thresholds } = {}) {
  if (worseByProblem(worseBy)) throw new RangeError('worseBy must be a whole number from 1 to 255');
  const before = collectHops(previous);
  const after = collectHops(current);
  const hops = [];
  const onlyAfter = [];
  for (const a of after.values()) {
    const b = before.get(a.key);
    if (b) hops.push(compareHop(b, a, worseBy, thresholdsBefore, thresholdsAfter));
    else onlyAfter.push(oneSide(a));
  }
  const onlyBefore = [...before.values()].filter((b) => !after.has(b.key)).map(oneSide);
  hops.sort(byConcern);
  return { hops: hops.map(({ order, ...h }) => h), units: compareUnits(before, after), onlyBefore, onlyAfter, worseBy };
}
