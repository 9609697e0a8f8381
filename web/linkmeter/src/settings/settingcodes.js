// Settings stored as codes, shown by name: the same key gets the same list
// of names in every block, cut to the codes the block's write accepts.
// Names are message keys; the code stays visible beside its name.

const CODES = {
  SEC: [0, 1, 2, 3, 4],
  ROUTE: [0, 1, 2],
  UNITS: [0, 1],
  SYNC: [0, 1, 2],
  MAIL: [0, 1],
  FTP: [0, 1],
};

// The codes a key is shown by name for, within the write's range; null
// for keys that are not codes.
export function codeChoices(arg) {
  const codes = CODES[arg.key];
  if (!codes || arg.reader !== 'integer') return null;
  const c = arg.check || {};
  return codes.filter((v) => (c.lo === undefined || c.lo === null || v >= c.lo) && (c.hi === undefined || c.hi === null || v <= c.hi))
    .map((value) => ({ value, name: `code.${arg.key}.${value}` }));
}

// The members of a scheduled event (EVTn) with their labels; `week` is
// shown by day name (0 every day, 1 Sunday … 7 Saturday).
export const EVENT_MEMBERS = {
  enable: { label: 'evt.enable' },
  week: { label: 'evt.week', names: (v) => `evt.day.${v}` },
  hour: { label: 'evt.hour' },
  minute: { label: 'evt.minute' },
};

// What a DST text says: 26 zeros is "no daylight saving".
export function dstMeaning(text) {
  if (typeof text !== 'string' || text === '') return null;
  return /^0+$/.test(text) ? 'dst.none' : 'dst.rule';
}
