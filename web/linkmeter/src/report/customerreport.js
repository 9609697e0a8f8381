// The customer's report as plain data, made from a recorded site survey and
// its acceptance: one compact row per unit (route as text with each hop's
// median, weakest hop, probes and losses, battery, verdict), the groups in
// brief, and the report id that names the records it was made from. No DOM:
// the paper layout (customerpaper.js) and the tests take it as it is.
import { judgeResult, unitWeakestHop } from '../site/survey.js';
import { DEFAULT_THRESHOLDS } from '../site/thresholds.js';
import { resultKey } from '../site/sitesurveybook.js';
import { sha256Hex } from '../ui/sha256.js';

export const NO_ANSWER = '—';

// "BASE → R1 115 → R2 109 → UNIT 140": each hop's unit with the median
// level of the hop reaching it, NO_ANSWER for a hop that never answered.
export function routeText(result, baseName) {
  const hops = result ? result.hops : [];
  return [baseName, ...hops.map((hop) => `${hop.label} ${hop.reading ? hop.reading.level : NO_ANSWER}`)].join(' → ');
}

// The weakest hop of a unit that answered, named by the unit it reaches
// as the route names it ("→ R2 109"), with its class.
function weakestOf(result) {
  const hop = result ? unitWeakestHop(result) : null;
  if (!hop) return null;
  return { text: `→ ${hop.label} ${hop.reading.level}`, level: hop.reading.level, levelClass: hop.reading.levelClass };
}

// The far unit's own battery (its last reading), null when it did not answer.
function batteryOf(result) {
  const last = result && result.hops.length ? result.hops[result.hops.length - 1].reading : null;
  return last && Number.isFinite(last.battery) ? { percent: last.battery, low: Boolean(last.lowBattery) } : null;
}

function unitRow(u, result, baseName) {
  const far = result && result.far ? result.far : { asked: 0, answered: 0 };
  return {
    serial: u.serial, label: u.label, group: u.group, groupName: u.groupName,
    route: result ? routeText(result, baseName) : '',
    weakest: weakestOf(result),
    probes: { asked: far.asked, answered: far.answered, lost: far.asked - far.answered },
    battery: batteryOf(result),
    verdict: u.verdict, waived: Boolean(u.waiver), verdictText: u.verdictText || u.verdict,
    status: result ? result.status : 'notSurveyed',
  };
}

// Each group in brief: its units by verdict, its weakest hop, low batteries.
export function groupDetails(rows) {
  const groups = new Map();
  for (const r of rows) {
    if (!groups.has(r.group)) groups.set(r.group, { group: r.group, name: r.groupName, units: 0, pass: 0, marginal: 0, fail: 0, waived: 0, weakest: null, lowBatteries: [] });
    const g = groups.get(r.group);
    g.units += 1;
    if (r.waived) g.waived += 1;
    else g[r.verdict] += 1;
    if (r.weakest && (!g.weakest || r.weakest.level < g.weakest.level)) g.weakest = r.weakest;
    if (r.battery && r.battery.low) g.lowBatteries.push(`${r.label} ${r.battery.percent} %`);
  }
  return [...groups.values()];
}

// What a report is made from, in a fixed order, so the same records always
// give the same id: the survey's base, times and every unit's figures, the
// profile judged by, the boundaries and the waivers in force.
export function reportSource(survey, acceptance) {
  const results = survey.results.map((r) => ({
    serial: r.target.serial, status: r.status,
    hops: r.hops.map((hop) => [hop.serial, hop.stats ? [hop.stats.asked, hop.stats.answered, hop.stats.min, hop.stats.max, hop.stats.batteryLast] : null]),
  }));
  const p = acceptance.profile;
  return JSON.stringify({
    base: String(survey.prov.base.serial), started: survey.started ?? null, finished: survey.finished ?? null, complete: Boolean(survey.complete),
    results,
    profile: [p.name, p.version, p.probes, p.hopMedian, p.lostAllowed, p.lostPer, p.maxHops, p.repeaterUnits],
    thresholds: acceptance.thresholds,
    waivers: acceptance.units.filter((u) => u.waiver).map((u) => [u.serial, u.waiver.reason, u.waiver.at]),
  });
}

// The report id: the SHA-256 of its records, short form (12 hex digits).
export const reportId = (survey, acceptance) => sha256Hex(reportSource(survey, acceptance)).slice(0, 12);

// The report of `survey` (the page's site survey) judged as `acceptance`
// (with its words, describeAcceptance): {id, complete, units, groups}.
export function customerReport(survey, acceptance, th = DEFAULT_THRESHOLDS) {
  const baseName = (survey.prov && survey.prov.base && survey.prov.base.name) || 'BASE';
  const results = new Map(survey.results.map((r) => [resultKey(r), judgeResult(r, th)]));
  const resultOf = (u) => results.get(u.key) || null;
  const units = acceptance.units.map((u) => unitRow(u, resultOf(u), baseName));
  return {
    id: reportId(survey, acceptance),
    complete: Boolean(survey.complete),
    units,
    groups: groupDetails(units),
  };
}
