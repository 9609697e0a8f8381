// Where a repeater would go: for the hops too long for the site (out of
// range) or too weak for their length (obstructed), positions on the plan
// whose legs the site's own fit predicts at the level the profile accepts,
// counting the spread against them. Hops from one unit are served by one
// repeater where a single position reaches them all; a hop too long for
// one repeater gets two or three along it. Without a scale, positions or a
// usable fit a proposal says what is missing instead. Pure logic.
import { predictLevel } from './propagation.js';
import { metresBetween } from './sitegeometry.js';
import { metresPerPixel } from './maplinks.js';

const MAX_CHAIN = 3; // repeaters along one hop at most
const GRID = 24; // positions tried across the area of a shared repeater

const round = (v) => Math.round(v);

// One leg's prediction between two plan points of `plan`.
function leg(geo, fit, plan, a, b, from, to) {
  const metres = metresBetween(geo, { plan, ...a }, { plan, ...b });
  const p = predictLevel(fit, metres);
  return p ? { from, to, metres: round(p.metres), level: round(p.level), spread: round(p.spread), low: p.level - p.spread } : null;
}

// The worst leg's low end (its level less its spread) of a repeater at
// `at` between `parent` and the ends.
function worstLeg(legs) {
  return Math.min(...legs.map((l) => l.low));
}

function clampTo(plan, p) {
  return { x: Math.min(Math.max(p.x, 0), plan.width), y: Math.min(Math.max(p.y, 0), plan.height) };
}

// The best single position serving every end from `parent`, searched on a
// grid over the area they span: {at, legs, low} or null.
function sharedPosition(geo, fit, plan, parent, ends) {
  const pts = [parent.at, ...ends.map((e) => e.at)];
  const xs = pts.map((p) => p.x);
  const ys = pts.map((p) => p.y);
  const [x0, x1, y0, y1] = [Math.min(...xs), Math.max(...xs), Math.min(...ys), Math.max(...ys)];
  let best = null;
  for (let i = 0; i <= GRID; i++) {
    for (let j = 0; j <= GRID; j++) {
      const at = clampTo(plan, { x: x0 + ((x1 - x0) * i) / GRID, y: y0 + ((y1 - y0) * j) / GRID });
      const legs = [leg(geo, fit, plan.id, parent.at, at, parent.label, null), ...ends.map((e) => leg(geo, fit, plan.id, at, e.at, null, e.label))];
      if (legs.some((l) => !l)) continue;
      const low = worstLeg(legs);
      if (!best || low > best.low) best = { at: [at], legs, low };
    }
  }
  return best;
}

// k repeaters evenly along the hop from `parent` to `end`.
function chainPositions(geo, fit, plan, parent, end, k) {
  const at = Array.from({ length: k }, (_, i) => ({
    x: parent.at.x + ((end.at.x - parent.at.x) * (i + 1)) / (k + 1), y: parent.at.y + ((end.at.y - parent.at.y) * (i + 1)) / (k + 1) }));
  const points = [parent.at, ...at, end.at];
  const names = [parent.label, ...at.map(() => null), end.label];
  const legs = points.slice(1).map((p, i) => leg(geo, fit, plan.id, points[i], p, names[i], names[i + 1]));
  return legs.some((l) => !l) ? null : { at, legs, low: worstLeg(legs) };
}

const finish = (proposal, found, boundary) => ({
  ...proposal,
  feasible: found.low >= boundary,
  positions: found.at.map((p) => ({ plan: proposal.plan, x: round(p.x), y: round(p.y) })),
  legs: found.legs.map(({ low, ...l }) => l),
});

// The ends of hops: {key, fromKey, toKey, from, to, units, serials}.
function placedEnd(geo, key, label) {
  const at = geo.positions.get(key);
  return at ? { key, label, at: { x: at.x, y: at.y }, plan: at.plan } : null;
}

// Proposals for the failing hops `hops` ([{fromKey, toKey, from, to,
// units: [label], serials: [serial]}]): boundary is the level the profile
// accepts. → [{id, hopKeys, from, to, plan, planName, positions, legs,
// feasible, serves, serials, missing}] in the order of the hops.
export function proposeRepeaters({ geo, fit, hops, boundary }) {
  const byParent = new Map();
  for (const h of hops) {
    if (!byParent.has(h.fromKey)) byParent.set(h.fromKey, []);
    byParent.get(h.fromKey).push(h);
  }
  const out = [];
  for (const group of byParent.values()) out.push(...parentProposals(geo, fit, group, boundary));
  return out.map((p, i) => ({ id: `P${i + 1}`, ...p }));
}

function missingOf(geo, fit, parent, ends) {
  if (!geo || !geo.plans.size) return 'noPlan';
  if (!parent || ends.some((e) => !e)) return 'notPlaced';
  if (ends.some((e) => e.plan !== parent.plan)) return 'otherPlan';
  const plan = geo.plans.get(parent.plan);
  if (!plan || !metresPerPixel(plan.scale)) return 'noScale';
  if (!fit || !fit.usable) return 'noFit';
  return null;
}

// Hops from one parent served by shared repeaters where one position keeps
// them all good: the longest hop first, the others joining it while the
// shared position still serves every one; what is left, in turn.
function sharedGroups(geo, fit, plan, parent, hops, ends, boundary) {
  const left = hops.map((h, i) => ({ h, end: ends[i], far: Math.hypot(ends[i].at.x - parent.at.x, ends[i].at.y - parent.at.y) }))
    .sort((a, b) => b.far - a.far);
  const groups = [];
  while (left.length) {
    let group = [left.shift()];
    for (const next of [...left]) {
      const tried = sharedPosition(geo, fit, plan, parent, [...group, next].map((x) => x.end));
      if (tried && tried.low >= boundary) {
        group = [...group, next];
        left.splice(left.indexOf(next), 1);
      }
    }
    groups.push({ members: group });
  }
  return groups;
}

function chainFor(geo, fit, plan, parent, end, boundary) {
  let found = null;
  for (let k = 1; k <= MAX_CHAIN && !(found && found.low >= boundary); k++) found = chainPositions(geo, fit, plan, parent, end, k);
  return found;
}

function parentProposals(geo, fit, hops, boundary) {
  const parent = geo ? placedEnd(geo, hops[0].fromKey, hops[0].from) : null;
  const ends = hops.map((h) => (geo ? placedEnd(geo, h.toKey, h.to) : null));
  const base = (hs) => ({ hopKeys: hs.map((h) => h.key), fromKey: hs[0].fromKey, toKeys: hs.map((h) => h.toKey), from: hs[0].from, to: hs.map((h) => h.to), serves: hs.flatMap((h) => h.units), serials: hs.flatMap((h) => h.serials) });
  const missing = missingOf(geo, fit, parent, ends);
  if (missing) return [{ ...base(hops), plan: null, planName: '', positions: [], legs: [], feasible: false, missing }];
  const plan = geo.plans.get(parent.plan);
  const named = { plan: plan.id, planName: plan.name || '', missing: null };
  const order = new Map(hops.map((h, i) => [h.key, i]));
  return sharedGroups(geo, fit, plan, parent, hops, ends, boundary)
    .map(({ members }) => {
      const sorted = [...members].sort((a, b) => order.get(a.h.key) - order.get(b.h.key));
      const hs = sorted.map((m) => m.h);
      // The legs in the hops' order: parent first, then each unit served.
      const at = sorted.length > 1 ? sharedPosition(geo, fit, plan, parent, sorted.map((m) => m.end)) : chainFor(geo, fit, plan, parent, sorted[0].end, boundary);
      return finish({ ...base(hs), ...named }, at, boundary);
    })
    .sort((a, b) => order.get(a.hopKeys[0]) - order.get(b.hopKeys[0]));
}
