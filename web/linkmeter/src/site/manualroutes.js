// Routes entered by hand, for base units whose registration cannot be read
// (RSETF refuses their model): each route is a group channel and band, the
// repeaters in radio order and the remote unit (number and serial; the
// model follows from the serial). Together they make a registration of the
// shape route.js works from, so surveys run through them unchanged. They
// are kept per base unit (by serial) in this computer's page storage.
import { serialNumber, modelCode, buildRoute, allRemoteTargets } from '../device/route.js';
import { REMOTE_MODELS } from '../device/models.js';

export const LIMITS = { freq: [0, 255], band: [0, 6], num: [1, 250], relay: [1, 250], relays: 16 };

// The model of a remote unit's serial text, or null.
export function modelOfSerial(text) {
  const n = serialNumber(String(text || '').trim());
  return n === null ? null : REMOTE_MODELS[modelCode(n)] || null;
}

const normSerial = (text) => String(text || '').trim().toUpperCase().padStart(8, '0');

// "1, 2 3" → [1, 2, 3]; the text itself when it is not a list of numbers.
export function parseRelays(text) {
  const s = String(text || '').trim();
  if (s === '') return [];
  const parts = s.split(/[\s,→>-]+/).filter(Boolean);
  return parts.every((p) => /^\d+$/.test(p)) ? parts.map(Number) : s;
}

const inRange = (v, [lo, hi]) => Number.isInteger(v) && v >= lo && v <= hi;

// A route as entered → {route} or {problems: {field: [message key, params]}}.
// `others` are the routes already kept (the route being edited left out):
// in one channel and band a unit number names one unit, and a repeater has
// one parent, else the registration they make would be contradictory.
export function checkRoute(entry, others = []) {
  const problems = {};
  const route = {
    freq: Number(entry.freq), band: Number(entry.band), num: Number(entry.num),
    serial: normSerial(entry.serial), relays: parseRelays(entry.relays), name: String(entry.name || '').trim(),
  };
  if (String(entry.freq).trim() === '' || !inRange(route.freq, LIMITS.freq)) problems.freq = ['routes.range', { lo: 0, hi: 255 }];
  if (String(entry.band).trim() === '' || !inRange(route.band, LIMITS.band)) problems.band = ['routes.range', { lo: 0, hi: 6 }];
  if (String(entry.num).trim() === '' || !inRange(route.num, LIMITS.num)) problems.num = ['routes.range', { lo: 1, hi: 250 }];
  if (!/^[0-9A-Fa-f]{1,8}$/.test(String(entry.serial || '').trim())) problems.serial = ['routes.serial'];
  else if (!modelOfSerial(route.serial)) problems.serial = ['routes.notRemote', { code: modelCode(serialNumber(route.serial)) }];
  problems.relays = relayProblem(route.relays);
  if (!problems.relays) delete problems.relays;
  if (Object.keys(problems).length) return { problems };
  const clash = conflict(route, others);
  return clash ? { problems: clash } : { route };
}

function relayProblem(relays) {
  if (!Array.isArray(relays)) return ['routes.badRelays'];
  if (relays.length > LIMITS.relays) return ['routes.tooMany', { n: LIMITS.relays }];
  if (!relays.every((r) => inRange(r, LIMITS.relay))) return ['routes.range', { lo: 1, hi: 250 }];
  if (new Set(relays).size !== relays.length) return ['routes.repeatTwice'];
  return null;
}

const sameGroup = (a, b) => a.freq === b.freq && a.band === b.band;

function parents(route) {
  return new Map(route.relays.map((r, i) => [r, i === 0 ? 0 : route.relays[i - 1]]));
}

function conflict(route, others) {
  for (const o of others.filter((x) => sameGroup(x, route))) {
    if (o.serial === route.serial) return { serial: ['routes.twice', { num: o.num }] };
    if (o.num === route.num) return { num: ['routes.numTaken', { serial: o.serial }] };
    const theirs = parents(o);
    for (const [r, p] of parents(route)) {
      if (theirs.has(r) && theirs.get(r) !== p) return { relays: ['routes.parentClash', { r, p: parentName(p), q: parentName(theirs.get(r)) }] };
    }
  }
  return null;
}

const parentName = (p) => (p === 0 ? 'base' : 'R' + p);

// The registration the routes make: one group per channel and band, the
// repeaters with the parents their order gives, the remote units hanging
// from their last repeater. Flags are unknown: none set.
export function manualRegistration(baseSerial, routes) {
  const groups = [];
  for (const r of routes) {
    let g = groups.find((x) => sameGroup(x, r));
    if (!g) {
      g = { id: [0, 0, 0, 0, 0, 0, 0, 0], freq: r.freq, band: r.band, name: `CH${r.freq}`, repeaters: [], remoteUnits: [] };
      groups.push(g);
    }
    r.relays.forEach((num, i) => {
      if (!g.repeaters.some((x) => x.num === num)) g.repeaters.push({ num, parent: i === 0 ? 0 : r.relays[i - 1], serial: '' });
    });
    g.remoteUnits.push({ model: modelOfSerial(r.serial), serial: r.serial, num: r.num, parent: r.relays.length ? r.relays[r.relays.length - 1] : 0, name: r.name });
  }
  for (const g of groups) {
    g.repeaters.sort((a, b) => a.num - b.num);
    g.remoteUnits.sort((a, b) => a.num - b.num);
  }
  return { serial: normSerial(baseSerial), groups };
}

// The routes of a registration (the sibling's settings): one per remote
// unit whose repeater chain is sound; the others counted as skipped.
export function routesFromRegistration(regInfo) {
  const routes = [];
  let skipped = 0;
  for (const target of allRemoteTargets(regInfo)) {
    try {
      const built = buildRoute(regInfo, target);
      const u = built.hops[built.hops.length - 1];
      const checked = checkRoute({ freq: built.fields.CH, band: built.fields.BAND, num: u.num, serial: u.serial, relays: built.fields.RELAY.join(' '), name: u.name }, routes);
      if (checked.route) routes.push(checked.route);
      else skipped++;
    } catch (e) {
      skipped++;
    }
  }
  return { routes, skipped };
}

// Where the routes of one base unit are kept: page storage, one entry per
// base-unit serial ({routes, time}).
const storageKey = (serial) => `linkmeter.routes.${normSerial(serial)}`;

export function loadRoutes(storage, serial) {
  try {
    const kept = JSON.parse(storage.getItem(storageKey(serial)) || 'null');
    if (!kept || !Array.isArray(kept.routes)) return { routes: [], time: null };
    const routes = [];
    for (const r of kept.routes) {
      const checked = checkRoute({ ...r, relays: (r.relays || []).join(' ') }, routes);
      if (checked.route) routes.push(checked.route); // a damaged entry is dropped, never surveyed
    }
    return { routes, time: Number(kept.time) || null };
  } catch (e) {
    return { routes: [], time: null };
  }
}

export function saveRoutes(storage, serial, routes, time = Date.now()) {
  if (routes.length) storage.setItem(storageKey(serial), JSON.stringify({ routes, time }));
  else if (storage.removeItem) storage.removeItem(storageKey(serial));
  else storage.setItem(storageKey(serial), JSON.stringify({ routes: [], time }));
}

// The survey target of a kept route in the registration the routes make.
export function routeTarget(regInfo, route) {
  const group = regInfo.groups.findIndex((g) => sameGroup(g, route));
  return { group, kind: 'remote', num: route.num };
}
