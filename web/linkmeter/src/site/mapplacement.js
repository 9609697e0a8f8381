// Where the units of a site stand on its plans. A position is never changed
// in place: every drag, every "planned" mark and every removal is an edit of
// its own with its time and who made it, and the positions at any moment are
// what the edits up to then leave. A visit's map is the edits up to that
// visit's end; History lists the edits themselves. Pure logic, no DOM.
import { serialKey } from './compare.js';
import { labelOf } from './names.js';
import { PLAN_ACTIONS, planEditProblem } from './mapplans.js';
import { editOrder, inOrder } from './editorder.js';

export { editOrder };

// An edit: {at (ms), by, action, serial, plan, x, y}. `place` puts an
// installed unit at (x, y) of `plan` (plan coordinates, pixels of the plan's
// image), `plan` marks where a unit not yet installed will go, `unplace`
// sends it back to the tray.
export const EDIT_ACTIONS = ['place', 'plan', 'unplace'];
const STATE_OF = { place: 'placed', plan: 'planned' };

const finite = (v) => typeof v === 'number' && Number.isFinite(v);

// Why an edit cannot be kept, or null.
export function editProblem(e) {
  if (!e || !EDIT_ACTIONS.includes(e.action)) return 'action';
  if (!finite(e.at)) return 'time';
  if (!serialKey(e.serial)) return 'serial';
  if (e.action === 'unplace') return null;
  if (typeof e.plan !== 'string' || !e.plan) return 'plan';
  if (!finite(e.x) || !finite(e.y) || e.x < 0 || e.y < 0) return 'position';
  return null;
}


// serial key → {serial, plan, x, y, state ('placed' | 'planned'), at, by}:
// the positions the edits up to `until` (ms, inclusive; all when omitted)
// leave. Edits that cannot be used are passed over.
export function positionsAt(edits, until = Infinity) {
  const positions = new Map();
  for (const e of inOrder(edits || [])) {
    if (e.at > until || editProblem(e)) continue;
    const key = serialKey(e.serial);
    if (e.action === 'unplace') positions.delete(key);
    else positions.set(key, { serial: key, plan: e.plan, x: e.x, y: e.y, state: STATE_OF[e.action], at: e.at, by: e.by || '' });
  }
  return positions;
}

// Every unit the map can show, from the registration in use: the base unit
// (its serial from the registration's provenance), then each group's
// repeaters and remote units. {key, serial, label, kind, group, num, parent}.
export function mapUnits(regInfo, baseSerial) {
  const units = [];
  if (baseSerial) units.push({ key: serialKey(baseSerial), serial: serialKey(baseSerial), label: 'BASE', kind: 'base', group: null, num: 0, parent: null });
  ((regInfo && regInfo.groups) || []).forEach((g, group) => {
    for (const [kind, list] of [['repeater', g.repeaters], ['remote', g.remoteUnits]]) {
      for (const u of list || []) {
        const serial = serialKey(u.serial);
        units.push({ key: serial || `${group}:${kind}${u.num}`, serial, label: labelOf(group, kind, u.num, u.name), kind, group, num: u.num, parent: u.parent || 0 });
      }
    }
  });
  return units;
}

// The units of `units` not on any plan: the tray.
export const trayUnits = (units, positions) => units.filter((u) => !positions.has(u.key));

// The units on plan `planId`, each with its position.
export const unitsOnPlan = (units, positions, planId) =>
  units.filter((u) => positions.get(u.key) && positions.get(u.key).plan === planId).map((u) => ({ ...u, at: positions.get(u.key) }));

// Units whose place differs between two sets of positions: moved on a plan,
// moved to another plan, placed or sent back to the tray. {serial, before,
// after} (null for a side without a position). A planned unit marked
// installed where it stood has not moved.
export function movedUnits(before, after) {
  const moved = [];
  for (const key of new Set([...before.keys(), ...after.keys()])) {
    const b = before.get(key) || null;
    const a = after.get(key) || null;
    if (b && a && b.plan === a.plan && b.x === a.x && b.y === a.y) continue;
    moved.push({ serial: key, before: b, after: a });
  }
  return moved;
}

// The edits as History lists them, last applied first: who did what to
// which unit or plan (renamed, hidden, removed), when (`sent` false: not
// taken by the team server yet).
export function editHistory(edits) {
  return inOrder((edits || []).filter((e) => !editProblem(e) || !planEditProblem(e))).reverse()
    .map((e) => PLAN_ACTIONS.includes(e.action)
      ? { at: e.at, by: e.by || '', sent: e.sent !== false, action: e.action, serial: null, plan: e.plan, name: e.name, hidden: e.hidden }
      : { at: e.at, by: e.by || '', sent: e.sent !== false, action: e.action, serial: serialKey(e.serial), plan: e.plan || null, x: e.x, y: e.y });
}
