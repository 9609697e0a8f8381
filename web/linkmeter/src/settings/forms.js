// Settings forms from the catalogue's write checks (the "catalogue-rules"
// JSON made at build time): which field a key gets, whether a value passes
// before anything is sent, and which keys a write must carry.

// The device code page (CP932). Its double-byte characters are learnt once
// from the engine's Shift_JIS decoder (the same table), plus the
// characters the program's converter also takes for a neighbour
// ("—" for "―", "〜" for "～", "−" for "－", "¢", "£", "¥", "¬", "‖", "‾").
const CP932_ALIASES = [0x2014, 0x2016, 0x203e, 0x2212, 0x301c, 0xa2, 0xa3, 0xa5, 0xac];
let doubleBytes = null;
function doubleByteSet() {
  if (doubleBytes) return doubleBytes;
  doubleBytes = new Set(CP932_ALIASES);
  let decoder = null;
  try {
    decoder = new TextDecoder('shift_jis', { fatal: true });
  } catch (e) {
    return (doubleBytes = null); // no table: only what is surely outside is refused
  }
  const pair = new Uint8Array(2);
  for (let lead = 0x81; lead <= 0xfc; lead++) {
    if (lead >= 0xa0 && lead < 0xe0) continue;
    pair[0] = lead;
    for (let trail = 0x40; trail <= 0xfc; trail++) {
      if (trail === 0x7f) continue;
      pair[1] = trail;
      try {
        doubleBytes.add(decoder.decode(pair).codePointAt(0));
      } catch (e) { /* no character there */ }
    }
  }
  return doubleBytes;
}

// Bytes one character takes in CP932: 1 (ASCII, half-width katakana), 2,
// or 0 when the code page has no form for it.
export function cp932Bytes(ch) {
  const c = ch.codePointAt(0);
  if (c < 0x80 || (c >= 0xff61 && c <= 0xff9f)) return 1;
  if (c > 0xffff || (c >= 0xd800 && c <= 0xdfff)) return 0;
  const set = doubleByteSet();
  return !set || set.has(c) ? 2 : 0;
}

// The first character of `text` the unit cannot store, or null.
export function unstorableChar(text) {
  for (const ch of String(text)) if (!cp932Bytes(ch)) return ch;
  return null;
}

// "U+2013": how a character is named when it cannot be shown plainly.
export const codePointName = (ch) => 'U+' + ch.codePointAt(0).toString(16).toUpperCase().padStart(4, '0');

// The message parameters naming a character that cannot be stored.
export const charsetParams = (ch) => ({ char: ch, code: codePointName(ch) });

// Bytes of a text in the device code page; -1 when a character has no
// CP932 form at all.
export function ansiLength(text) {
  let n = 0;
  for (const ch of String(text)) {
    const b = cp932Bytes(ch);
    if (!b) return -1;
    n += b;
  }
  return n;
}

const INT_MIN = -2147483648;
const INT_MAX = 2147483647;
const within = (check, n) => (check.lo === null || check.lo === undefined || n >= check.lo) &&
  (check.hi === null || check.hi === undefined || n <= check.hi);

// The kind of input a key gets on a form.
export function fieldKind(arg) {
  const c = arg.check || {};
  if (arg.reader === 'integer') return c.kind === 'range' && c.lo === 0 && c.hi === 1 ? 'switch' : 'number';
  if (arg.reader === 'text') return c.kind === 'words' ? 'choice' : 'text';
  if (arg.reader === 'bytes') return 'bytes';
  return Array.isArray(arg.members) ? 'members' : 'none';
}

// Why `value` cannot be sent for `arg`: null when it passes, else
// {code, rule} — code as the program would answer (-2 wrong kind, 0 outside
// what the key accepts), rule a message key with its parameters.
export function checkValue(arg, value) {
  const c = arg.check || { kind: 'any' };
  if (arg.reader === 'integer') {
    if (!Number.isInteger(value) || value < INT_MIN || value > INT_MAX) return { code: -2, rule: ['form.integer'] };
    if (c.kind === 'range' && !within(c, value)) return { code: 0, rule: rangeRule(c) };
    return null;
  }
  if (arg.reader === 'bytes') {
    if (!Array.isArray(value) || !value.every((b) => Number.isInteger(b) && b >= 0 && b <= 255)) return { code: -2, rule: ['form.bytes'] };
    if (c.kind === 'length' && !within(c, value.length)) return { code: 0, rule: lengthRule(c) };
    return null;
  }
  if (arg.reader === 'text') {
    if (typeof value !== 'string') return { code: -2, rule: ['form.text'] };
    const n = ansiLength(value);
    if (n < 0) return { code: -2, rule: ['form.charset', charsetParams(unstorableChar(value))] };
    if (c.kind === 'length' && !within(c, n)) return { code: 0, rule: lengthRule(c) };
    if (c.kind === 'words' && !c.words.includes(value)) return { code: 0, rule: ['form.words', { words: c.words.join(', ') }] };
    return null;
  }
  if (Array.isArray(arg.members)) return checkMembers(arg.members, value);
  return null;
}

function checkMembers(members, value) {
  if (!value || typeof value !== 'object') return { code: -2, rule: ['form.object'] };
  for (const m of members) {
    const v = value[m.name];
    if (!Number.isInteger(v) || v < m.lo || v > m.hi) return { code: 0, rule: ['form.member', { name: m.name, lo: m.lo, hi: m.hi }] };
  }
  return null;
}

function rangeRule(c) {
  if (c.hi === null || c.hi === undefined) return ['form.atLeast', { lo: c.lo }];
  return ['form.range', { lo: c.lo, hi: c.hi }];
}

function lengthRule(c) {
  if (c.lo === c.hi) return ['form.exactly', { n: c.lo }];
  if (c.hi === null || c.hi === undefined) return ['form.minBytes', { lo: c.lo }];
  if (!c.lo) return ['form.maxBytes', { hi: c.hi }];
  return ['form.bytesRange', { lo: c.lo, hi: c.hi }];
}

// Checks every key of a write in the catalogue's reading order: {key:
// problem} for each key that would be refused; required keys missing get
// code -1.
export function checkWrite(row, values) {
  const problems = {};
  for (const arg of row.args) {
    if (!(arg.key in values) || values[arg.key] === undefined) {
      if (arg.need === 'required') problems[arg.key] = { code: -1, rule: ['form.required'] };
      continue;
    }
    const problem = checkValue(arg, values[arg.key]);
    if (problem) problems[arg.key] = problem;
  }
  return problems;
}

const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);

// The keys of `edited` whose values differ from what was read: a write
// sends only the keys it is given, so unchanged settings stay untouched.
export function changedValues(read, edited) {
  const out = {};
  for (const [key, value] of Object.entries(edited)) {
    if (value !== undefined && !same(read ? read[key] : undefined, value)) out[key] = value;
  }
  return out;
}

// What a read-back shows against what was written: one entry per written
// key, `ok` when the unit now holds the written value.
export function compareReadBack(written, readBack) {
  return Object.entries(written).map(([key, value]) => ({
    key, written: value, read: readBack ? readBack[key] : undefined, ok: same(value, readBack ? readBack[key] : undefined),
  }));
}

// A form's text for a value read from the unit, and back.
export function valueText(arg, value) {
  if (value === undefined || value === null) return '';
  if (arg.reader === 'bytes') return Array.isArray(value) ? value.map((b) => b.toString(16).toUpperCase().padStart(2, '0')).join(' ') : '';
  return String(value);
}

// Parses a form's text for `arg`; returns the value, or a text the check
// then refuses with the right message (a number field with letters in it).
export function parseText(arg, text) {
  const s = String(text).trim();
  if (arg.reader === 'integer') return /^[-+]?\d+$/.test(s) ? Number(s) : s;
  if (arg.reader === 'bytes') {
    if (s === '') return [];
    const parts = s.split(/[\s,]+/);
    return parts.every((p) => /^[0-9a-f]{1,2}$/i.test(p)) ? parts.map((p) => parseInt(p, 16)) : s;
  }
  return String(text);
}

// Keys whose write can cut the connection to a base unit reached over the
// network: its address settings, its LAN password, and its wireless LAN
// (the page cannot tell whether the unit is reached through it).
export const LINK_KEYS = ['IP', 'MASK', 'GW', 'DNS1', 'DNS2', 'DHCP', 'PW', 'CH', 'SSID', 'SEC', 'WEP', 'PSK'];

// What a write of a settings block would do: the changed keys, the
// problems found (the catalogue's checks, then the forms of addresses,
// ports, host names and e-mails, then those between network keys), and
// whether the technician must confirm it first (a LAN unit's own link).
export function planWrite(row, read, edited, { unit = null, checks = {} } = {}) {
  const changed = changedValues(read, edited);
  const problems = {};
  for (const [key, p] of Object.entries(checkWrite({ args: row.args }, changed))) problems[key] = p.rule;
  for (const key of Object.keys(changed)) {
    const rule = !problems[key] && checks.form ? checks.form(key, changed[key]) : null;
    if (rule) problems[key] = rule;
  }
  if (checks.network && row.args.some((a) => a.key === 'IP')) {
    for (const [key, rule] of Object.entries(checks.network({ ...read, ...changed }))) {
      if (key in changed && !problems[key]) problems[key] = rule;
    }
  }
  const linkKeys = Object.keys(changed).filter((k) => LINK_KEYS.includes(k));
  const ok = Object.keys(problems).length === 0;
  const confirm = ok && unit && Number(unit.com) === 2 && linkKeys.length ? linkKeys : null;
  return { changed, problems, confirm };
}
