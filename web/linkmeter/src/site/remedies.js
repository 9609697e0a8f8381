// What the technician does about a failing unit, following its cause, as
// data: a kind, the unit, hop or group it acts on, a key that is the same
// for every unit one action fixes, and its cost rank. Warnings' advice (a
// fair hop, a loaded repeater) is kept apart as what gains margin. The
// words are in the message tables ('acceptance.remedy.<kind>');
// docs/acceptance.md says what each means.

// Cheapest first: measure again, a battery, a look at the unit, an antenna,
// the group's channel, moving a repeater, adding one.
export const REMEDY_COST = Object.freeze({
  surveyAgain: 0, moreProbes: 0, replaceBattery: 1, checkUnit: 2, raiseAntenna: 3, raiseRepeater: 3,
  changeChannel: 4, moveRepeater: 5, addRepeater: 6, shareRepeater: 6,
});

const keyOf = (r) => {
  switch (r.kind) {
    case 'checkUnit': return `checkUnit:${r.unit}`;
    case 'replaceBattery':
    case 'raiseAntenna':
    case 'raiseRepeater': return `${r.kind}:${r.unit}`;
    case 'changeChannel': return `changeChannel:${r.group}`;
    case 'addRepeater': return `addRepeater:${r.from}>${r.to}`;
    case 'shareRepeater': return `shareRepeater:${r.repeater}`;
    case 'moveRepeater': return `moveRepeater:${r.group}`;
    default: return r.kind;
  }
};

export const remedy = (kind, params = {}) => {
  const r = { kind, ...params };
  return { ...r, key: keyOf(r), cost: REMEDY_COST[kind] };
};

// A hop too weak, judged without a cause: the antenna of the unit it
// reaches (the repeater itself when that unit is one), or a repeater
// between its two ends for a hop that fell through the floor.
function linkRemedy(f) {
  if (f.silent || f.cls === 'bad') return remedy('addRepeater', { from: f.from, to: f.to });
  return remedy(f.toKind === 'repeater' ? 'raiseRepeater' : 'raiseAntenna', { unit: f.to });
}

const antenna = (d) => remedy(d.toKind === 'repeater' ? 'raiseRepeater' : 'raiseAntenna', { unit: d.hop.to });

// The work a cause asks. ctx: {groupName, group, channels (the channel
// advice's recommendation, may be empty)}.
function causeRemedies(d, findings, ctx) {
  const channel = () => remedy('changeChannel', { group: ctx.groupName, channels: ctx.channels.join(', ') });
  switch (d.cause) {
    case 'unitSilent':
    case 'parentSilent': return [remedy('checkUnit', { unit: d.unit })];
    case 'outOfRange': return [remedy('addRepeater', { from: d.hop.from, to: d.hop.to })];
    // Height or a clear line past the obstacle first; a repeater around it
    // is the alternative when that is not enough.
    case 'obstructed': return [antenna(d), { ...remedy('addRepeater', { from: d.hop.from, to: d.hop.to }), alternative: true }];
    case 'interference': return [channel()];
    case 'tooManyHops': return [];
    case 'batteryLow': return [];
    default: break;
  }
  const fails = findings.filter((f) => f.severity === 'fail');
  const first = fails[0];
  if (d.silent) return [remedy('checkUnit', { unit: d.unit })];
  if (d.weak) return [linkRemedy(fails.filter((f) => f.rule === 'median').sort((a, b) => a.level - b.level)[0])];
  if (d.dips) return [channel()];
  if (first && first.rule === 'complete') return [remedy('surveyAgain')];
  return [];
}

// Work every failing finding asks whatever the cause: batteries, hops and
// the probes a verdict needs.
function findingRemedies(findings, ctx) {
  const out = [];
  for (const f of findings.filter((x) => x.severity === 'fail')) {
    if (f.rule === 'battery') out.push(remedy('replaceBattery', { unit: f.unit }));
    if (f.rule === 'hops') out.push(remedy('moveRepeater', { group: ctx.groupName, max: f.max }));
    if (f.rule === 'probes') out.push(remedy('moreProbes', { probes: f.needed }));
  }
  return out;
}

// What gains margin: a hop only fair, a repeater carrying many units.
function marginRemedy(f) {
  if (f.rule === 'margin') return remedy(f.toKind === 'repeater' ? 'raiseRepeater' : 'raiseAntenna', { unit: f.to });
  if (f.rule === 'repeaterLoad') return remedy('shareRepeater', { repeater: f.repeater, count: f.count });
  return null;
}

function once(list) {
  const seen = new Set();
  return list.filter((r) => r && !seen.has(r.key) && seen.add(r.key));
}

// {work, margin}: what a failing unit needs (cheapest first, each once,
// alternatives last) and what would give any unit more margin.
export function unitRemedies(diagnosis, findings, ctx) {
  const work = diagnosis ? once([...findingRemedies(findings, ctx), ...causeRemedies(diagnosis, findings, ctx)]) : [];
  work.sort((a, b) => Boolean(a.alternative) - Boolean(b.alternative) || a.cost - b.cost);
  const taken = new Set(work.map((r) => r.key));
  const margin = once(findings.filter((f) => f.severity === 'warn').map(marginRemedy)).filter((r) => !taken.has(r.key));
  return { work, margin };
}
