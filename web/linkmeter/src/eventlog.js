// The base unit's event log (ELOGS): the table's rows, its filter and CSV.

// A log time: seconds as a number, or decimal text when too large for one.
export function logSeconds(value) {
  const n = typeof value === 'number' ? value : Number(value);
  return Number.isFinite(n) ? n : null;
}

function pad(n, w = 2) {
  return String(n).padStart(w, '0');
}

// The unit's own local time as it records it: seconds already shifted to
// its zone, so read with UTC fields. Times beyond what a date can show are
// given as their seconds.
export function logTimeText(value) {
  const s = logSeconds(value);
  if (s === null) return String(value);
  const d = new Date(s * 1000);
  if (Number.isNaN(d.getTime())) return String(value);
  return `${d.getUTCFullYear()}-${pad(d.getUTCMonth() + 1)}-${pad(d.getUTCDate())} ` +
    `${pad(d.getUTCHours())}:${pad(d.getUTCMinutes())}:${pad(d.getUTCSeconds())}`;
}

// Seconds a date can show (up to the year 275760); others sort last.
function sortKey(value) {
  const s = logSeconds(value);
  return s !== null && Math.abs(s) <= 8.64e12 ? s : -Infinity;
}

// Newest first, as a technician reads a log; times that are no date last,
// in the unit's order.
export function logRows(logs) {
  return (logs || [])
    .map((l) => ({ time: logTimeText(l.localtime), utc: l.utctime, category: l.category, number: l.number, text: l.str || '' }))
    .sort((a, b) => {
      const ka = sortKey(a.utc);
      const kb = sortKey(b.utc);
      return ka === kb ? 0 : kb > ka ? 1 : -1;
    });
}

// Rows that hold every word of `text` (in the time, number or text, any
// case) and, when given, the category.
export function filterLogs(rows, { text = '', category = null } = {}) {
  const words = String(text).toLowerCase().split(/\s+/).filter(Boolean);
  return rows.filter((r) => {
    if (category !== null && category !== '' && r.category !== Number(category)) return false;
    const hay = `${r.time} ${r.number} ${r.text}`.toLowerCase();
    return words.every((w) => hay.includes(w));
  });
}

export const LOG_HEADER = ['time', 'utc', 'category', 'number', 'text'];

export function logTable(rows) {
  return { header: LOG_HEADER, rows: rows.map((r) => [r.time, String(r.utc), r.category, r.number, r.text]) };
}

export function categories(rows) {
  return [...new Set(rows.map((r) => r.category))].sort((a, b) => a - b);
}
