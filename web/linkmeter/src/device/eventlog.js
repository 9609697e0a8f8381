// The base unit's event log (ELOGS): the table's rows, its filter and CSV.
import { t } from '../i18n/i18n.js';
import { timeText, utcTimeText, pad2 } from '../ui/formats.js';

// A log time: seconds as a number, or decimal text when too large for one.
export function logSeconds(value) {
  const n = typeof value === 'number' ? value : Number(value);
  return Number.isFinite(n) ? n : null;
}

const fitsDate = (s) => s !== null && Math.abs(s) <= 8.64e12;

// The unit's own local time as it records it: seconds already shifted to
// its zone, so read with UTC fields. Times beyond what a date can show are
// given as their seconds.
export function logTimeText(value) {
  const s = logSeconds(value);
  return fitsDate(s) ? utcTimeText(s * 1000) : String(value);
}

// The record's UTC time in this computer's time zone.
export function computerTimeText(utc) {
  const s = logSeconds(utc);
  return fitsDate(s) ? timeText(new Date(s * 1000)) : String(utc);
}

// "UTC+09:00": how far the unit's local clock is set from UTC; empty when
// either time is not a date.
export function offsetText(utc, local) {
  const u = logSeconds(utc);
  const l = logSeconds(local);
  if (!fitsDate(u) || !fitsDate(l)) return '';
  const minutes = Math.round((l - u) / 60);
  const sign = minutes < 0 ? '-' : '+';
  const m = Math.abs(minutes);
  return `UTC${sign}${pad2(Math.floor(m / 60))}:${pad2(m % 60)}`;
}

// Seconds a date can show (up to the year 275760); others sort last.
function sortKey(value) {
  const s = logSeconds(value);
  return fitsDate(s) ? s : -Infinity;
}

// Newest first, as a technician reads a log; times that are no date last,
// in the unit's order. `time` is this computer's, `unitTime` the unit's own
// local clock with its `offset`.
export function logRows(logs) {
  return (logs || [])
    .map((l) => ({ time: computerTimeText(l.utctime), unitTime: logTimeText(l.localtime), offset: offsetText(l.utctime, l.localtime),
      utc: l.utctime, category: l.category, number: l.number, text: l.str || '' }))
    .sort((a, b) => {
      const ka = sortKey(a.utc);
      const kb = sortKey(b.utc);
      return ka === kb ? 0 : kb > ka ? 1 : -1;
    });
}

// The category in words ("Power and restarts (1)"); one the page does not
// know keeps its number.
export function categoryText(category) {
  const key = 'log.cat.' + category;
  const name = t(key);
  return name === key ? t('log.catOther', { n: category }) : `${name} (${category})`;
}

// Rows that hold every word of `text` (in either time, the number, the
// text or the category's name, any case) and, when given, the category.
export function filterLogs(rows, { text = '', category = null } = {}) {
  const words = String(text).toLowerCase().split(/\s+/).filter(Boolean);
  return rows.filter((r) => {
    if (category !== null && category !== '' && r.category !== Number(category)) return false;
    const hay = `${r.time} ${r.unitTime} ${r.number} ${r.text} ${categoryText(r.category)}`.toLowerCase();
    return words.every((w) => hay.includes(w));
  });
}

export const LOG_HEADER = ['time (this computer)', 'unit local time', 'unit utc offset', 'utc', 'category', 'number', 'text'];

export function logTable(rows) {
  return { header: LOG_HEADER, rows: rows.map((r) => [r.time, r.unitTime, r.offset, String(r.utc), r.category, r.number, r.text]) };
}

export function categories(rows) {
  return [...new Set(rows.map((r) => r.category))].sort((a, b) => a - b);
}
