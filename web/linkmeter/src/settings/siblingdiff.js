// A registration next to the one the sibling application keeps: every
// repeater and remote unit by serial number, with what differs.
const UNIT_MEMBERS = ['name', 'num', 'parent', 'model', 'group'];

function units(reg) {
  const map = new Map();
  (reg && Array.isArray(reg.groups) ? reg.groups : []).forEach((g, gi) => {
    for (const r of g.repeaters || []) map.set(r.serial, { kind: 'repeater', serial: r.serial, num: r.num, parent: r.parent, group: g.name ?? gi, name: '', model: '' });
    for (const u of g.remoteUnits || []) map.set(u.serial, { kind: 'remote', serial: u.serial, num: u.num, parent: u.parent, group: g.name ?? gi, name: u.name ?? '', model: u.model ?? '' });
  });
  return map;
}

// [{serial, kind, status: same | changed | unitOnly | siblingOnly, unit,
//   sibling, differs: [member]}], in serial order.
export function compareRegistrations(unitReg, siblingReg) {
  const a = units(unitReg);
  const b = units(siblingReg);
  const rows = [];
  for (const serial of [...new Set([...a.keys(), ...b.keys()])].sort()) {
    const x = a.get(serial);
    const y = b.get(serial);
    if (!x || !y) {
      rows.push({ serial, kind: (x || y).kind, status: x ? 'unitOnly' : 'siblingOnly', unit: x || null, sibling: y || null, differs: [] });
      continue;
    }
    const differs = UNIT_MEMBERS.filter((m) => String(x[m]) !== String(y[m]));
    rows.push({ serial, kind: x.kind, status: differs.length ? 'changed' : 'same', unit: x, sibling: y, differs });
  }
  return rows;
}

// Counts of each status, for the summary line.
export function compareSummary(rows) {
  const n = { same: 0, changed: 0, unitOnly: 0, siblingOnly: 0 };
  for (const r of rows) n[r.status] += 1;
  return n;
}
