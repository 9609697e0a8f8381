// How a unit is named on the page, in the report and in exports: always
// with its group, so "R3" on a site where every group has an R3 says which
// one. A unit without a name gets its number, the same way everywhere.

// "G1" for the first group of the registration.
export function groupTag(groupIndex) {
  return Number.isInteger(groupIndex) && groupIndex >= 0 ? `G${groupIndex + 1}` : 'G?';
}

// Registration names are fixed-width fields: trailing blanks and NULs are
// padding, not part of the name.
function cleanName(name) {
  return typeof name === 'string' ? name.replace(/[\s\0]+$/u, '').trim() : '';
}

// A unit's own part of its label: "R3" for a repeater, its name or "#12"
// for a remote unit.
export function ownLabel(kind, num, name) {
  if (kind === 'repeater') return `R${num}`;
  return cleanName(name) || `#${num}`;
}

// "G1 TANK-A", "G1 R3", "G1 #12".
export function labelOf(groupIndex, kind, num, name) {
  return `${groupTag(groupIndex)} ${ownLabel(kind, num, name)}`;
}

// The label of unit `num` of kind 'remote' | 'repeater' in group
// `groupIndex` of `regInfo`, its name looked up there.
export function unitLabel(regInfo, groupIndex, kind, num) {
  const group = regInfo && Array.isArray(regInfo.groups) ? regInfo.groups[groupIndex] : null;
  const list = group ? (kind === 'repeater' ? group.repeaters : group.remoteUnits) : null;
  const unit = Array.isArray(list) ? list.find((u) => u.num === num) : null;
  return labelOf(groupIndex, kind, num, unit ? unit.name : '');
}

// Every repeater and remote unit of `regInfo` with the names the page shows
// it by (its label, then its own part: "G1 APPLE-2", "APPLE-2"; "G1 R3",
// "R3"): [{group, kind, num, serial, names}]. The command line's unit
// options take any of them.
export function namedUnits(regInfo) {
  const groups = regInfo && Array.isArray(regInfo.groups) ? regInfo.groups : [];
  return groups.flatMap((g, group) => [['repeater', g.repeaters], ['remote', g.remoteUnits]].flatMap(([kind, list]) =>
    (Array.isArray(list) ? list : []).map((u) => ({
      group, kind, num: u.num, serial: String(u.serial || ''),
      names: [labelOf(group, kind, u.num, u.name), ownLabel(kind, u.num, u.name)],
    }))));
}
