// Why a unit fails: one cause read from the evidence the records hold (this
// survey's hops, batteries, earlier surveys, the map's distances and the
// site's own propagation fit, the channel scan, the base unit's log), the
// facts that led to it as data (the words are in the message tables,
// 'diagnosis.fact.<key>'), how sure it is, and the hop and unit to act on.
// docs/acceptance.md gives the reasoning. Pure logic.
import { median } from './linkstats.js';
import { predictLevel } from './propagation.js';
import { hopKeyOf, eventsNaming } from './diagnosisevidence.js';
import { serialKey } from './compare.js';

export const CAUSES = ['unitSilent', 'parentSilent', 'outOfRange', 'obstructed', 'interference', 'batteryLow', 'tooManyHops', 'unknown'];
export const CONFIDENCE = ['high', 'medium', 'low'];

const fact = (key, params = {}) => ({ key, ...params });
const round = (v) => Math.round(v);

// The level a hop must reach under the profile: its lowest accepted class.
const boundaryOf = (ctx) => (ctx.profile.hopMedian === 'good' ? ctx.th.level.good : ctx.th.level.fair);

// The hop's length and what the site's fit predicts over it, with the facts
// they give; {metres, predicted} (either null).
function distanceOf(result, i, ev) {
  const len = ev.lengths.get(hopKeyOf(result, i));
  const metres = len && len.metres !== null ? len.metres : null;
  return { metres, predicted: metres === null ? null : predictLevel(ev.fit, metres) };
}

// Where the prediction stands against the profile's class: 'in' (its low
// end clears it), 'out' (even its high end misses it) or 'edge'.
function rangeOf(p, ctx) {
  if (p.level - p.spread >= boundaryOf(ctx)) return 'in';
  if (p.level + p.spread < boundaryOf(ctx)) return 'out';
  return 'edge';
}

// How sure "out of range" is: sure when even the high end misses the weak
// boundary, likely when it misses the profile's class.
const outConfidence = (p, ctx) => (p.level + p.spread < ctx.th.level.weak ? 'high' : 'medium');

function predictionFact(p, parent, ctx) {
  const where = rangeOf(p, ctx);
  return fact(where === 'in' ? 'predictedInRange' : where === 'out' ? 'predictedOut' : 'predictedEdge',
    { metres: round(p.metres), parent, level: round(p.level), spread: round(p.spread), boundary: boundaryOf(ctx) });
}

// What earlier surveys said of unit `serial`, as facts.
function historyFacts(serial, ev, ctx) {
  const h = ev.history.get(serial);
  if (!h) return [];
  const out = [];
  if (h.lastAnswer) out.push(fact('answeredBefore', { at: h.lastAnswer.at, level: h.lastAnswer.level }));
  else if (h.surveys) out.push(fact('neverAnswered', { surveys: h.surveys }));
  if (h.lastBattery) out.push(fact(h.lastBattery.battery < ctx.th.battery.ok ? 'batteryWasLow' : 'batteryWas', { at: h.lastBattery.at, battery: h.lastBattery.battery }));
  return out;
}

const logFacts = (name, ev) => eventsNaming(ev.events, name).slice(-2).map((e) => fact('logEvent', { at: e.at, text: e.text }));

// The geometry missing to tell distance, as a fact of what would tell.
function placeHint(result, i, ev, baseName) {
  const from = i > 0 ? result.hops[i - 1].label : baseName;
  const to = result.hops[i].label;
  if (!ev.geo || !ev.geo.plans.size) return fact('tellPlaceOnMap', { from, to });
  if (!ev.geo.scaled) return fact('tellSetScale', { from, to });
  if (!ev.fit || !ev.fit.usable) return fact('tellMoreHops', { from, to });
  return fact('tellPlaceOnMap', { from, to });
}

// The far end of a silent hop: a repeater silent with everything behind it,
// or the unit itself, told apart from a unit out of range by distance and
// by whether it answered before.
function silentCause(f, result, ev, ctx) {
  const i = f.hop;
  const far = result.hops[i];
  const target = { unit: far.label, serial: far.serial, hop: { from: f.from, to: f.to, key: hopKeyOf(result, i) }, toKind: far.kind };
  const asked = far.stats ? far.stats.asked : 0;
  const facts = [fact('silentAll', { unit: far.label, asked })];
  if (i > 0) facts.push(fact('routeUpTo', { parent: f.from, level: median(result.hops[i - 1].stats) }));
  const serial = serialKey(far.serial);
  facts.push(...historyFacts(serial, ev, ctx), ...logFacts(far.name, ev));
  const { predicted } = distanceOf(result, i, ev);
  if (predicted) facts.push(predictionFact(predicted, f.from, ctx));
  const h = ev.history.get(serial);
  const before = Boolean(h && h.lastAnswer);
  const where = predicted ? rangeOf(predicted, ctx) : null;
  const kindOf = far.kind === 'repeater' && i < result.hops.length - 1 ? 'parentSilent' : 'unitSilent';
  if (where === 'out') return { cause: 'outOfRange', confidence: before ? 'medium' : outConfidence(predicted, ctx), facts, ...target };
  if (where === 'in' || before) return { cause: kindOf, confidence: where === 'in' && before ? 'high' : 'medium', facts, ...target };
  if (kindOf === 'parentSilent') return { cause: kindOf, confidence: 'medium', facts, ...target };
  if (where === 'edge') return { cause: 'outOfRange', confidence: 'low', facts, ...target };
  facts.push(placeHint(result, i, ev, ctx.baseName));
  return { cause: 'unknown', confidence: 'low', facts, silent: true, ...target };
}

// A hop that answers but too weakly: too far for a hop (out of range), or
// weak for its length (obstructed), by the site's own fit.
function weakCause(f, result, ev, ctx) {
  const i = f.hop;
  const target = { unit: f.to, serial: result.hops[i].serial, hop: { from: f.from, to: f.to, key: hopKeyOf(result, i) }, toKind: f.toKind };
  const facts = [fact('weakHop', { from: f.from, to: f.to, level: f.level, cls: f.cls })];
  const { predicted } = distanceOf(result, i, ev);
  const serial = serialKey(result.hops[i].serial);
  const h = ev.history.get(serial);
  if (predicted) {
    const where = rangeOf(predicted, ctx);
    facts.push(predictionFact(predicted, f.from, ctx));
    const shortfall = predicted.level - f.level;
    if (where !== 'in' && shortfall <= predicted.spread) return { cause: 'outOfRange', confidence: where === 'out' ? outConfidence(predicted, ctx) : 'low', facts, ...target };
    if (shortfall > predicted.spread) {
      facts.push(fact('weakForDistance', { level: f.level, below: round(shortfall), metres: round(predicted.metres), predicted: round(predicted.level), spread: round(predicted.spread) }));
      return { cause: 'obstructed', confidence: shortfall > 2 * predicted.spread ? 'high' : 'medium', facts, ...target };
    }
    return { cause: 'outOfRange', confidence: 'low', facts, ...target };
  }
  if (h && h.lastAnswer && h.lastAnswer.level !== null && h.lastAnswer.level - f.level > 2 * (ctx.th.level.good - ctx.th.level.fair) / 3) {
    facts.push(fact('levelWas', { at: h.lastAnswer.at, before: h.lastAnswer.level, level: f.level }));
    return { cause: 'obstructed', confidence: 'medium', facts, ...target };
  }
  facts.push(placeHint(result, i, ev, ctx.baseName));
  return { cause: 'unknown', confidence: 'low', facts, weak: true, ...target };
}

// Dips below the weak boundary or lost probes on a hop whose median is good
// enough: interference when the group's channel is busy or noisy.
function dipCause(fails, result, ev, ctx) {
  const group = ctx.regInfo.groups[result.group.index] || {};
  const target = { group: group.name || '', freq: group.freq };
  const facts = fails.map((f) => (f.rule === 'minimum' ? fact('dipBelowWeak', { from: f.from, to: f.to, min: f.min, weak: f.weak }) : fact('lostProbes', { lost: f.lost, asked: f.asked })));
  const others = (ctx.dips.get(result.group.index) || 0) - 1;
  if (others > 0) facts.push(fact('groupDips', { count: others, group: group.name || '' }));
  const ch = ev.scan ? ev.scan.channels.get(group.freq) : null;
  if (!ch) {
    facts.push(fact('tellScanChannel', { freq: group.freq, group: group.name || '' }));
    return { cause: 'interference', confidence: others > 1 ? 'medium' : 'low', facts, ...target };
  }
  facts.push(fact('channel_' + ch.suitability, { freq: group.freq, group: group.name || '', max: ch.max, mean: ch.mean, at: ev.scan.at }));
  if (ch.suitability === 'busy') return { cause: 'interference', confidence: 'high', facts, ...target };
  if (ch.suitability === 'noisy') return { cause: 'interference', confidence: others > 0 ? 'high' : 'medium', facts, ...target };
  facts.push(fact('tellSurveyLater'));
  return { cause: 'unknown', confidence: 'low', facts, dips: true, ...target };
}

function batteryCause(fails, result, ev) {
  const facts = [];
  const serialOf = new Map(result.hops.map((hop) => [hop.label, serialKey(hop.serial)]));
  for (const f of fails) {
    facts.push(fact('batteryNow', { unit: f.unit, battery: f.battery, ok: f.ok }));
    const serial = serialOf.get(f.unit);
    const h = serial ? ev.history.get(serial) : null;
    if (h && h.lastBattery && h.lastBattery.battery > f.battery) facts.push(fact('batteryFell', { unit: f.unit, before: h.lastBattery.battery, at: h.lastBattery.at, now: f.battery }));
  }
  return { cause: 'batteryLow', confidence: 'high', facts, unit: fails[0].unit };
}

// The cause of a failing unit's findings, the deciding evidence first: a
// silent hop, then a weak one, dips and losses, batteries, hops, and what
// the survey lacked. {cause, confidence, facts, unit?, hop?, also}.
export function diagnoseUnit(findings, result, ev, ctx) {
  const fails = findings.filter((f) => f.severity === 'fail');
  if (!fails.length) return null;
  const also = [];
  if (fails.some((f) => f.rule === 'battery')) also.push('batteryLow');
  if (fails.some((f) => f.rule === 'hops')) also.push('tooManyHops');
  const done = (d) => ({ ...d, also: also.filter((c) => c !== d.cause) });
  const first = fails[0];
  if (first.rule === 'complete') return done({ cause: 'unknown', confidence: 'low', facts: [fact('notSurveyed', { status: first.status }), fact('tellSurveyAgain')] });
  const silent = fails.find((f) => f.rule === 'median' && f.silent);
  if (silent) return done(silentCause(silent, result, ev, ctx));
  const weak = fails.filter((f) => f.rule === 'median').sort((a, b) => a.level - b.level)[0];
  if (weak) return done(weakCause(weak, result, ev, ctx));
  const dips = fails.filter((f) => f.rule === 'minimum' || f.rule === 'loss');
  if (dips.length) return done(dipCause(dips, result, ev, ctx));
  const battery = fails.filter((f) => f.rule === 'battery');
  if (battery.length) return done(batteryCause(battery, result, ev));
  const hops = fails.find((f) => f.rule === 'hops');
  if (hops) return done({ cause: 'tooManyHops', confidence: 'high', facts: [fact('hops', { hops: hops.hops, max: hops.max })] });
  const probes = fails.find((f) => f.rule === 'probes');
  return done({ cause: 'unknown', confidence: 'low', facts: [fact('notEnoughProbes', { asked: probes ? probes.asked : 0, needed: probes ? probes.needed : 0 }), fact('tellMoreProbes')] });
}

// How many units of each group dip or lose probes with a good enough
// median: group index → count (interference shows on several at once).
export function dipsByGroup(entries) {
  const out = new Map();
  for (const e of entries) {
    const fails = e.findings.filter((f) => f.severity === 'fail');
    const dips = fails.some((f) => f.rule === 'minimum' || f.rule === 'loss') && !fails.some((f) => f.rule === 'median' || f.rule === 'complete');
    if (dips) out.set(e.group, (out.get(e.group) || 0) + 1);
  }
  return out;
}
