// The rules of an acceptance profile applied to one unit's route survey:
// a list of findings, each naming its rule, whether it fails the unit or
// only warns, and the figures behind it. Pure: no DOM, no store.
import { median } from './linkstats.js';
import { levelClass, batteryClass } from './thresholds.js';
import { lostAllowedOf } from './acceptanceprofile.js';
import { repeaterKey } from './repeaterload.js';

const CLASS_RANK = ['good', 'fair', 'weak', 'bad'];
const below = (cls, lowest) => CLASS_RANK.indexOf(cls) > CLASS_RANK.indexOf(lowest);

const fail = (rule, params = {}) => ({ rule, severity: 'fail', ...params });
const warn = (rule, params = {}) => ({ rule, severity: 'warn', ...params });

// The two ends of hop `i` by label: the unit before (the base unit's name
// for the first hop) and the unit it reaches.
function ends(result, i, baseName) {
  const hop = result.hops[i];
  return { from: i > 0 ? result.hops[i - 1].label : baseName, to: hop.label, toKind: hop.kind };
}

// Median and minimum of every hop up to the first that never answered
// (hops past a silent one say nothing of their own link).
function hopFindings(result, ctx) {
  const out = [];
  const { profile, th, baseName } = ctx;
  for (let i = 0; i < result.hops.length; i++) {
    const st = result.hops[i].stats;
    if (!st || !st.asked) break;
    const at = { hop: i, ...ends(result, i, baseName) };
    if (!st.answered) {
      out.push(fail('median', { ...at, silent: true }));
      break;
    }
    const level = median(st);
    const cls = levelClass(level, th);
    if (below(cls, profile.hopMedian)) out.push(fail('median', { ...at, level, cls }));
    else if (cls !== 'good') out.push(warn('margin', { ...at, level, cls }));
    if (st.min < th.level.weak) out.push(fail('minimum', { ...at, min: st.min, weak: th.level.weak }));
  }
  return out;
}

// Lost probes of the far unit beyond what the profile allows; a unit that
// never answered is judged by the silent hop instead.
function lossFinding(far, profile) {
  if (!far || !far.answered) return [];
  const lost = far.asked - far.answered;
  const allowed = lostAllowedOf(profile, far.asked);
  return lost > allowed ? [fail('loss', { lost, asked: far.asked, allowed })] : [];
}

// Every battery on the route that is not in the ok class.
function batteryFindings(result, th) {
  const out = [];
  for (const hop of result.hops) {
    const b = hop.stats ? hop.stats.batteryLast : null;
    if (typeof b === 'number' && batteryClass(b, th) !== 'ok') out.push(fail('battery', { unit: hop.label, battery: b, ok: th.battery.ok }));
  }
  return out;
}

function routeFindings(result, ctx) {
  const out = [];
  const { profile, loads } = ctx;
  if (result.hops.length > profile.maxHops) out.push(fail('hops', { hops: result.hops.length, max: profile.maxHops }));
  for (const hop of result.hops) {
    if (hop.kind !== 'repeater') continue;
    const units = loads.get(repeaterKey(result.group.index, hop.num)) || [];
    if (units.length > profile.repeaterUnits) out.push(warn('repeaterLoad', { repeater: hop.label, count: units.length, max: profile.repeaterUnits, units: units.map((u) => u.label) }));
  }
  return out;
}

// Findings for one unit: `result` its survey result (null when a stop left
// it out); ctx {profile, th, loads, baseName}. A survey that did not run to
// the unit is one finding and nothing more can be said.
export function unitFindings(result, ctx) {
  if (!result || result.status === 'failed' || !result.hops.length || !result.hops.every((h) => h.stats)) {
    return [fail('complete', { status: result ? result.status : 'notSurveyed' })];
  }
  const far = result.hops[result.hops.length - 1].stats;
  const out = [];
  if (far.asked < ctx.profile.probes) out.push(fail('probes', { asked: far.asked, needed: ctx.profile.probes }));
  return out.concat(hopFindings(result, ctx), lossFinding(far, ctx.profile), batteryFindings(result, ctx.th), routeFindings(result, ctx));
}

// pass, marginal (only warnings) or fail, and the rule that decided.
export function unitVerdict(findings) {
  const decider = findings.find((f) => f.severity === 'fail') || findings.find((f) => f.severity === 'warn');
  if (!decider) return { verdict: 'pass', rule: null };
  return { verdict: decider.severity === 'fail' ? 'fail' : 'marginal', rule: decider.rule };
}
