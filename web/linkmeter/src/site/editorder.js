// The one order in which a site's map edits apply, for positions and plans
// alike. Pure logic.

// The order edits apply in: as the team server took them (their receipt
// numbers), then those it has not taken yet in the order the store kept them
// (recordId), then as given. No clock decides: an edit's time is whatever
// the computer that made it said.
export function editOrder(a, b) {
  const ra = typeof a.receipt === 'number' ? a.receipt : null;
  const rb = typeof b.receipt === 'number' ? b.receipt : null;
  if (ra !== null && rb !== null) return ra - rb;
  if (ra !== null || rb !== null) return ra !== null ? -1 : 1;
  // An edit made now, not yet kept, comes after every kept one.
  const ia = typeof a.recordId === 'number' ? a.recordId : Number.MAX_SAFE_INTEGER;
  const ib = typeof b.recordId === 'number' ? b.recordId : Number.MAX_SAFE_INTEGER;
  return ia - ib;
}

export const inOrder = (edits) => edits.map((e, i) => [e, i]).sort((a, b) => editOrder(a[0], b[0]) || a[1] - b[1]).map(([e]) => e);
