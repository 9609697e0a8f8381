// RIVERSIDE of the demo site as a recorded survey (fixtures/
// riverside-survey.json: linkmeter-cli's site survey of the simulator, 5
// probes a unit), rebuilt in the page's shape with any unit's hops
// replaced; the site on a plan at 5 m a pixel with every unit at its
// designed distance (sim/sites/demo.json), as tests/tools/cli/riverside_plan.py
// lays it out; and earlier surveys of a unit as unitTrend answers them.
import { readFileSync } from 'node:fs';
import { buildRoute } from '../../web/linkmeter/src/device/route.js';
import { emptyStats } from '../../web/linkmeter/src/site/linkstats.js';
import { resultFromStats } from '../../web/linkmeter/src/site/survey.js';
import { siteTargets } from '../../web/linkmeter/src/site/sitesurveybook.js';
import { serialKey } from '../../web/linkmeter/src/site/compare.js';

const recorded = JSON.parse(readFileSync(new URL('./fixtures/riverside-survey.json', import.meta.url), 'utf8'));
const design = JSON.parse(readFileSync(new URL('../../sim/sites/demo.json', import.meta.url), 'utf8')).baseUnits.find((b) => b.serial === '009C0021');

export const regInfo = recorded.regInfo;
export const STARTED = Date.UTC(2026, 11, 10, 9);

// Statistics of a hop from [asked, answered, levels ([level, count]), battery].
export function hopStats([asked, answered, levels, battery]) {
  const s = { ...emptyStats(), asked, answered, bins: new Uint32Array(256) };
  for (const [v, n] of levels) s.bins[v] += n;
  const seen = levels.map(([v]) => v);
  if (seen.length) Object.assign(s, { min: Math.min(...seen), max: Math.max(...seen), last: seen[seen.length - 1] });
  if (battery !== null && battery !== undefined) Object.assign(s, { batteryFirst: battery, batteryLast: battery, batteryFirstAt: STARTED, batteryLastAt: STARTED });
  return s;
}

const serialOf = (r) => regInfo.groups[r.group].remoteUnits.find((u) => u.num === r.num).serial;

// The recorded survey in the page's shape; `hops` replaces a unit's hops
// (by serial) with [asked, answered, levels, battery] per hop.
export function survey(hops = {}) {
  const targets = siteTargets(regInfo);
  const results = recorded.results.map((r) => {
    const target = targets.find((x) => x.group === r.group && x.num === r.num);
    const route = buildRoute(regInfo, target);
    const own = hops[serialOf(r)] || r.hops;
    return resultFromStats(route, own.map(hopStats), null, new Date(STARTED + 60000));
  });
  return { targets, results, regInfo, complete: true, started: STARTED, finished: STARTED + 600000, prov: { base: { ...recorded.base } } };
}

// The recorded hops of unit `serial`.
export const hopsOf = (serial) => recorded.results.find((r) => serialOf(r) === serial).hops;

// Plan pixels of every unit at its designed distance: each group out along
// its own bearing, remote units fanned around it (riverside_plan.py).
export function layout() {
  const centre = [1200, 1200];
  const at = new Map([['9C0021', centre]]);
  design.groups.forEach((group, g) => {
    const bearing = ((90 + 120 * g) * Math.PI) / 180;
    const rep = new Map([[0, centre]]);
    for (const r of group.repeaters) {
      const p = rep.get(r.parent);
      const d = r.distanceM / 5;
      rep.set(r.num, [p[0] + d * Math.cos(bearing), p[1] + d * Math.sin(bearing)]);
      at.set(serialKey(r.serial), rep.get(r.num));
    }
    group.remoteUnits.forEach((u, i) => {
      const p = rep.get(u.parent);
      const fan = bearing + ((25 * (i + 1) * (-1) ** i) * Math.PI) / 180;
      const d = u.distanceM / 5;
      at.set(serialKey(u.serial), [p[0] + d * Math.cos(fan), p[1] + d * Math.sin(fan)]);
    });
  });
  return at;
}

// The site's map as the records give it: one plan with its scale and a
// place edit per unit (`planned`: serial key → [x, y] marked planned).
export function siteMap({ planned = {} } = {}) {
  const scale = { action: 'scale', plan: 'P', x1: 100, y1: 100, x2: 2100, y2: 100, metres: 10000, at: STARTED - 5000 };
  const edits = [...layout()].map(([serial, [x, y]], i) => ({ action: 'place', serial, plan: 'P', x, y, at: STARTED - 4000 + i }));
  for (const [serial, [x, y]] of Object.entries(planned)) edits.push({ action: 'plan', serial, plan: 'P', x, y, at: STARTED - 1000 });
  return { plans: [{ id: 'P', name: 'Riverside', width: 2400, height: 2400, scale }], edits: [scale, ...edits] };
}

// An earlier survey of a unit as unitTrend answers it.
export const earlier = ({ daysAgo = 30, answered = 5, level = null, battery = null }) =>
  ({ visitId: 1, surveyId: 1, surveyStartedAt: STARTED - daysAgo * 86400000, sent: 5, answered, levelAvg: level, battery });
