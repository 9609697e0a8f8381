// A site's acceptance: every remote unit of a site survey judged against an
// acceptance profile, with the rule that decided, the cause of each failure
// and the remedies that follow it (acceptanceadvice.js), any waiver in
// force, the ranked work, and the site's verdict with counts. The answer is
// plain data (the report, the command line and the records take it as it
// is).
import { DEFAULT_THRESHOLDS } from './thresholds.js';
import { targetKey, resultKey } from './sitesurveybook.js';
import { DEFAULT_PROFILE, profileProblem } from './acceptanceprofile.js';
import { repeaterLoads } from './repeaterload.js';
import { unitFindings, unitVerdict } from './acceptancerules.js';
import { adviseAcceptance, reRanked } from './acceptanceadvice.js';
import { waiversInForce } from './waivers.js';

export const SITE_VERDICTS = ['pass', 'passWithWaivers', 'fail'];

// The waiver in force for a failing unit, as the result shows it; none for
// a unit that does not fail.
function waiverOf(verdict, serial, inForce) {
  const w = verdict === 'fail' ? inForce.get(serial) : null;
  return w ? { id: w.id ?? null, reason: w.reason, at: w.at } : null;
}

function unitEntry(target, result, ctx) {
  const groupName = (ctx.regInfo.groups[target.group] || {}).name || '';
  const findings = unitFindings(result, ctx);
  const { verdict, rule } = unitVerdict(findings);
  return {
    key: targetKey(target), group: target.group, groupName, label: target.label, serial: target.serial,
    status: result ? result.status : 'notSurveyed',
    verdict, rule, findings,
    waiver: waiverOf(verdict, target.serial, ctx.waivers),
    result,
  };
}

export function siteCounts(units) {
  const count = (f) => units.filter(f).length;
  return {
    units: units.length,
    pass: count((u) => u.verdict === 'pass'),
    marginal: count((u) => u.verdict === 'marginal'),
    fail: count((u) => u.verdict === 'fail' && !u.waiver),
    waived: count((u) => u.verdict === 'fail' && u.waiver),
  };
}

// FAIL while any failing unit is not waived; PASS WITH WAIVERS when every
// failure is; an empty site is never accepted.
export function siteVerdict(counts) {
  if (counts.fail > 0 || counts.units === 0) return 'fail';
  return counts.waived > 0 ? 'passWithWaivers' : 'pass';
}

// survey: the page's site survey ({targets, results, regInfo, complete,
// started, finished, prov}); options: {profile, thresholds, channels (the
// channel advice's recommendation), waivers (waiver records), evidence
// (what the site records add: diagnosisgather.js), at}.
export function judgeAcceptance(survey, options = {}) {
  const profile = options.profile || DEFAULT_PROFILE;
  const problem = profileProblem(profile);
  if (problem) throw new RangeError('profile: ' + problem);
  const th = options.thresholds || DEFAULT_THRESHOLDS;
  const regInfo = survey.regInfo;
  const ctx = {
    profile, th, regInfo, loads: repeaterLoads(regInfo),
    baseName: (survey.prov && survey.prov.base && survey.prov.base.name) || 'BASE',
    channels: options.channels || [],
    waivers: waiversInForce(options.waivers),
  };
  const results = new Map(survey.results.map((r) => [resultKey(r), r]));
  const entries = survey.targets.map((x) => unitEntry(x, results.get(targetKey(x)) || null, ctx));
  const { units, ...advice } = adviseAcceptance(entries, survey, { ...ctx, evidence: options.evidence || null });
  const counts = siteCounts(units);
  return {
    profile: { ...profile },
    thresholds: { level: { ...th.level }, battery: { ...th.battery } },
    survey: { started: survey.started ?? null, finished: survey.finished ?? null, complete: Boolean(survey.complete),
      base: survey.prov && survey.prov.base ? { serial: String(survey.prov.base.serial), name: survey.prov.base.name || '' } : null },
    judgedAt: options.at ?? Date.now(),
    verdict: siteVerdict(counts),
    counts,
    units,
    ...advice,
  };
}

// The same judgement with other waivers (a waiver given or withdrawn).
export function withWaivers(acceptance, waiverRecords) {
  const inForce = waiversInForce(waiverRecords);
  const { units, ...lists } = reRanked(acceptance.units.map((u) => ({ ...u, waiver: waiverOf(u.verdict, u.serial, inForce) })));
  const counts = siteCounts(units);
  return { ...acceptance, units, ...lists, counts, verdict: siteVerdict(counts) };
}
