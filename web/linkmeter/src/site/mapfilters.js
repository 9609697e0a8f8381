// Which pins and links a plan shows under its filters: only the problems
// (a weak, bad or silent hop into the unit, or a low battery), the route of
// one unit to the base unit, and typed text. Pure logic, no DOM.
import { matchesText } from './topology.js';
import { registeredHops } from './maplinks.js';

const PROBLEM_CLASSES = new Set(['weak', 'bad', 'silent']);

// Whether a unit's mark (unitMarks' entry) makes it a problem.
export const isProblemMark = (mark) => Boolean(mark && (PROBLEM_CLASSES.has(mark.verdict) || mark.batteryClass === 'low' || mark.batteryClass === 'empty'));

// The keys of the units and hops on the route from the base unit to `key`:
// {units: Set, hops: Set}. Empty when the unit is not in the registration.
export function routeToBase(units, key) {
  const into = new Map(registeredHops(units).map((h) => [h.to, h]));
  const route = { units: new Set(), hops: new Set() };
  const seen = new Set();
  let at = key;
  while (into.has(at) && !seen.has(at)) {
    seen.add(at);
    route.units.add(at);
    const hop = into.get(at);
    route.hops.add(hop.key);
    at = hop.from;
  }
  if (route.units.size) route.units.add(at); // the base unit
  return route;
}

// The unit keys the filters keep: `problems` keeps problem units, `text`
// matches label or serial. A link shows when both its ends are kept.
export function keptUnits(units, marks, { problems = false, text = '' } = {}) {
  const kept = new Set();
  for (const u of units) {
    if (problems && u.kind !== 'base' && !isProblemMark(marks.get(u.key))) continue;
    if (!matchesText(text, u.label, u.serial)) continue;
    kept.add(u.key);
  }
  // A problem unit's link is drawn to the unit it hangs from, kept or not.
  if (problems) for (const h of registeredHops(units)) if (kept.has(h.to)) kept.add(h.from);
  return kept;
}
