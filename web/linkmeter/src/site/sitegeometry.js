// Where the site's units stand in metres: the map's positions on its scaled
// plans turned into the length of every registered hop, the hops a
// propagation fit may use (both ends installed on one scaled plan and the
// hop measured), and the parents a planned unit could hang from. Units on
// plans without a scale, or on two different plans, have no distance.
// Pure logic.
import { metresPerPixel, registeredHops } from './maplinks.js';
import { surveyMeasures } from './maplinks.js';
import { positionsAt, mapUnits } from './mapplacement.js';
import { fitPropagation, predictLevel } from './propagation.js';
import { plansInForce, onPlans } from './mapplans.js';

// The geometry of a site from its map ({plans, kept, edits} as the site
// records keep them, positions up to `until`) and the units of its
// registration: {units, positions, plans (id → plan in force with its
// scale), scaled (whether any plan has a scale), placed (how many units
// stand on a plan)}. A unit on a removed plan stands nowhere.
export function siteGeometry({ regInfo, baseSerial, map, until = Infinity }) {
  const units = mapUnits(regInfo, baseSerial);
  const edits = (map && map.edits) || [];
  const inForce = plansInForce((map && (map.kept || map.plans)) || [], edits, until);
  const positions = onPlans(positionsAt(edits, until), inForce);
  const plans = new Map(inForce.map((p) => [p.id, p]));
  const scaled = [...plans.values()].some((p) => metresPerPixel(p.scale));
  const placed = units.filter((u) => positions.has(u.key)).length;
  return { units, positions, plans, scaled, placed };
}

// Metres between two positions, or null when they are not on one scaled plan.
export function metresBetween(geo, a, b) {
  if (!a || !b || a.plan !== b.plan) return null;
  const perPixel = metresPerPixel((geo.plans.get(a.plan) || {}).scale);
  return perPixel ? Math.hypot(b.x - a.x, b.y - a.y) * perPixel : null;
}

// Every registered hop with the metres between its ends (null when not
// known) and whether both ends are installed: [{key, from, to, metres,
// installed}].
export function hopLengths(geo) {
  return registeredHops(geo.units).map((h) => {
    const a = geo.positions.get(h.from);
    const b = geo.positions.get(h.to);
    return { ...h, metres: metresBetween(geo, a, b), installed: Boolean(a && b && a.state === 'placed' && b.state === 'placed') };
  });
}

// The samples of the site's fit: each measured hop (its median level from
// `survey`) with both ends installed on one scaled plan.
export function fitSamples(geo, survey) {
  const measures = surveyMeasures(survey);
  const label = new Map(geo.units.map((u) => [u.key, u.label]));
  return hopLengths(geo)
    .filter((h) => h.installed && h.metres !== null && measures.has(h.key) && measures.get(h.key).level !== null)
    .map((h) => ({ key: h.key, metres: h.metres, level: measures.get(h.key).level, from: label.get(h.from) || h.from, to: label.get(h.to) || h.to }));
}

export const siteFit = (geo, survey) => fitPropagation(fitSamples(geo, survey));

// The units a unit could hang from: the base unit and the repeaters of its
// group, itself left out.
export function possibleParents(geo, unit) {
  return geo.units.filter((u) => u.key !== unit.key && (u.kind === 'base' || (u.kind === 'repeater' && u.group === unit.group)));
}

// The nearest installed possible parent of `unit` on its plan standing at
// `at` (its own position when omitted): {parent, metres} or null.
export function nearestParent(geo, unit, at = geo.positions.get(unit.key)) {
  let best = null;
  for (const p of possibleParents(geo, unit)) {
    const pos = geo.positions.get(p.key);
    if (!pos || pos.state !== 'placed') continue;
    const metres = metresBetween(geo, pos, at);
    if (metres !== null && (!best || metres < best.metres)) best = { parent: p, metres };
  }
  return best;
}

// What each planned unit would receive from its nearest possible parent:
// [{key, serial, label, parent (label), parentKey, metres, level, spread}].
export function plannedPredictions(geo, fit) {
  const out = [];
  for (const u of geo.units) {
    const at = geo.positions.get(u.key);
    if (u.kind === 'base' || !at || at.state !== 'planned') continue;
    const near = nearestParent(geo, u, at);
    const p = near ? predictLevel(fit, near.metres) : null;
    if (p) out.push({ key: u.key, serial: u.serial, label: u.label, parent: near.parent.label, parentKey: near.parent.key, plan: at.plan, x: at.x, y: at.y, ...p });
  }
  return out;
}

// What is missing for distances, or null: no plan, no scale, or units
// not placed. `keys` the units that matter (their hops' ends).
export function geometryMissing(geo, keys = []) {
  if (!geo || !geo.plans.size) return 'noPlan';
  if (!geo.scaled) return 'noScale';
  if (keys.some((k) => !geo.positions.has(k))) return 'notPlaced';
  return null;
}
