// The monitor's alarm events (linkmeter.records.alarmTimeline) as the list
// History shows: one row per raise with what followed it, newest first.

// "009A0011/silent-repeater/00C80102" -> {site, rule, subject}.
export function alarmKeyParts(key) {
  const [site = '', rule = '', subject = ''] = String(key || '').split('/');
  return { site, rule, subject };
}

// Rows {raisedId, key, rule, subject, startedAt, endedAt, ackedAt,
// flapping, summary, unreachable}; events of a raise outside the span
// read (its raise older than `from`) are left out.
export function alarmRows(events) {
  const rows = new Map();
  for (const e of events || []) {
    if (e.kind === 'raised') {
      const { rule, subject } = alarmKeyParts(e.key);
      const unreachable = (e.detail && Array.isArray(e.detail.unreachable)) ? e.detail.unreachable : [];
      rows.set(e.id, { raisedId: e.id, key: e.key, rule, subject, startedAt: e.at, endedAt: null, ackedAt: null,
        flapping: false, summary: e.summary, unreachable });
      continue;
    }
    const row = rows.get(e.raisedId);
    if (!row) continue;
    if (e.kind === 'resolved') row.endedAt = e.at;
    else if (e.kind === 'ack') row.ackedAt = e.at;
    else if (e.kind === 'flapping') row.flapping = true;
    else if (e.kind === 'stable') row.flapping = false;
  }
  return [...rows.values()].sort((a, b) => b.startedAt - a.startedAt || b.raisedId - a.raisedId);
}
