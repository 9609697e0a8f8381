// What the site survey report says, worked out from a survey: how many
// units were to be surveyed, how many were and how many answered, which did
// not answer (by name), each unit's class, low batteries once per unit and
// the weakest links.
import { unitWeakestHop, judgeResult } from './survey.js';
import { DEFAULT_THRESHOLDS } from './thresholds.js';
import { weakestLinks } from './weaklinks.js';
import { targetKey, resultKey } from './sitesurveybook.js';

// A unit's class is its weakest link's, and only when the unit answered:
// the hops before a silent unit say nothing about its own link.
export function unitClass(result) {
  const hop = unitWeakestHop(result);
  return hop ? { levelClass: hop.reading.levelClass, level: hop.reading.level, hop } : { levelClass: 'none', level: null, hop: null };
}

function lowBatteries(results) {
  const seen = new Set();
  const list = [];
  for (const r of results) {
    for (const hop of r.hops) {
      if (!hop.reading || !hop.reading.lowBattery || seen.has(hop.serial)) continue;
      seen.add(hop.serial);
      list.push({ label: hop.label, serial: hop.serial, battery: hop.reading.battery, batteryClass: hop.reading.batteryClass });
    }
  }
  return list;
}

// Every figure under the class boundaries `th` (the report states them).
// The probes per unit the results stand on: {min, max} over the units
// probed (a retry may have used another count), null when none were.
function probesUsed(results) {
  const counts = results.map((r) => (r.far ? r.far.asked : 0)).filter((n) => n > 0);
  return counts.length ? { min: Math.min(...counts), max: Math.max(...counts) } : null;
}

export function summarize(survey, th = DEFAULT_THRESHOLDS) {
  const results = (survey ? survey.results : []).map((r) => judgeResult(r, th));
  const targets = survey ? survey.targets : [];
  const done = new Set(results.map(resultKey));
  const count = (status) => results.filter((r) => r.status === status).length;
  return {
    total: targets.length,
    surveyed: results.length,
    answered: count('ok'),
    partial: count('partial'),
    noAnswer: count('noAnswer'),
    failed: count('failed'),
    complete: Boolean(survey && survey.complete),
    silent: results.filter((r) => r.status !== 'ok').map((r) => ({ label: r.target.label, serial: r.target.serial, status: r.status, far: r.far || null })),
    notSurveyed: targets.filter((x) => !done.has(targetKey(x))).map((x) => ({ label: x.label, serial: x.serial })),
    units: results.map((r) => ({ result: r, ...unitClass(r) })),
    batteries: lowBatteries(results),
    links: weakestLinks(results, 5, th),
    thresholds: th,
    probes: probesUsed(results),
  };
}
