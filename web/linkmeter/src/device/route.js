// Survey routes from a base unit's registration: which repeaters a radio
// request goes through to reach a remote unit or a repeater, and the fields
// EWLEX/EWLRU take (CH, ID, RELAY, ROUTE, BAND).

export class RouteError extends Error {
  constructor(code, detail) {
    super(code);
    this.name = 'RouteError';
    this.code = code; // 'noTarget' | 'noParent' | 'loop' | 'badSerial'
    this.detail = detail;
  }
}

export function serialNumber(text) {
  if (typeof text !== 'string' || !/^[0-9A-Fa-f]{1,8}$/.test(text)) return null;
  return parseInt(text, 16) >>> 0;
}

export const modelCode = (serial) => (serial >>> 17) & 0x7f;

// The record type a registration gives each model (the first byte of ID).
const REMOTE_TYPE = { 92: 0xfe, 93: 0xfe, 94: 0xfe, 99: 0xfe, 97: 0xfa, 96: 0xf9, 98: 0xf8, 63: 0xf7 };
const REPEATER_TYPE = 0xfd;

// The flag byte of a remote-unit record (byte 5 of the record).
function flagByte(unit, code) {
  const bit = (on, n) => (on === true ? 1 << n : 0);
  let flags = bit(unit.enableWarning, 0) | bit(unit.enableMonitoring, 1);
  if (code === 96 || code === 98) flags |= bit(unit.enableDownloadingL, 2) | bit(unit.enableDownloadingH, 3);
  else flags |= bit(unit.enableDownloading, 2);
  return flags;
}

// The 8-byte ID of a unit: record type, num, parent, flags, then the serial
// number little-endian (bytes 2..9 of its registration record).
export function unitId(kind, unit) {
  const serial = serialNumber(unit.serial);
  if (serial === null) throw new RouteError('badSerial', unit.serial);
  const code = modelCode(serial);
  const type = kind === 'repeater' ? REPEATER_TYPE : REMOTE_TYPE[code] ?? 0xfe;
  const flags = kind === 'repeater' ? 0 : flagByte(unit, code);
  return [type, unit.num & 0xff, unit.parent & 0xff, flags,
    serial & 0xff, (serial >>> 8) & 0xff, (serial >>> 16) & 0xff, serial >>> 24];
}

// The repeaters from the base unit down to `parent` (0 = the base unit).
function relaysTo(group, parent) {
  const chain = [];
  const seen = new Set();
  while (parent !== 0) {
    if (seen.has(parent)) throw new RouteError('loop', parent);
    seen.add(parent);
    const repeater = (group.repeaters || []).find((r) => r.num === parent);
    if (!repeater) throw new RouteError('noParent', parent);
    chain.unshift(repeater);
    parent = repeater.parent;
  }
  return chain;
}

// target: {group: index into regInfo.groups, kind: 'remote' | 'repeater',
// num}. Returns the request fields and the hops in radio order, each
// {kind, num, serial, name, model}; the last hop is the target.
export function buildRoute(regInfo, target) {
  const group = regInfo && regInfo.groups && regInfo.groups[target.group];
  const list = group && (target.kind === 'repeater' ? group.repeaters : group.remoteUnits);
  const unit = list && list.find((u) => u.num === target.num);
  if (!unit) throw new RouteError('noTarget', target);
  const relays = relaysTo(group, unit.parent);
  const hops = relays.map((r) => ({ kind: 'repeater', num: r.num, serial: r.serial, name: '', model: '' }));
  hops.push({ kind: target.kind, num: unit.num, serial: unit.serial, name: unit.name || '', model: unit.model || '' });
  return {
    fields: {
      CH: group.freq,
      ID: unitId(target.kind, unit),
      RELAY: relays.map((r) => r.num),
      ROUTE: relays.length > 0 ? 1 : 0,
      BAND: group.band,
    },
    group: { index: target.group, name: group.name || '', freq: group.freq },
    hops,
  };
}

// Pairs the Signals of an answer with the hops of the route. Signals come
// sorted by unit number (equal numbers in radio order), so each hop takes
// the first unused entry of its number. Hops without an entry did not
// answer (null).
export function matchSignals(hops, signals) {
  const used = new Set();
  return hops.map((hop) => {
    const at = (signals || []).findIndex((s, i) => !used.has(i) && s.number === hop.num);
    if (at < 0) return null;
    used.add(at);
    return { level: signals[at].level, battery: signals[at].battery };
  });
}

// Every remote unit of the registration as a survey target, group by group.
export function allRemoteTargets(regInfo) {
  const targets = [];
  (regInfo && regInfo.groups ? regInfo.groups : []).forEach((g, index) => {
    for (const u of g.remoteUnits || []) targets.push({ group: index, kind: 'remote', num: u.num });
  });
  return targets;
}
