// Two site surveys of one site compared hop by hop: has a link got worse
// since the last visit, and how did each unit's battery move? Pure logic,
// shared by the history view and the report.
//
// A hop is the link between two units on a route (the base unit or a
// repeater, and the next unit). Many routes share their first hops, so a
// hop's level is the median of every probe of every route through it
// (levels merged exactly when the results keep their statistics). Hops are
// keyed by the serials of their two ends, so a renumbered registration still
// lines up with the last visit.
import { DEFAULT_THRESHOLDS, levelClass } from './thresholds.js';
import { emptyStats, median } from './linkstats.js';
import { serialNumber } from '../device/route.js';

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

// A serial as one spelling (upper-case hex without leading zeros), whether
// it came as page text or as the store's number.
export function serialKey(serial) {
  if (typeof serial === 'number' && Number.isInteger(serial)) return (serial >>> 0).toString(16).toUpperCase();
  const n = serialNumber(String(serial || '').trim());
  return n === null ? String(serial || '') : n.toString(16).toUpperCase();
}

function endOf(hop, groupIndex) {
  const id = hop.serial ? serialKey(hop.serial) : `${groupIndex}:${hop.kind}${hop.num}`;
  return { id, serial: hop.serial ? serialKey(hop.serial) : '', label: hop.label || '' };
}

// Every hop of a survey's results: key → {key, from, to, levels, stats,
// battery, order}. A hop's levels and statistics gather every route through it.
function collectHops(survey) {
  const base = survey && survey.prov && survey.prov.base;
  const baseEnd = { id: 'base', serial: base && base.serial ? serialKey(base.serial) : '', label: (base && (base.name || base.serial)) || '' };
  const hops = new Map();
  for (const r of (survey && survey.results) || []) {
    // A survey that could not be sent measured nothing, not silence.
    if (r.status === 'failed' || r.status === 'cancelled') continue;
    const g = r.group ? r.group.index : 0;
    (r.hops || []).forEach((hop, i) => {
      const from = i === 0 ? baseEnd : endOf(r.hops[i - 1], g);
      const to = endOf(hop, g);
      const key = `${from.id}>${to.id}`;
      let entry = hops.get(key);
      if (!entry) {
        entry = { key, from, to, levels: [], stats: null, statsOnly: true, battery: null, measured: false, asked: 0, answered: 0, order: hops.size };
        hops.set(key, entry);
      }
      addHop(entry, hop);
    });
  }
  // A hop no probe reached (a survey cut short before it) was not measured:
  // it is missing from that side, not silent.
  for (const [key, entry] of hops) if (!entry.measured) hops.delete(key);
  return hops;
}

function addHop(entry, hop) {
  const st = hop.stats;
  if ((st && st.asked > 0) || hop.reading !== undefined) entry.measured = true;
  if (st && st.bins) {
    entry.asked += st.asked;
    entry.answered += st.answered;
    const merged = entry.stats || emptyStats();
    const bins = Uint32Array.from(merged.bins);
    for (let v = 0; v < bins.length; v++) bins[v] += st.bins[v] || 0;
    entry.stats = { ...merged, asked: merged.asked + st.asked, answered: merged.answered + st.answered, bins };
    if (finite(st.batteryLast)) entry.battery = st.batteryLast;
    return;
  }
  entry.statsOnly = false;
  if (hop.reading !== undefined) entry.asked += 1;
  if (hop.reading && finite(hop.reading.level)) {
    entry.answered += 1;
    entry.levels.push(hop.reading.level);
    if (finite(hop.reading.battery)) entry.battery = hop.reading.battery;
  }
}

function middle(values) {
  if (!values.length) return null;
  const s = [...values].sort((a, b) => a - b);
  const m = Math.floor(s.length / 2);
  return s.length % 2 ? s[m] : (s[m - 1] + s[m]) / 2;
}

// The median level of a hop, or null when it never answered.
function hopLevel(entry) {
  if (entry.statsOnly && entry.stats) return median(entry.stats);
  const levels = entry.levels.slice();
  if (entry.stats && entry.stats.answered) levels.push(median(entry.stats));
  return middle(levels);
}

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
    key: e.key, from: e.from, to: e.to, level: hopLevel(e), asked: e.asked, lost: e.asked - e.answered, battery: e.battery,
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
