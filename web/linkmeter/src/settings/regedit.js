// Editing a registration in place: the fields a technician changes on a
// group, repeater or remote unit, limits in display units through the
// program's channel types, and the conversion's error numbers (WSETF) put
// back on the fields they name.
import { ansiLength, unstorableChar, charsetParams } from './forms.js';
import { serialNumber, modelCode } from '../device/route.js';

// Remote-unit members and the conversion error number of each.
export const UNIT_FIELDS = [
  { member: 'name', kind: 'text', bytes: 8, code: 3056 },
  { member: 'record.interval', kind: 'int', lo: 0, hi: 255, code: 3047 },
  { member: 'monitorInterval', kind: 'seconds', code: 3070 },
];
export const CHANNEL_FIELDS = [
  { member: 'enableLowerLimit', kind: 'bool', code: 3036 },
  { member: 'lowerLimit', kind: 'limit', code: 3038 },
  { member: 'enableUpperLimit', kind: 'bool', code: 3037 },
  { member: 'upperLimit', kind: 'limit', code: 3039 },
];
export const GROUP_FIELDS = [
  { member: 'name', kind: 'text', bytes: 8, code: 3017, lengthCode: 3018 },
  { member: 'freq', kind: 'int', lo: 0, hi: 255, code: 3013 },
  { member: 'band', kind: 'int', lo: 0, hi: 255, code: 3014 },
];
export const REPEATER_FIELDS = [{ member: 'parent', kind: 'int', lo: 0, hi: 255, code: 3206 }];
// A remote unit's parent: 0 the base unit, else a repeater of its group.
export const UNIT_PARENT = { member: 'parent', kind: 'int', lo: 0, hi: 255, code: 3043 };
const CHANNELS = ['ch1', 'ch2', 'ch3', 'ch4', 'ch5', 'ch6'];

export function getPath(obj, path) {
  return path.split('.').reduce((o, k) => (o && typeof o === 'object' ? o[k] : undefined), obj);
}

// A copy of `obj` with `path` set to `value`; the original stays as read.
export function setPath(obj, path, value) {
  const copy = structuredClone(obj);
  const keys = path.split('.');
  let o = copy;
  for (const k of keys.slice(0, -1)) o = o[k];
  o[keys[keys.length - 1]] = value;
  return copy;
}

// The page path of a member, as the conversion names it.
export function memberPath(groupIndex, list, index, member) {
  const base = `groups[${groupIndex}]`;
  return list ? `${base}.${list}[${index}].${member}` : `${base}.${member}`;
}

// The channels of a remote unit that carry a type (ch1..ch6).
export function unitChannels(unit) {
  return CHANNELS.filter((k) => unit[k] && typeof unit[k] === 'object' && typeof unit[k].chType === 'number');
}

// How a model stores its monitoring interval: VL-RA family in minutes
// (0 meaning 30 s), VL-RD seconds below 128 or minutes, others a 16-bit
// number of seconds.
export function intervalRule(serial) {
  const n = serialNumber(String(serial || ''));
  const code = n === null ? -1 : modelCode(n);
  if ([92, 93, 94, 99].includes(code)) return 'minutes';
  return code === 97 ? 'vlrd' : 'word';
}

// Whether a model can store `seconds` as its interval.
export function intervalFits(rule, seconds) {
  if (!Number.isInteger(seconds)) return false;
  const minutes = (max) => seconds > 0 && seconds % 60 === 0 && seconds / 60 <= max;
  if (rule === 'minutes') return seconds === 30 || minutes(255);
  if (rule === 'vlrd') return (seconds > 0 && seconds < 128) || minutes(127);
  return seconds >= 0 && seconds <= 65535;
}

// "90", "90 s", "10 min", "1 h" (also 秒, 分, 時間) → seconds, or null.
export function parseDuration(text) {
  const m = /^\s*(\d+)\s*(s|sec|秒|m|min|分|h|時間)?\s*$/i.exec(String(text));
  if (!m) return null;
  const unit = (m[2] || 's').toLowerCase();
  const factor = ['m', 'min', '分'].includes(unit) ? 60 : ['h', '時間'].includes(unit) ? 3600 : 1;
  return Number(m[1]) * factor;
}

// The editable fields of a remote unit that its record has.
export function unitFields(unit) {
  const rule = intervalRule(unit.serial);
  const fields = UNIT_FIELDS.filter((f) => getPath(unit, f.member) !== undefined).map((f) => (f.kind === 'seconds' ? { ...f, rule } : f));
  for (const ch of unitChannels(unit)) {
    for (const f of CHANNEL_FIELDS) {
      if (unit[ch][f.member] !== undefined) fields.push({ ...f, member: `${ch}.${f.member}`, chType: unit[ch].chType });
    }
  }
  return fields;
}

// A limit as the technician types it (display units) to the raw value the
// record stores; null when the text is not a number.
export function limitToRaw(types, chType, text) {
  const s = String(text).trim().replace(',', '.');
  if (!/^[-+]?(\d+\.?\d*|\.\d+)$/.test(s)) return null;
  return types.fromReal(chType, Number(s));
}

export function limitText(types, chType, raw) {
  return String(types.format(chType, raw, false));
}

// Reads a field's text into its value: {value}, or {error: message key,
// code: the number the conversion would refuse it with}.
export function readField(field, text, types) {
  const refused = (error, code = field.code) => ({ error, code });
  if (field.kind === 'bool') return { value: Boolean(text) };
  if (field.kind === 'text') {
    const n = ansiLength(text);
    if (n < 0) return { ...refused('reg.charset'), params: charsetParams(unstorableChar(text)) };
    return n > field.bytes ? refused('reg.tooLong', field.lengthCode ?? field.code) : { value: String(text) };
  }
  if (field.kind === 'limit') {
    const raw = limitToRaw(types, field.chType, text);
    return raw === null ? refused('reg.notNumber') : { value: raw };
  }
  if (field.kind === 'seconds') {
    const seconds = parseDuration(text);
    if (seconds === null) return refused('reg.notDuration');
    return intervalFits(field.rule, seconds) ? { value: seconds } : refused('reg.outOfRange');
  }
  const s = String(text).trim();
  if (!/^\d+$/.test(s)) return refused('reg.notInteger');
  const n = Number(s);
  return n < field.lo || n > field.hi ? refused('reg.outOfRange') : { value: n };
}

// A refused WSETF as field messages: the number, and the member path when
// the program gave one ("groups[0].remoteUnits[2].ch1.lowerLimit").
export function conversionError(failure) {
  const code = failure && Number(failure.code1);
  if (!Number.isInteger(code) || code < 3000 || code > 3299) return null;
  const m = /groups\[\d+\](\.\w+\[\d+\])?(\.\w+)+/.exec(String(failure.msg || ''));
  return { code, path: m ? m[0] : null };
}

// The paths on the form that a conversion error concerns: its own path when
// given, else every field with its number among those the technician
// changed (the ones read from the unit were accepted before).
export function errorTargets(error, changedPaths, pathCode) {
  if (!error) return [];
  if (error.path) return [error.path];
  return changedPaths.filter((p) => pathCode(p).includes(error.code));
}

// Paths whose values differ between two registrations.
export function changedPaths(before, after, prefix = '') {
  if (JSON.stringify(before) === JSON.stringify(after)) return [];
  if (!before || !after || typeof before !== 'object' || typeof after !== 'object') return [prefix];
  const out = [];
  for (const key of new Set([...Object.keys(before), ...Object.keys(after)])) {
    const p = Array.isArray(after) ? `${prefix}[${key}]` : prefix ? `${prefix}.${key}` : key;
    out.push(...changedPaths(before[key], after[key], p));
  }
  return out;
}

// The conversion numbers of a member path, from the field tables.
export function pathCode(path) {
  const m = /^groups\[\d+\](?:\.(repeaters|remoteUnits)\[\d+\])?\.(.+)$/.exec(path);
  if (!m) return [];
  const ch = /^ch\d\.(.+)$/.exec(m[2]);
  let table = GROUP_FIELDS;
  if (m[1] === 'repeaters') table = REPEATER_FIELDS;
  else if (m[1]) table = ch ? CHANNEL_FIELDS : [...UNIT_FIELDS, UNIT_PARENT];
  const field = table.find((f) => f.member === (ch && m[1] === 'remoteUnits' ? ch[1] : m[2]));
  return field ? [field.code, field.lengthCode].filter((c) => c !== undefined) : [];
}

// Repeater trees that cannot carry a route, found before writing: a parent
// that is no repeater of the group, or repeaters whose parents go round in
// a loop (R1→R3→R2→R1). Each problem: {path, error (message key), params}.
export function treeProblems(regInfo) {
  const problems = [];
  ((regInfo && regInfo.groups) || []).forEach((g, gi) => {
    const repeaters = g.repeaters || [];
    const nums = new Set(repeaters.map((r) => r.num));
    const missing = (list, kind) => (g[list] || []).forEach((u, i) => {
      if (u.parent !== 0 && !nums.has(u.parent)) {
        problems.push({ path: memberPath(gi, list, i, 'parent'), error: 'reg.noParent', params: { parent: u.parent, kind } });
      }
    });
    missing('repeaters', 'R');
    missing('remoteUnits', '#');
    for (const cycle of parentLoops(repeaters)) {
      for (const num of cycle) {
        const i = repeaters.findIndex((r) => r.num === num);
        problems.push({ path: memberPath(gi, 'repeaters', i, 'parent'), error: 'reg.loop', params: { loop: cycle.concat(cycle[0]).map((n) => 'R' + n).join('→') } });
      }
    }
  });
  return problems;
}

// The loops among repeaters' parents, each once, as lists of numbers.
export function parentLoops(repeaters) {
  const parentOf = new Map(repeaters.map((r) => [r.num, r.parent]));
  const inLoop = new Set();
  const loops = [];
  for (const r of repeaters) {
    const path = [];
    let n = r.num;
    while (n !== 0 && parentOf.has(n) && !path.includes(n) && !inLoop.has(n)) {
      path.push(n);
      n = parentOf.get(n);
    }
    const at = path.indexOf(n);
    if (at < 0) continue;
    const cycle = path.slice(at);
    cycle.forEach((x) => inLoop.add(x));
    loops.push(cycle);
  }
  return loops;
}

const INTERVAL_RANGES = { minutes: '30 s, 1–255 min', vlrd: '1–127 s, 1–127 min', word: '0–65535 s' };

// The allowed range of a numeric field, as shown beside it.
export function rangeText(field) {
  if (field.kind === 'seconds') return INTERVAL_RANGES[field.rule] || '';
  return field.kind === 'int' ? `${field.lo}–${field.hi}` : '';
}

// Seconds as the technician reads them: "45 s", "10 min", "1 h 30 min".
export function durationText(seconds) {
  if (!Number.isInteger(seconds) || seconds < 0) return '';
  if (seconds < 60 || seconds % 60 !== 0) return `${seconds} s`;
  const m = seconds / 60;
  if (m < 60) return `${m} min`;
  return m % 60 ? `${Math.floor(m / 60)} h ${m % 60} min` : `${m / 60} h`;
}
