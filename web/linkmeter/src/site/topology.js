// The site tree's survey overlay: the level of every link and the battery
// of every unit a survey measured, the route of a chosen unit, and which
// units the "problems only" filter keeps. Apart from the page so it can be
// tested without a DOM.
import { surveyedLinks, linkKey } from './weaklinks.js';
import { levelClass, levelPoor, batteryClass, batteryLow } from './quality.js';
import { buildRoute } from '../device/route.js';

export const nodeKey = (group, kind, num) => `${group}:${kind}:${num}`;

// The survey whose readings the tree shows for registration `regInfo`: the
// latest that has results for it, else the last complete one.
export function overlaySurvey(state, regInfo) {
  for (const s of [state.siteSurvey, state.siteSurveyDone]) {
    if (s && s.regInfo === regInfo && s.results && s.results.length) return s;
  }
  return null;
}

// {links: Map linkKey → {level, cls, poor}, units: Map nodeKey → {battery,
// cls, low}, silent: Set of nodeKeys} for `survey`, classed by thresholds
// `th`. A link shared by several routes is one entry at the lowest level
// measured; a unit's battery is the last it reported; a unit is silent when
// it was asked and never answered on any route.
export function surveyOverlay(survey, th) {
  const links = new Map();
  const units = new Map();
  const silent = new Set();
  if (!survey) return { links, units, silent };
  for (const l of surveyedLinks(survey.results, th)) {
    links.set(l.key, { level: l.level, cls: levelClass(l.level, th), poor: Boolean(l.poor) || levelPoor(l.level, th) });
  }
  const answered = new Set();
  for (const r of survey.results) {
    for (const hop of r.hops) {
      const key = nodeKey(r.group.index, hop.kind, hop.num);
      if (hop.reading) answered.add(key);
      else if (hop.reading === null) silent.add(key);
      const b = hop.reading && hop.reading.battery;
      if (typeof b !== 'number' || !Number.isFinite(b)) continue;
      units.set(key, { battery: b, cls: batteryClass(b, th), low: batteryLow(b, th) });
    }
  }
  for (const key of answered) silent.delete(key);
  return { links, units, silent };
}

// The key of the link into `unit` ({kind, num, parent}) of group `group`.
export const linkInto = (group, kind, unit) =>
  linkKey(group, unit.parent ? { kind: 'repeater', num: unit.parent } : { kind: 'base', num: 0 }, { kind, num: unit.num });

// The node keys on the route to `target` ({group, kind, num}), the target
// last; empty when the registration cannot route to it.
export function routeNodes(regInfo, target) {
  try {
    return buildRoute(regInfo, target).hops.map((hop) => nodeKey(target.group, hop.kind, hop.num));
  } catch (e) {
    return [];
  }
}

export const isSilent = (overlay, group, kind, unit) => overlay.silent.has(nodeKey(group, kind, unit.num));

// Whether a unit is a problem the filter keeps: it did not answer (the
// worst), its link in is weak or bad, or its battery low.
export function isProblem(overlay, group, kind, unit) {
  const link = overlay.links.get(linkInto(group, kind, unit));
  const battery = overlay.units.get(nodeKey(group, kind, unit.num));
  return Boolean(isSilent(overlay, group, kind, unit) || (link && link.poor) || (battery && battery.low));
}

// Whether a unit matches the typed filter: its label, serial or number.
export function matchesText(text, label, serial) {
  const q = String(text || '').trim().toLowerCase();
  return !q || label.toLowerCase().includes(q) || String(serial || '').toLowerCase().includes(q);
}
