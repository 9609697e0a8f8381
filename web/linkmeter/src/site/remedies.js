// What the technician does about each finding, as data: a kind and the
// units it names. The words are in the message tables
// ('acceptance.remedy.<kind>'); docs/acceptance.md says what each means.

// A weak hop: raise or move the antenna of the unit it reaches (the
// repeater itself when that unit is a repeater). A hop that fell through
// the floor, or never answered, needs a repeater between its two ends.
function linkRemedy(f) {
  if (f.silent || f.cls === 'bad') return { kind: 'addRepeater', from: f.from, to: f.to };
  return { kind: f.toKind === 'repeater' ? 'raiseRepeater' : 'raiseAntenna', unit: f.to };
}

// channels: the channel advice's recommendation (may be empty: no scan).
function remedyOf(f, ctx) {
  switch (f.rule) {
    case 'complete': return { kind: 'surveyAgain' };
    case 'probes': return { kind: 'moreProbes', probes: f.needed };
    case 'median':
    case 'margin': return linkRemedy(f);
    // Dips below the weak boundary and lost probes with a good median are
    // interference rather than distance.
    case 'minimum':
    case 'loss': return { kind: 'changeChannel', group: ctx.groupName, channels: ctx.channels.join(', ') };
    case 'battery': return { kind: 'replaceBattery', unit: f.unit };
    case 'hops': return { kind: 'moveRepeater', max: f.max };
    case 'repeaterLoad': return { kind: 'shareRepeater', repeater: f.repeater, count: f.count };
    default: return null;
  }
}

const remedyKey = (r) => JSON.stringify(r);

// The remedies of a unit's findings, failures' first, each once.
export function remediesFor(findings, ctx) {
  const ordered = findings.filter((f) => f.severity === 'fail').concat(findings.filter((f) => f.severity !== 'fail'));
  const seen = new Set();
  const out = [];
  for (const f of ordered) {
    const r = remedyOf(f, ctx);
    if (!r || seen.has(remedyKey(r))) continue;
    seen.add(remedyKey(r));
    out.push(r);
  }
  return out;
}
