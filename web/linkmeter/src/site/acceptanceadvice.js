// The advice of an acceptance: each failing unit's cause from the evidence,
// the remedies that follow it, repeater positions for the hops out of range
// or obstructed, and the ranked lists ("Fix these first", what gains
// margin). Works on the units judged by acceptance.js; pure logic.
import { serialKey } from './compare.js';
import { evidenceFor } from './diagnosisevidence.js';
import { diagnoseUnit, dipsByGroup } from './diagnosis.js';
import { unitRemedies, remedy } from './remedies.js';
import { proposeRepeaters } from './repeaterproposal.js';
import { fitSummary } from './propagation.js';
import { geometryMissing } from './sitegeometry.js';
import { actionLists, withActionUnits } from './fixfirst.js';

const PROPOSED = new Set(['outOfRange', 'obstructed']);

// The failing hops a repeater would serve, once each: [{key, fromKey,
// toKey, from, to, units, serials}].
function failingHops(entries, baseKey) {
  const hops = new Map();
  for (const e of entries) {
    const d = e.diagnosis;
    if (!d || !PROPOSED.has(d.cause) || !d.hop || !d.hop.key || e.waiver) continue;
    const [from, to] = d.hop.key.split('>');
    if (!hops.has(d.hop.key)) hops.set(d.hop.key, { key: d.hop.key, fromKey: from === 'base' ? baseKey : from, toKey: to, from: d.hop.from, to: d.hop.to, units: [], serials: [] });
    const h = hops.get(d.hop.key);
    h.units.push(e.label);
    h.serials.push(e.serial);
  }
  return [...hops.values()];
}

// The repeater remedy of a hop a proposal serves, with where it goes and
// what both legs are predicted at.
function placedRemedy(r, p) {
  const placed = remedy('addRepeater', { from: p.from, to: p.to.join(', ') });
  return {
    ...placed, key: `addRepeater:${p.id}`, alternative: r.alternative || undefined, proposal: p.id, feasible: p.feasible,
    repeaters: p.positions.length, position: p.positions[0] || null, positions: p.positions,
    predicted: p.legs.map((l) => ({ from: l.from, to: l.to, metres: l.metres, level: l.level, spread: l.spread })),
    planName: p.planName,
  };
}

function withProposals(entries, proposals) {
  const byHop = new Map();
  for (const p of proposals) if (p.positions.length) for (const k of p.hopKeys) byHop.set(k, p);
  return entries.map((e) => {
    const p = e.diagnosis && e.diagnosis.hop ? byHop.get(e.diagnosis.hop.key) : null;
    if (!p) return e;
    return { ...e, remedies: e.remedies.map((r) => (r.kind === 'addRepeater' ? placedRemedy(r, p) : r)) };
  });
}

// The level a hop must reach under the profile.
const boundaryOf = (profile, th) => (profile.hopMedian === 'good' ? th.level.good : th.level.fair);

// entries: the judged units with their results ({...unit, result});
// options.evidence the records' evidence (diagnosisgather.js), may be
// missing. → {units, proposals, propagation, predictions, geometry,
// fixFirst, gainMargin}.
export function adviseAcceptance(entries, survey, { profile, th, regInfo, baseName, channels, evidence }) {
  const ev = evidenceFor(survey, evidence, th);
  const dips = dipsByGroup(entries);
  const ctx = { profile, th, regInfo, baseName, dips };
  const judged = entries.map(({ result, ...e }) => {
    const diagnosis = e.verdict === 'fail' ? diagnoseUnit(e.findings, result, ev, ctx) : null;
    const { work, margin } = unitRemedies(diagnosis, e.findings, { groupName: e.groupName, channels });
    return { ...e, diagnosis, remedies: work, marginRemedies: margin };
  });
  const baseKey = survey.prov && survey.prov.base ? serialKey(survey.prov.base.serial) : 'base';
  const hops = failingHops(judged, baseKey);
  const proposals = hops.length ? proposeRepeaters({ geo: ev.geo, fit: ev.fit, hops, boundary: boundaryOf(profile, th) }) : [];
  const units = withProposals(judged, proposals);
  const lists = actionLists(units);
  return {
    units: withActionUnits(units, lists.fixFirst),
    proposals,
    propagation: fitSummary(ev.fit),
    predictions: ev.predictions,
    evidenceGathered: Boolean(evidence),
    geometry: { missing: ev.geo ? geometryMissing(ev.geo) : 'noPlan' },
    ...lists,
  };
}

// The ranked lists again after the waivers changed.
export function reRanked(units) {
  const lists = actionLists(units);
  return { units: withActionUnits(units, lists.fixFirst), ...lists };
}
