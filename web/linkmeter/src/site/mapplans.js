// A site's plans as the map's edits leave them: renamed, hidden from the
// customer's report, or removed. Each change is a map edit like a unit's
// move (actions plan-rename, plan-hide, plan-remove), kept on the visit it
// was made in, so History, an export and the team server carry it and a
// past visit's map shows the plans as they were then. Pure logic, no DOM.
import { inOrder } from './editorder.js';

export const PLAN_ACTIONS = ['plan-rename', 'plan-hide', 'plan-remove'];
export const PLAN_NAME_MAX = 80;

const finite = (v) => typeof v === 'number' && Number.isFinite(v);

// Why a plan edit cannot be kept, or null.
export function planEditProblem(e) {
  if (!e || !PLAN_ACTIONS.includes(e.action)) return 'action';
  if (!finite(e.at)) return 'time';
  if (typeof e.plan !== 'string' || !e.plan) return 'plan';
  if (e.action === 'plan-rename') return nameProblem(e.name);
  if (e.action === 'plan-hide' && typeof e.hidden !== 'boolean') return 'hidden';
  return null;
}

// Why `name` cannot name a plan ('name' empty, 'long'), or null.
export function nameProblem(name) {
  const text = typeof name === 'string' ? name.trim() : '';
  if (!text) return 'name';
  return text.length > PLAN_NAME_MAX ? 'long' : null;
}

// The edits of each change to plan `plan` ({id}); `at` is added when kept.
export const renameEdit = (plan, name) => ({ action: 'plan-rename', plan: plan.id, name: String(name).trim() });
export const hideEdit = (plan, hidden) => ({ action: 'plan-hide', plan: plan.id, hidden: Boolean(hidden) });
export const removeEdit = (plan) => ({ action: 'plan-remove', plan: plan.id });

// plans: one per image as kept ({id, name, at, addedAt: [ms, ...] when the
// same image was kept more than once}); edits: the site's map edits. → the
// plans in force at `until` (ms, inclusive), in the order they were added,
// each with its name as last renamed and `hidden`; a removed plan is left
// out unless its image was added again after the removal.
export function plansInForce(plans, edits, until = Infinity) {
  const state = new Map();
  for (const p of plans || []) {
    const added = (p.addedAt && p.addedAt.length ? p.addedAt : [p.at]).filter((at) => !(at > until));
    if (added.length) state.set(p.id, { plan: { ...p, hidden: false }, added, removedAt: null });
  }
  const ordered = inOrder((edits || []).filter((e) => !(e.at > until) && !planEditProblem(e)));
  for (const e of ordered) {
    const s = state.get(e.plan);
    if (!s) continue;
    if (e.action === 'plan-rename') s.plan.name = e.name.trim();
    else if (e.action === 'plan-hide') s.plan.hidden = e.hidden;
    else s.removedAt = e.at;
  }
  const kept = [...state.values()].filter((s) => s.removedAt === null || s.added.some((at) => at > s.removedAt));
  return kept.map((s) => {
    const { addedAt, ...plan } = s.plan;
    return plan;
  });
}

// The positions on plans of `plans` (the plans in force): a unit on a
// removed plan is back in the tray.
export function onPlans(positions, plans) {
  const ids = new Set((plans || []).map((p) => p.id));
  return new Map([...positions].filter(([, at]) => ids.has(at.plan)));
}

// Whether a plan gets a page of the customer's report: not hidden, and
// with at least one unit of the report's survey drawn on it.
export const printsPage = (plan, pins) => !plan.hidden && pins.length > 0;
