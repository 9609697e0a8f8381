// What the recorder keeps of each kind of answer, as the arguments of the
// site-records functions. Pure functions: no store, no api.
import { serialNumber, buildRoute, matchSignals } from '../device/route.js';

// Keys whose values are secrets (LAN, server and wireless passwords), as
// the command catalogue marks them (cataloguelists.js secretKeys): the
// records note that they were read or written, never their values. Whoever
// builds the program's recorder sets them first.
let secretKeys = new Set();
export function useSecretKeys(keys) {
  secretKeys = new Set(keys);
}
export const HIDDEN = Object.freeze({ hidden: true });
export const isSecret = (key) => secretKeys.has(key);

// Members of a device answer that say nothing about the unit's data.
const FRAME = new Set(['comInfo', 'cmdName', 'isSuccess', 'isCancel', 'isTimeout']);
// Members of a command's argument that address the unit, not settings.
const ADDRESS = new Set(['comInfo', 'CH', 'ID', 'RELAY', 'ROUTE', 'BAND', 'NUM']);

// A serial as the store keeps it (the unit's 8 hex digits as a number),
// or null when the text is not one.
export const serialKey = (text) => serialNumber(typeof text === 'number' ? text.toString(16) : text);

// The serial an 8-byte ID carries (bytes 4..7, little-endian).
export function idSerial(id) {
  if (!Array.isArray(id) || id.length !== 8) return null;
  return ((id[4] | (id[5] << 8) | (id[6] << 16)) >>> 0) + id[7] * 0x1000000;
}

function hideSecrets(object) {
  const out = {};
  for (const [k, v] of Object.entries(object)) out[k] = isSecret(k) ? HIDDEN : v;
  return out;
}

// An answer's data: without the frame members and the connection (which
// holds the LAN password), secrets hidden, also in `undecoded`.
export function answerData(answer) {
  const out = {};
  for (const [k, v] of Object.entries(answer || {})) {
    if (!FRAME.has(k)) out[k] = isSecret(k) ? HIDDEN : v;
  }
  if (out.undecoded && typeof out.undecoded === 'object') out.undecoded = hideSecrets(out.undecoded);
  return out;
}

// The unit a command reads: the far unit its ID names, else the base unit.
export function unitOf(arg) {
  if (arg && Array.isArray(arg.ID)) return idSerial(arg.ID);
  return serialKey(arg && arg.comInfo && arg.comInfo.serial);
}

// The read that shows what write `mnemonic` changes (WNETP → RNETP,
// EWSTW → EWSTR), or null for a command that writes nothing.
export function readPair(mnemonic) {
  if (/^W[A-Z]{4}$/.test(mnemonic)) return 'R' + mnemonic.slice(1);
  if (/^EW[A-Z]{2}W$/.test(mnemonic)) return mnemonic.slice(0, -1) + 'R';
  return null;
}

export const isWrite = (mnemonic) => readPair(mnemonic) !== null || mnemonic === 'EWPTM';
export const isSettingsRead = (mnemonic) => mnemonic !== 'RSETF' && (/^R[A-Z]{4}$/.test(mnemonic) || /^EW[A-Z]{2}R$/.test(mnemonic));

// The unit's clock at `at`, from its offset to this computer's clock read
// (RDTIM's TimeOffset, seconds), or undefined.
function unitClock(read, at) {
  const offset = read && Number(read.TimeOffset);
  return read && read.TimeOffset !== null && Number.isFinite(offset) ? new Date(at + offset * 1000).toISOString() : undefined;
}

// The keys of a write with the values before (the last read of the same
// unit, when there was one) and after. A write of no keys (setting the
// clock to this computer's time) is kept as the key "clock": before, the
// unit's clock as the last read of it puts it then.
export function writeChanges(mnemonic, arg, before, at) {
  const keys = Object.keys(arg || {}).filter((k) => !ADDRESS.has(k));
  if (!keys.length) {
    const change = { key: 'clock', new: new Date(at).toISOString() };
    const old = unitClock(before, at);
    return old === undefined ? [change] : [{ ...change, old }];
  }
  return keys.map((key) => {
    const change = { key, new: isSecret(key) ? HIDDEN : arg[key] };
    if (before && key in before) change.old = isSecret(key) ? HIDDEN : before[key];
    return change;
  });
}

// The LEVEL bytes of a survey answer: number, level and battery of every
// unit that answered, three bytes each, as the base unit sent them.
export function levelBytes(answer) {
  const out = [];
  for (const s of (answer && answer.Signals) || []) out.push(s.number & 255, s.level & 255, s.battery & 255);
  return out;
}

// The key a probe's route fields make, to find its route.
export const routeKey = (f) => [f.CH, (f.ID || []).join('.'), (f.RELAY || []).join('.'), f.BAND].join('|');

// The serials of a route's hops, base unit first left out.
export function routeSerials(regInfo, target) {
  try {
    return buildRoute(regInfo, target).hops.map((hop) => serialKey(hop.serial));
  } catch (e) {
    return [];
  }
}

function meanLevel(stats) {
  if (!stats.answered || !stats.bins) return null;
  let sum = 0;
  for (let v = 0; v < stats.bins.length; v++) sum += v * stats.bins[v];
  return Math.round((sum / stats.answered) * 10) / 10;
}

// The per-hop statistics of route number `route` from a result's hops
// (each with its probe statistics); hops never probed are left out.
export function hopStats(route, hops, baseSerial) {
  const out = [];
  let from = baseSerial;
  hops.forEach((hop, i) => {
    const unit = serialKey(hop.serial);
    const st = hop.stats;
    if (st && unit !== null && from !== null) {
      const row = { route, hop: i, fromUnit: from, unit, sent: st.asked, answered: st.answered };
      if (st.answered) Object.assign(row, { levelMin: st.min, levelAvg: meanLevel(st), levelMax: st.max });
      if (st.batteryLast !== null && st.batteryLast !== undefined) row.battery = st.batteryLast;
      out.push(row);
    }
    from = unit;
  });
  return out;
}

// A probe of route number `route` (its hops) as the store keeps it:
// answered when the far unit answered.
export function probeRecord(route, seq, captured, hops) {
  const readings = matchSignals(hops, captured.answer && captured.answer.Signals);
  const answered = readings.length > 0 && readings[readings.length - 1] !== null;
  return { route, seq, at: captured.at, answered, raw: levelBytes(captured.answer) };
}
