// The links a plan shows: one per registered hop (a repeater or remote unit
// and the unit it hangs from) whose ends are placed, styled from the last
// survey. The colour is the class of the hop's median under the thresholds
// in force — the same fixed bands on every plan, never stretched to what one
// plan holds; the width follows the median level on one fixed scale; a hop
// the survey did not measure is dashed, one that never answered is silent;
// lost probes give a badge. Pure logic, no DOM.
import { levelClass, batteryClass, DEFAULT_THRESHOLDS } from './thresholds.js';
import { batteryLow } from './quality.js';
import { surveyHops } from './compare.js';

const LEVEL_MAX = 255;
export const MIN_WIDTH = 1.5;
export const MAX_WIDTH = 7;

// Stroke width of a hop of median `level`: thin for a level near 0, thick
// near the top of the scale; a hop without a level gets the thinnest line.
export function linkWidth(level) {
  if (typeof level !== 'number' || !Number.isFinite(level)) return MIN_WIDTH;
  const share = Math.max(0, Math.min(1, level / LEVEL_MAX));
  return Math.round((MIN_WIDTH + share * (MAX_WIDTH - MIN_WIDTH)) * 10) / 10;
}

// The style of one hop from its survey figures (surveyHops' entry, or
// undefined when the survey did not reach it): {cls, width, dashed, lost,
// level}. cls is a level class, 'silent' or 'none' (not measured).
export function linkStyle(measure, th = DEFAULT_THRESHOLDS) {
  if (!measure) return { cls: 'none', width: MIN_WIDTH, dashed: true, lost: 0, level: null };
  if (measure.level === null) return { cls: 'silent', width: MIN_WIDTH, dashed: true, lost: measure.lost, level: null };
  return { cls: levelClass(measure.level, th), width: linkWidth(measure.level), dashed: false, lost: measure.lost, level: measure.level };
}

// The hops of the registration, each {key, from, to} keyed as the
// comparison of surveys keys them ('base' for the base unit), so a survey's
// figures line up with them.
export function registeredHops(units) {
  const repeaters = new Map(units.filter((u) => u.kind === 'repeater').map((u) => [`${u.group}:${u.num}`, u]));
  const base = units.find((u) => u.kind === 'base');
  const hops = [];
  for (const u of units) {
    if (u.kind === 'base') continue;
    const parent = u.parent ? repeaters.get(`${u.group}:${u.parent}`) : null;
    if (u.parent && !parent) continue; // hangs from a repeater the registration lacks
    if (parent) hops.push({ key: `${parent.key}>${u.key}`, from: parent.key, to: u.key });
    else hops.push({ key: `base>${u.key}`, from: base ? base.key : 'base', to: u.key });
  }
  return hops;
}

// What a survey measured, by hop key.
export const surveyMeasures = (survey) => new Map(survey ? surveyHops(survey).map((m) => [m.key, m]) : []);

// Metres per plan pixel from a scale line {x1, y1, x2, y2, metres}, or null.
export function metresPerPixel(scale) {
  if (!scale || !(scale.metres > 0)) return null;
  const px = Math.hypot(scale.x2 - scale.x1, scale.y2 - scale.y1);
  return px > 0 ? scale.metres / px : null;
}

// A scale line shorter than this share of the plan's larger side gives
// distances too rough to trust (a scale set on a doorway).
export const SHORT_SCALE_SHARE = 0.1;

export function scaleWarning(scale, plan) {
  if (!scale || !plan) return null;
  const px = Math.hypot(scale.x2 - scale.x1, scale.y2 - scale.y1);
  return px < SHORT_SCALE_SHARE * Math.max(plan.width, plan.height) ? 'short' : null;
}

// The nearest point of the plan's edge to (x, y): where a link to a unit on
// another plan ends.
export function edgePoint(x, y, plan) {
  const d = [[x, 'left'], [plan.width - x, 'right'], [y, 'top'], [plan.height - y, 'bottom']].sort((a, b) => a[0] - b[0])[0][1];
  if (d === 'left') return { x: 0, y };
  if (d === 'right') return { x: plan.width, y };
  return d === 'top' ? { x, y: 0 } : { x, y: plan.height };
}

// The links plan `plan` ({id, width, height, scale}) shows. `positions`
// from positionsAt, `measures` from surveyMeasures, `planNames` id → name.
// Each {key, from, to, x1, y1, x2, y2, cls, width, dashed, lost, level,
// metres, otherPlan}: a hop whose other end is on another plan runs to the
// edge and names that plan; a hop with an end in the tray is not drawn.
export function planLinks({ units, positions, measures, plan, planNames = new Map(), th = DEFAULT_THRESHOLDS }) {
  const perPixel = metresPerPixel(plan.scale);
  const links = [];
  for (const hop of registeredHops(units)) {
    const a = positions.get(hop.from);
    const b = positions.get(hop.to);
    if (!a || !b || (a.plan !== plan.id && b.plan !== plan.id)) continue;
    const style = linkStyle(measures.get(hop.key), th);
    const link = { key: hop.key, from: hop.from, to: hop.to, ...style, metres: null, otherPlan: null };
    if (a.plan === b.plan) {
      Object.assign(link, { x1: a.x, y1: a.y, x2: b.x, y2: b.y });
      if (perPixel) link.metres = Math.round(Math.hypot(b.x - a.x, b.y - a.y) * perPixel * 10) / 10;
    } else {
      const here = a.plan === plan.id ? a : b;
      const edge = edgePoint(here.x, here.y, plan);
      const other = a.plan === plan.id ? b.plan : a.plan;
      Object.assign(link, { x1: here.x, y1: here.y, x2: edge.x, y2: edge.y, otherPlan: planNames.get(other) || other });
    }
    links.push(link);
  }
  return links;
}

// Each unit's pin figures, by unit key: the verdict of the hop into it and
// its battery as the survey last heard it, low by the site's battery rule.
export function unitMarks(units, measures, th = DEFAULT_THRESHOLDS) {
  const marks = new Map();
  for (const hop of registeredHops(units)) {
    const m = measures.get(hop.key);
    const battery = m && typeof m.battery === 'number' ? m.battery : null;
    marks.set(hop.to, { verdict: linkStyle(m, th).cls, battery, batteryClass: batteryClass(battery, th), lowBattery: battery !== null && batteryLow(battery, th) });
  }
  return marks;
}
