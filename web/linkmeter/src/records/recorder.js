// Site records without a save step: a visit begins when a base unit is
// connected and ends when it is disconnected or the window closes (a lost
// link does not end it); everything read from or written to the unit in
// between is kept as it completes. The views need not know: the recorder
// watches the page's device calls (recordertap.js) and the store's site
// survey. Its writes run apart from the measurements; a failing store only
// shows in the status it reports.
import { createRecords } from './records.js';
import { tapApi } from './recordertap.js';
import { createWriteQueue, SKIP } from './recorderqueue.js';
import { SurveyRecorder } from './recordersurvey.js';
import { ScanRecorder } from './recorderscan.js';
import { RegistrationSnapshots } from './recordersnapshots.js';
import { serialKey, unitOf, answerData, readPair, isWrite, isSettingsRead, writeChanges } from './recorderkinds.js';

const PROBES = new Set(['EWLEX', 'EWLRU']);
// Reads held for a unit connected by address until its serial is known
// (its first few answers); more are not held.
const HELD_MAX = 20;
const DOWNLOADS = new Set(['EISUC', 'EWSUC']);

// Why a write failed, as kept with it: the unit's STATUS when it answered
// one, and the program's message.
export function failureText(e) {
  if (!e) return '';
  if (e.name === 'CancelledError') return 'cancelled';
  const d = e.detail || e;
  const text = [d.STATUS ? `STATUS ${d.STATUS}` : '', d.msg || ''].filter(Boolean).join(' — ');
  return text || (e instanceof Error ? e.message : '') || 'failed';
}

const FIELDS = ['technician', 'customer', 'notes'];
const fieldsOf = (from = {}) => Object.fromEntries(FIELDS.map((k) => [k, typeof from[k] === 'string' ? from[k] : '']));

// The technician's name, kept in the page's storage across restarts: the
// next visit (and the PDF's author) has it without typing it again.
export const TECHNICIAN_KEY = 'linkmeter.technician';

function keptTechnician(storage) {
  try {
    const name = storage ? storage.getItem(TECHNICIAN_KEY) : null;
    return typeof name === 'string' ? name : '';
  } catch (e) {
    return '';
  }
}

// api: the page's api (api.js); store: the page's store; onStatus: the
// write queue's status (recorderqueue.js); storage: the page's storage,
// which keeps the technician's name. Returns {api, watch, visitFor,
// recordNow, openVisit, visitIdOf, fields, setFields, close, idle, status}.
export function createRecorder({ api, store, onStatus, sleep, storage }) {
  const records = createRecords({ api });
  const queue = createWriteQueue({ onStatus, sleep });
  const push = (task) => queue.push(task);
  const snapshots = new RegistrationSnapshots({ push, records });
  const surveys = new SurveyRecorder({ push, records, snapshots });
  const scans = new ScanRecorder({ push, records });
  const lastRead = new Map(); // `${unit}:${mnemonic}` → data read
  let visit = null; // {serial, id, fields, stored}: id null until the store answered
  let waiting = []; // captures of a unit whose serial is not known yet
  let busy = 0;
  let siblingSeen = null;
  let technician = keptTechnician(storage); // carried over to the next visit, and the next start

  function beginVisit(unit, serial) {
    // A visit starts with empty fields but the technician's name: the
    // customer and notes of one site never land on another's visit.
    const v = { serial, id: null, fields: fieldsOf({ technician }) };
    v.written = v.fields;
    // The start time goes with the call, so a call tried again after a busy
    // store begins the same visit.
    const arg = { site: { serial, name: unit.name || '', model: unit.model || '' }, startedAt: Date.now(), ...v.fields };
    v.stored = push(async () => {
      v.id = (await records.beginVisit(arg)).id;
    }).then(() => v.id);
    visit = v;
    snapshots.begin(v);
    const held = waiting;
    waiting = [];
    held.forEach(seen);
  }

  function endVisit(at = Date.now()) {
    const v = visit;
    if (!v) return;
    scans.end();
    surveys.onState(store.get(), v, true);
    visit = null;
    lastRead.clear();
    push(() => (v.id === null ? SKIP : records.endVisit({ visitId: v.id, endedAt: at })));
  }

  // A raw record of the visit open now.
  function raw(fn, arg) {
    const v = visit;
    push(() => (v.id === null ? SKIP : records[fn]({ visitId: v.id, ...arg })));
  }

  function answered(c) {
    const unit = unitOf(c.arg);
    const data = answerData(c.answer);
    const base = { takenAt: c.at, source: 'unit', ...(unit === null ? {} : { unit }) };
    if (c.mnemonic === 'RSETF') {
      const { DATA, ...rest } = data;
      snapshots.record(rest.regInfo, { ...base, raw: DATA || [], decoded: rest });
    } else if (c.mnemonic === 'ELOGS') raw('recordLog', { ...base, raw: [], decoded: data });
    else if (DOWNLOADS.has(c.mnemonic)) {
      const { Header, Data, ...rest } = data;
      raw('recordDownload', { ...base, header: Header || [], raw: Data || [], decoded: rest });
    } else if (isSettingsRead(c.mnemonic)) raw('recordSettingsRead', { ...base, raw: [], decoded: data });
    if (c.mnemonic === 'RSETF' || isSettingsRead(c.mnemonic)) lastRead.set(`${unit}:${c.mnemonic}`, { answer: c.answer, at: c.at });
  }

  // A write, also one the unit refused or that failed: the audit trail.
  function wrote(c) {
    const unit = unitOf(c.arg);
    const ok = !c.error && !(c.answer && c.answer.isSuccess === false);
    const pair = readPair(c.mnemonic);
    const before = pair ? lastRead.get(`${unit}:${pair}`) : null;
    const changes = writeChanges(c.mnemonic, c.arg, before && before.answer, c.at);
    raw('recordSettingsWrite', { writtenAt: c.at, succeeded: ok, message: ok ? '' : failureText(c.error || c.answer), changes, ...(unit === null ? {} : { unit }) });
  }

  // Every device call's outcome (recordertap.js).
  function seen(c) {
    if (!visit) {
      if (store.get().unit && waiting.length < HELD_MAX) waiting.push(c);
      return;
    }
    if (PROBES.has(c.mnemonic)) surveys.probe(c, store.get(), visit);
    else if (c.mnemonic === 'GetRsLevel') scans.chunk(c, visit);
    else if (isWrite(c.mnemonic)) wrote(c);
    else if (!c.error && !(c.answer && c.answer.isSuccess === false)) answered(c);
  }

  // The sibling application's registration, when loaded during a visit.
  function sibling(s) {
    const reg = s.siblingReg;
    if (!reg || reg === siblingSeen || !visit) return;
    siblingSeen = reg;
    const unit = serialKey(reg.prov && reg.prov.base && reg.prov.base.serial);
    snapshots.record(reg.regInfo, { takenAt: (reg.prov && reg.prov.time) || Date.now(), source: 'sibling', raw: [], decoded: { regInfo: reg.regInfo }, ...(unit === null ? {} : { unit }) });
  }

  function onState(s) {
    const serial = s.unit ? serialKey(s.unit.serial) : null;
    if (visit && (!s.unit || (serial !== null && serial !== visit.serial))) endVisit();
    if (!s.unit) waiting = [];
    if (!visit && serial !== null) beginVisit(s.unit, serial);
    const ended = busy > 0 && s.busy === 0;
    busy = s.busy;
    if (ended) scans.end();
    surveys.onState(s, visit, ended);
    sibling(s);
  }

  return {
    api: tapApi(api, seen),
    // Follows the store; call again after the store dropped its listeners.
    watch() {
      store.subscribe(onState);
      onState(store.get());
    },
    // The visit a site survey of the page was taken in (a handle for the
    // calls below), or null when it was not recorded.
    visitFor: (survey) => surveys.visitOf(survey),
    // A write of records function `fn` on the visit `survey` was taken in,
    // in the write queue's order: resolves with the store's answer, or
    // undefined when the survey was not recorded or the write failed.
    recordFor(survey, fn, arg) {
      const v = surveys.visitOf(survey);
      if (!v) return Promise.resolve(undefined);
      return push(() => (v.id === null ? SKIP : records[fn]({ visitId: v.id, ...arg })));
    },
    // A record of the visit open now (the map's edits): resolves with the
    // store's answer; null when no visit is open (no base unit connected).
    recordNow(fn, arg) {
      const v = visit;
      if (!v) return Promise.resolve(null);
      return push(() => (v.id === null ? SKIP : records[fn]({ visitId: v.id, ...arg })));
    },
    // The site of the visit open now and who works on it, or null.
    openVisit: () => (visit ? { serial: visit.serial, technician: visit.fields.technician } : null),
    // The id of that visit once stored, or null.
    visitIdOf: async (survey) => {
      const v = surveys.visitOf(survey);
      return v ? v.stored : null;
    },
    // The technician, customer and notes of a visit.
    fields: (v) => ({ ...v.fields }),
    // Keeps the fields on that visit, open or closed, and with `write`
    // stores them (when they changed); the technician's name goes on to the
    // next visit. Resolves once written.
    setFields(v, patch, { write = true } = {}) {
      v.fields = fieldsOf({ ...v.fields, ...patch });
      if (technician !== v.fields.technician) {
        technician = v.fields.technician;
        try { if (storage) storage.setItem(TECHNICIAN_KEY, technician); } catch (e) { /* private mode: not kept */ }
      }
      if (!write || FIELDS.every((k) => v.fields[k] === v.written[k])) return queue.idle();
      const fields = v.fields;
      v.written = fields;
      return push(() => (v.id === null ? SKIP : records.updateVisit({ visitId: v.id, ...fields })));
    },
    // The window closes: the visit ends; resolves once written, or after
    // `limitMs` at most.
    close(limitMs = 2000) {
      endVisit();
      return Promise.race([queue.idle(), new Promise((resolve) => setTimeout(resolve, limitMs))]);
    },
    idle: () => queue.idle(),
    status: () => queue.status(),
  };
}
