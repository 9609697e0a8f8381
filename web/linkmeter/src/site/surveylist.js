// How the site survey's results are listed: which rows a filter keeps, the
// order a sort gives, and what a group's heading counts. Apart from the
// page, so it is checked under Node.
import { VERDICTS } from './linkstats.js';

export const FILTERS = ['all', 'problems', 'weak', 'silent', 'battery'];
export const SORTS = ['route', 'worst'];

// A result's verdict; a unit that could not be surveyed counts as silent.
export const resultVerdict = (r) => (r.verdict && r.verdict !== 'none' ? r.verdict : 'silent');
export const isSilent = (r) => r.status !== 'ok';
export const isWeak = (r) => !isSilent(r) && ['weak', 'bad'].includes(resultVerdict(r));
export const hasLowBattery = (r) => r.hops.some((hop) => hop.reading && hop.reading.lowBattery);

export function matches(r, filter) {
  switch (filter) {
    case 'weak': return isWeak(r);
    case 'silent': return isSilent(r);
    case 'battery': return hasLowBattery(r);
    case 'problems': return isWeak(r) || isSilent(r) || hasLowBattery(r);
    default: return true;
  }
}

// The weakest level a result's far unit stands on (its worst hop's), or
// null for a silent one.
function weakestLevel(r) {
  let low = null;
  for (const hop of r.hops) if (hop.reading && (low === null || hop.reading.level < low)) low = hop.reading.level;
  return low;
}

// A number ordering rows (smaller first): `index` is the unit's place in the
// survey's target list. 'worst': silent units first, then bad, weak, fair,
// good; within a verdict the lowest level first; then route order.
export function sortKey(r, sort, index) {
  if (sort !== 'worst') return index;
  const severity = VERDICTS.length - 1 - VERDICTS.indexOf(resultVerdict(r));
  const level = isSilent(r) ? 0 : weakestLevel(r) ?? 0;
  return severity * 1e7 + level * 1e4 + index;
}

// What a group's heading counts: {units, weak, silent, battery}.
export function groupCounts(results) {
  const c = { units: 0, weak: 0, silent: 0, battery: 0 };
  for (const r of results) {
    c.units += 1;
    if (isWeak(r)) c.weak += 1;
    if (isSilent(r)) c.silent += 1;
    if (hasLowBattery(r)) c.battery += 1;
  }
  return c;
}

// Lists longer than this start with their groups collapsed.
export const COLLAPSE_OVER = 40;

// Whether a row shows: a filter other than 'all' shows its rows in every
// group; the full list shows the groups that are open.
export const rowShown = (r, filter, open) => matches(r, filter) && (open || filter !== 'all');
