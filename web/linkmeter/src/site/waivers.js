// Waivers of failing units, kept with the visit as records that never
// change: a waiver names a unit and a reason; a withdrawal names the
// waiver it withdraws. What is in force is worked out from all of them.

export const REASON_MAX = 500;

// Why a waiver cannot be recorded, or null.
export function waiverProblem(w) {
  if (!w || typeof w.serial !== 'string' || !w.serial) return 'unit';
  if (typeof w.reason !== 'string' || !w.reason.trim()) return 'reason';
  if (w.reason.length > REASON_MAX) return 'reasonLength';
  return null;
}

// The record of a new waiver: {action: 'waive', serial, label, reason, at}.
export function waiverRecord({ serial, label = '', reason, at = Date.now() }) {
  const problem = waiverProblem({ serial, reason });
  if (problem) throw new RangeError('waiver: ' + problem);
  return { action: 'waive', serial, label, reason: reason.trim(), at };
}

// The record that withdraws waiver `id`.
export const withdrawalRecord = ({ id, serial, at = Date.now() }) => ({ action: 'withdraw', withdraws: id, serial, at });

// Map serial → the newest waiver in force ({id, serial, label, reason, at})
// from waiver and withdrawal records ({id, ...record}) in any order.
export function waiversInForce(records) {
  const list = [...(records || [])].sort((a, b) => a.at - b.at);
  const withdrawn = new Set(list.filter((r) => r.action === 'withdraw').map((r) => r.withdraws));
  const out = new Map();
  for (const r of list) {
    if (r.action === 'waive' && !withdrawn.has(r.id) && !waiverProblem(r)) out.set(r.serial, r);
  }
  return out;
}
