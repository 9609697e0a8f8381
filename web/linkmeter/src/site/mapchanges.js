// The changes overlay: hops worse or better since the previous visit's
// survey (judged by the comparison of surveys, so the map and History agree)
// and units moved on the plans since that visit. Pure logic, no DOM.
import { compareSiteSurveys } from './compare.js';
import { movedUnits } from './mapplacement.js';

const RANK = { good: 0, fair: 1, weak: 2, bad: 3, none: 4 };

// Better mirrors worse: it rose by more than worseBy, or it climbed out of a
// problem class (weak or bad) into a better one.
function isBetter(h, worseBy) {
  if (h.worse || h.after === null) return false;
  if (h.before === null) return true;
  if (h.after - h.before > worseBy) return true;
  return RANK[h.classBefore] >= RANK.weak && RANK[h.classAfter] < RANK[h.classBefore];
}

// {hops: Map hop key → 'worse' | 'better', moved: [{serial, before, after}]}.
// previous/current: site surveys ({prov, results}), either may be missing;
// positionsBefore/After from positionsAt at the two visits.
export function mapChanges({ previous, current, positionsBefore = new Map(), positionsAfter = new Map(), ...options }) {
  const hops = new Map();
  if (previous && current) {
    const cmp = compareSiteSurveys(previous, current, options);
    for (const h of cmp.hops) {
      if (h.worse) hops.set(h.key, 'worse');
      else if (isBetter(h, cmp.worseBy)) hops.set(h.key, 'better');
    }
  }
  return { hops, moved: movedUnits(positionsBefore, positionsAfter) };
}
