// A survey kept in the site records, back in the shape the page keeps a
// site survey in ({prov, regInfo, targets, results}), so the result
// renderers and the comparison take it as they take a fresh one. Its
// provenance says 'records' and when it was taken: it is never current.
//
// The store keeps each probe's raw level bytes (number, level, battery per
// unit that answered) and each route as its units' serials. With the
// registration of the site the serials give the units' numbers, and the
// probes give the exact statistics again; without one, the hop statistics
// the store kept (mean level, last battery) stand in.
import { emptyStats, addProbe } from '../site/linkstats.js';
import { matchSignals } from '../device/route.js';
import { labelOf } from '../site/names.js';
import { provenance } from '../ui/provenance.js';
import { judgeResult } from '../site/survey.js';
import { levelClass, batteryClass, thresholdProblem, DEFAULT_THRESHOLDS } from '../site/thresholds.js';
import { base64ToBytes } from './records.js';
import { serialKey } from '../site/compare.js';
import { timeText } from '../ui/dom.js';

export const hex8 = (serial) => (Number(serial) >>> 0).toString(16).toUpperCase().padStart(8, '0');
const finite = (v) => typeof v === 'number' && Number.isFinite(v);

// The boundaries a stored survey was judged by when it was taken, or null
// when it kept none that can be used.
export const keptThresholds = (record) => (record && !thresholdProblem(record.thresholds) ? record.thresholds : null);

// The registration in a stored record's decoded form, or null.
export function regInfoOf(decoded) {
  if (decoded && Array.isArray(decoded.groups)) return decoded;
  if (decoded && decoded.regInfo && Array.isArray(decoded.regInfo.groups)) return decoded.regInfo;
  return null;
}

// serialKey → {group, kind, num, serial, name, model, label} of every
// repeater and remote unit of a registration.
export function unitIndex(regInfo) {
  const index = new Map();
  ((regInfo && regInfo.groups) || []).forEach((g, gi) => {
    for (const r of g.repeaters || []) index.set(serialKey(r.serial), { group: gi, kind: 'repeater', num: r.num, serial: r.serial, name: '', model: '' });
    for (const u of g.remoteUnits || []) index.set(serialKey(u.serial), { group: gi, kind: 'remote', num: u.num, serial: u.serial, name: u.name || '', model: u.model || '' });
  });
  for (const u of index.values()) u.label = labelOf(u.group, u.kind, u.num, u.name);
  return index;
}

// A probe's raw bytes as the Signals of an answer.
export function signalsOf(raw) {
  const bytes = typeof raw === 'string' ? base64ToBytes(raw) : Uint8Array.from(raw || []);
  const signals = [];
  for (let i = 0; i + 2 < bytes.length; i += 3) signals.push({ number: bytes[i], level: bytes[i + 1], battery: bytes[i + 2] });
  return signals;
}

// The serial of a route entry: a number, hex text or {serial}.
function entrySerial(entry) {
  if (entry && typeof entry === 'object') return serialKey(entry.serial);
  return serialKey(entry);
}

function hopOf(entry, units) {
  const key = entrySerial(entry);
  const known = units.get(key);
  if (known) return { kind: known.kind, num: known.num, serial: known.serial, name: known.name, model: known.model, label: known.label, group: known.group };
  const serial = typeof entry === 'number' ? hex8(entry) : String((entry && entry.serial) || entry || '');
  return { kind: (entry && entry.kind) || 'remote', num: entry && Number.isInteger(entry.num) ? entry.num : null, serial, name: '', model: '', label: serial, group: null };
}

// Statistics per hop from the probes of one route, or null when a hop's
// number is unknown (the raw bytes cannot be matched to it).
function statsFromProbes(hops, probes) {
  if (!hops.every((hop) => Number.isInteger(hop.num))) return null;
  let stats = hops.map(() => emptyStats());
  for (const p of probes) {
    const readings = matchSignals(hops, signalsOf(p.raw));
    stats = hops.map((hop, i) => addProbe(stats[i], readings[i], p.at));
  }
  return stats;
}

// A hop's reading from the statistics the store kept (no probes to go on).
function keptReading(row, th) {
  if (!row || !row.answered || !finite(row.levelAvg)) return row ? null : undefined;
  const level = Math.round(row.levelAvg);
  return { level, battery: finite(row.battery) ? row.battery : null, levelClass: levelClass(level, th), batteryClass: batteryClass(row.battery, th) };
}

function routeResult(index, entries, probes, kept, { units, regInfo, th, at }) {
  const hops = entries.map((e) => hopOf(e, units));
  const far = hops[hops.length - 1];
  const gi = far && Number.isInteger(far.group) ? far.group : 0;
  const g = (regInfo && regInfo.groups && regInfo.groups[gi]) || {};
  const group = { index: gi, name: g.name || '', freq: g.freq };
  const stats = probes.length ? statsFromProbes(hops, probes) : null;
  const when = probes.length ? probes[probes.length - 1].at : at;
  // A unit whose number is unknown still needs a key of its own in the tables.
  const num = Number.isInteger(far.num) ? far.num : `route${index}`;
  const base = { time: finite(when) ? timeText(new Date(when)) : '', when, group, route: index,
    target: { name: far.name, model: far.model, serial: far.serial, kind: far.kind, num, label: far.label } };
  if (stats) {
    const withStats = hops.map((hop, i) => ({ ...hop, stats: stats[i] }));
    const farAnswered = stats[stats.length - 1].answered > 0;
    const status = farAnswered ? 'ok' : stats.some((s) => s.answered > 0) ? 'partial' : 'noAnswer';
    return judgeResult({ ...base, status, hops: withStats }, th);
  }
  const readings = hops.map((hop, i) => ({ ...hop, reading: keptReading(kept.get(i), th) }));
  const last = readings[readings.length - 1].reading;
  const status = last ? 'ok' : readings.some((hop) => hop.reading) ? 'partial' : 'noAnswer';
  return { ...base, status, hops: readings, verdict: last ? last.levelClass : status === 'noAnswer' ? 'silent' : 'none' };
}

// record: readRecord's answer for a route or site survey; site: {serial,
// name, model} of its base unit; regInfo: the site's registration when
// known; th: the boundaries to judge by.
export function surveyFromRecord(record, { site = {}, regInfo = null, th = DEFAULT_THRESHOLDS } = {}) {
  const units = unitIndex(regInfo);
  const routes = Array.isArray(record.routes) ? record.routes : [];
  const probesBy = new Map();
  for (const p of record.probes || []) {
    if (!probesBy.has(p.route)) probesBy.set(p.route, []);
    probesBy.get(p.route).push(p);
  }
  const keptBy = new Map();
  for (const row of record.hops || []) {
    if (!keptBy.has(row.route)) keptBy.set(row.route, new Map());
    keptBy.get(row.route).set(row.hop, row);
  }
  const ctx = { units, regInfo, th, at: record.startedAt };
  const results = [];
  // A route without probes or statistics was never surveyed (the survey
  // was cut short before it): no result, as on the page.
  routes.forEach((entries, i) => {
    if (!Array.isArray(entries) || !entries.length || (!probesBy.has(i) && !keptBy.has(i))) return;
    results.push(routeResult(i, entries, probesBy.get(i) || [], keptBy.get(i) || new Map(), ctx));
  });
  const prov = provenance({ serial: hex8(site.serial || 0), name: site.name || '', model: site.model || '' }, { source: 'records', time: record.startedAt });
  const targets = results.map((r) => ({ group: r.group.index, kind: r.target.kind, num: r.target.num, serial: r.target.serial, label: r.target.label }));
  const complete = record.endedAt !== null && record.endedAt !== undefined;
  return { prov, regInfo, targets, results, complete, stopped: !complete, running: false, started: record.startedAt, finished: record.endedAt ?? null, probes: record.probesPerRoute, recordId: record.id, visitId: record.visitId, thresholds: th, fromRecords: true };
}
