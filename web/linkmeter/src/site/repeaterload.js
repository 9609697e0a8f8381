// The units a repeater carries: every remote unit whose route goes through
// it, so the units stranded if it fails. From the registration alone.
import { labelOf } from './names.js';

export const repeaterKey = (group, num) => `${group}:${num}`;

// The repeater numbers on the way from `parent` up to the base unit; a loop
// or a missing repeater ends the walk (the route check reports those).
function chainOf(group, parent) {
  const chain = [];
  const seen = new Set();
  while (parent && !seen.has(parent)) {
    seen.add(parent);
    chain.push(parent);
    const r = (group.repeaters || []).find((x) => x.num === parent);
    if (!r) break;
    parent = r.parent;
  }
  return chain;
}

// Map repeaterKey → [{label, serial}] of the remote units behind it.
export function repeaterLoads(regInfo) {
  const loads = new Map();
  ((regInfo && regInfo.groups) || []).forEach((group, g) => {
    if (!group) return;
    for (const unit of group.remoteUnits || []) {
      for (const num of chainOf(group, unit.parent)) {
        const key = repeaterKey(g, num);
        if (!loads.has(key)) loads.set(key, []);
        loads.get(key).push({ label: labelOf(g, 'remote', unit.num, unit.name), serial: unit.serial || '' });
      }
    }
  });
  return loads;
}
