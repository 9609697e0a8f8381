// "Fix these first": the work of every failing unit not waived, each action
// once with every unit it fixes (one repeater for three units, one channel
// for a whole group), cheapest first and, at the same cost, the action that
// fixes most units first. What only gains margin is a list of its own, and
// a waived unit's remedies are not work. Pure logic.

// The actions of `list(unit)` over `units`, grouped by key: [{...remedy,
// units: [label], serials: [serial]}], ranked.
function grouped(units, list) {
  const byKey = new Map();
  units.forEach((u, order) => {
    for (const r of list(u)) {
      if (!byKey.has(r.key)) byKey.set(r.key, { ...r, units: [], serials: [], order });
      const g = byKey.get(r.key);
      if (!g.serials.includes(u.serial)) {
        g.units.push(u.label);
        g.serials.push(u.serial);
      }
    }
  });
  return [...byKey.values()]
    .sort((a, b) => a.cost - b.cost || b.units.length - a.units.length || a.order - b.order)
    .map(({ order, ...g }) => g);
}

const work = (u) => (u.verdict === 'fail' && !u.waiver ? u.remedies.filter((r) => !r.alternative) : []);

// {fixFirst, gainMargin}: the ranked work, and the ranked advice for margin
// (an action already in the work is not repeated there).
export function actionLists(units) {
  const fixFirst = grouped(units, work);
  const taken = new Set(fixFirst.map((a) => a.key));
  const gainMargin = grouped(units.filter((u) => !u.waiver), (u) => (u.marginRemedies || []).filter((r) => !taken.has(r.key)));
  return { fixFirst, gainMargin };
}

// Every remedy of every unit told which units the same action fixes.
export function withActionUnits(units, fixFirst) {
  const byKey = new Map(fixFirst.map((a) => [a.key, a]));
  return units.map((u) => ({
    ...u,
    remedies: u.remedies.map((r) => {
      const a = byKey.get(r.key);
      return { ...r, units: a ? a.units : [u.label] };
    }),
  }));
}
