// The page's flows as the command line runs them (JavaScriptCore, no DOM):
// the site and route surveys of the site survey view, the channel scan of
// the channel view, and the recorder with its write queue, over the page's
// api bound to the command line's router. build.mjs bundles this file as
// the global LinkmeterFlows; tools/cli PageFlows.cpp calls run(name, JSON,
// done) and serves the timers and queries until the flow's promise settles.
// One session per run: open() before the base unit is connected, close()
// at the end, which hands back what the store could not take.
import { installRuntime } from './device/cliruntime.js';
import * as pageApi from './device/api.js';
import { createStore } from './page/state.js';
import { DEFAULT_THRESHOLDS } from './site/thresholds.js';
import { createRecorder } from './records/recorder.js';
import { createRecordWrites } from './records/clirecordwrites.js';
import { runSurvey } from './site/survey.js';
import { buildRoute } from './device/route.js';
import { newSurvey, surveyTargets, surveyPatch } from './site/sitesurveybook.js';
import { siteSurvey } from './sitelogic.js';
import { useSecretKeys } from './records/recorderkinds.js';
import { secretKeys } from './device/cataloguelists.js';
import rules from 'catalogue-rules';
import { installTextDocument } from './ui/svgtext.js';
import { createRecords } from './records/records.js';
import { exportSiteMap } from './records/mapexport.js';
import { gatherEvidence } from './records/diagnosisgather.js';
import { siteOf, addPlanFile, setPlanScale, placeUnits, placementRows, changePlan } from './records/mapcommands.js';
import { base64ToBytes } from './records/records.js';
import { reportableVisits } from './records/visitreport.js';
import { setLanguage } from './i18n/i18n.js';

installRuntime();
// The map's drawing makes its elements through `document`: here, text.
installTextDocument();
// The records never keep what the catalogue marks secret.
useSecretKeys(secretKeys(rules));

// How long the end of a run waits for writes already on their way.
const CLOSE_GRACE_MS = 1500;

let session = null;
let controller = null;

const host = () => globalThis.lmHost;
const progress = (done, total, text) => host().progress(done, total, text);

// An answer or failure as the command line prints it: without the
// connection it went over (which holds the LAN password).
function withoutComInfo(value) {
  if (!value || typeof value !== 'object' || Array.isArray(value)) return value;
  const { comInfo, ...rest } = value;
  return rest;
}

const failureOf = (e) => withoutComInfo((e && e.detail) || { msg: (e && e.message) || String(e) });
const delay = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function newStore() {
  return createStore({ unit: null, regInfo: null, regProv: null, routesFrom: 'unit', siteSurvey: null, siteSurveyDone: null, busy: 0, linkLost: false, thresholds: DEFAULT_THRESHOLDS });
}

// The writes a pending file lists; a file that is not such a list is
// ignored (each write is checked again by the store).
function pendingList(text) {
  try {
    const list = JSON.parse(text).writes;
    return Array.isArray(list) ? list : [];
  } catch (e) {
    return [];
  }
}

// A session: `record` false keeps nothing (--no-record). Earlier runs'
// pending writes are written first.
export function open({ record = true } = {}) {
  const store = newStore();
  session = { store, api: pageApi, writes: null, recorder: null, surveyIds: [], unitReg: null, fileReg: null };
  if (!record) return null;
  const writes = createRecordWrites({ api: pageApi });
  const s = session;
  const query = async (name, arg, options) => {
    const answer = await writes.query(name, arg, options);
    if (name === 'LmRecordsRecordSurvey' && answer && typeof answer.id === 'number') s.surveyIds.push(answer.id);
    return answer;
  };
  s.writes = writes;
  s.recorder = createRecorder({ api: { ...pageApi, query }, store });
  s.recorder.watch();
  s.api = s.recorder.api;
  const earlier = host().loadPending();
  if (earlier) writes.replay(pendingList(earlier));
  // The reads of connecting wait for the unit's serial, as a unit connected
  // by address does in the page.
  store.set({ unit: {} });
  return null;
}

// The base unit is connected (comInfo with its serial): its visit begins.
export function connected({ unit }) {
  session.store.set({ unit });
  return null;
}

// The visit ends (the monitor begins one per survey); writes on their way
// get a moment. Resolves with the surveys the store took so far.
export async function disconnected() {
  const { store, recorder } = session;
  store.set({ unit: null });
  if (recorder) await Promise.race([recorder.idle(), delay(CLOSE_GRACE_MS)]);
  return { surveyIds: session.surveyIds };
}

// A registration taken from a file ({regInfo}): the surveys made from it
// keep it as their registration, marked as from a file.
export function registrationFile({ regInfo }) {
  session.fileReg = regInfo;
  return null;
}

// A site's acceptance of the latest site survey (the site logic's
// acceptance()), kept on that survey's visit as the page keeps one.
export function recordAcceptance({ acceptance }) {
  const { recorder, store } = session;
  const latest = store.get().siteSurvey;
  if (!recorder || !latest || !acceptance) return null;
  const { rules, ...kept } = acceptance;
  recorder.recordFor(latest, 'recordAcceptance', { takenAt: Number.isFinite(kept.judgedAt) ? kept.judgedAt : Date.now(), raw: [], decoded: kept });
  return null;
}

// One page function through the session's api, which the recorder watches:
// {ok, value} with the answer or the failure object.
export async function query({ name, arg }) {
  try {
    const value = name === 'ComOpen' ? await session.api.open(arg.comInfo) : await session.api.query(name, arg);
    // The recorder keeps the registration as read; a survey made from it
    // names that record.
    if (name === 'ComTcmdRSETF' && value && value.regInfo) session.unitReg = value.regInfo;
    return { ok: true, value };
  } catch (e) {
    return { ok: false, value: (e && e.detail) || { msg: (e && e.message) || String(e) } };
  }
}

// Aborts the flow running now (SIGINT, SIGTERM): it stops between probes.
export function abort() {
  if (controller) controller.abort(new pageApi.CancelledError());
  return null;
}

function targetLabel(regInfo, target) {
  if (target.label) return target.label;
  try {
    const hops = buildRoute(regInfo, target).hops;
    const far = hops[hops.length - 1] || {};
    return far.name || far.serial || '';
  } catch (e) {
    return '';
  }
}

function stoppedBy(error, linkLost) {
  if (!error) return { stopped: false, linkLost: false, failure: null };
  return { stopped: true, linkLost, failure: linkLost ? failureOf(error) : { msg: 'stopped' } };
}

// A site survey (kind "site": every target in turn, kept as the page's site
// survey) or a route survey (kind "route": one target, kept probe by probe).
// Resolves with the raw material ({target, probes: [{answer, when}]} or
// {target, failed} per unit), the judged survey and how it ended.
// The registration object a survey works from: the one read or loaded, so
// the recorder names the record it already keeps, and where it came from.
function registrationOf(regInfo) {
  const same = (kept) => kept && JSON.stringify(kept) === JSON.stringify(regInfo);
  if (same(session.fileReg)) return { reg: session.fileReg, source: 'file' };
  return { reg: same(session.unitReg) ? session.unitReg : regInfo, source: 'unit' };
}

export async function survey({ comInfo, regInfo: given, targets, kind = 'site', probes = 1, mnemonic = 'EWLEX', thresholds }) {
  const { store, api } = session;
  const th = thresholds || DEFAULT_THRESHOLDS;
  const first = session.surveyIds.length;
  const { reg: regInfo, source } = registrationOf(given);
  const prov = { base: { serial: String(comInfo.serial || ''), name: String(comInfo.name || ''), model: String(comInfo.model || '') }, unit: null, source, time: Date.now() };
  controller = new AbortController();
  store.set({ regInfo, regProv: prov, thresholds: th, busy: store.get().busy + 1 });
  const units = [];
  const linkLost = () => Boolean(api.isLost && api.isLost(comInfo));
  const run = async (target, signal) => {
    const entry = { target, probes: [] };
    let last = null;
    const watched = { ...api, query: (name, arg, options) => api.query(name, arg, options).then((answer) => (last = answer)) };
    const onProbe = () => entry.probes.push({ answer: withoutComInfo(last), when: Date.now() });
    try {
      const result = await runSurvey({ api: watched, comInfo, regInfo, target, mnemonic, signal, probes, thresholds: th, onProbe });
      units.push(entry);
      return result;
    } catch (e) {
      if (!(e instanceof pageApi.CancelledError) && !linkLost()) units.push({ target, failed: failureOf(e) });
      throw e;
    }
  };
  const total = targets.length;
  const step = (i) => progress(i, total, `unit ${i + 1}/${total} ${targetLabel(regInfo, targets[i])}`);
  const base = { ...newSurvey({ prov, reg: { regInfo, prov }, targets }), probes };
  // A route survey is not the site's survey: the recorder keeps it probe by probe.
  const publish = kind === 'site' ? (s) => store.set(surveyPatch(store.get(), { ...s, probes })) : () => {};
  const { error } = await surveyTargets({ survey: base, targets, run, signal: controller.signal, publish, progress: step, linkLost });
  controller = null;
  store.set({ busy: store.get().busy - 1 });
  progress(units.length, total, `surveyed ${units.length} of ${total} units`);
  const judged = { ...siteSurvey(regInfo, units, { targets, thresholds: th, when: Date.now(), base: prov.base }), started: base.started, finished: Date.now() };
  return { units, survey: judged, ...stoppedBy(error, error !== null && linkLost()), surveyIds: session.surveyIds.slice(first) };
}

// A channel scan: `rounds` rounds over `channels`, `chunk` channels a call
// as the channel view measures; a stop or a failure cuts it off.
export async function scan({ comInfo, channels, rounds, chunk = 8 }) {
  const { store, api } = session;
  controller = new AbortController();
  store.set({ busy: store.get().busy + 1 });
  const measured = [];
  let failure = null;
  for (let r = 0; r < rounds && !failure; r++) {
    const readings = [];
    for (let i = 0; i < channels.length && !failure; i += chunk) {
      progress(r * channels.length + i, rounds * channels.length, `round ${r + 1}/${rounds}, channel ${i} of ${channels.length}`);
      try {
        if (controller.signal.aborted) throw new pageApi.CancelledError();
        const answer = await api.rsLevels(comInfo, channels.slice(i, i + chunk), { signal: controller.signal });
        if (!Array.isArray(answer)) throw new pageApi.DeviceError(answer);
        readings.push(...answer);
      } catch (e) {
        failure = e instanceof pageApi.CancelledError ? { msg: 'stopped' } : failureOf(e);
      }
    }
    if (!readings.length) break;
    measured.push(readings);
  }
  controller = null;
  store.set({ busy: store.get().busy - 1 });
  progress(1, 1, `${measured.length} rounds of ${channels.length} channels measured`);
  return { rounds: measured, cutOff: failure !== null, failure };
}

// The run ends: the visit ends, writes on their way get a moment, and what
// the store still could not take is kept in the pending file beside it.
export async function close() {
  const { recorder, writes, store } = session;
  if (!recorder) return { pending: 0, failed: '', surveyIds: [] };
  if (store.get().unit) store.set({ unit: null });
  await Promise.race([recorder.idle(), delay(CLOSE_GRACE_MS)]);
  writes.end();
  await recorder.idle();
  const pending = writes.pending();
  const saved = host().savePending(pending.length ? JSON.stringify({ writes: pending }) : '');
  const status = recorder.status();
  const failed = [status.state === 'failed' ? status.message : '', ...writes.failures()].filter(Boolean).join('; ');
  return { pending: pending.length, file: saved, failed: pending.length && !saved ? failed || 'no file for the pending writes' : failed, surveyIds: session.surveyIds };
}

// A site's map as a standalone SVG (records/mapexport.js): serial (a
// number), plan (name or number), language ('ja' | 'en').
// Resolves with {svg, plan, surveyStarted, links} or {failure: why}.
export async function mapExport({ serial, plan, language = 'en' }) {
  try {
    setLanguage(language);
    return await exportSiteMap(createRecords({ api: session.api }), { serial, which: plan });
  } catch (e) {
    return { failure: (e && e.detail && e.detail.msg) || (e && e.message) || String(e) };
  }
}

// What the site records add to the acceptance of a survey (the base unit
// {serial, name}, its registration, when it started and finished): the
// map, earlier surveys, the channel scan and the log near it; the survey's
// own records (this session's) are no earlier survey.
export async function diagnosisEvidence({ base, regInfo, started, finished }) {
  const records = createRecords({ api: session.api });
  return gatherEvidence(records, { prov: { base }, regInfo, started, finished }, { exclude: session.surveyIds });
}

// The map from the shell (records/mapcommands.js), each answering what it
// kept or {failure: why}: `site` a serial or name; `by` who edits.
async function mapWork(f) {
  try {
    return await f(createRecords({ api: session.api }));
  } catch (e) {
    return { failure: (e && e.detail && e.detail.msg) || (e && e.message) || String(e) };
  }
}

export const mapPlan = ({ site, image, name, page, by }) => mapWork(async (records) => {
  const found = await siteOf(records, site);
  const { plan, added } = await addPlanFile(records, { site: found, bytes: base64ToBytes(image), name, page, by });
  return { site: found, plan: { id: plan.id, name: plan.name, width: plan.width, height: plan.height }, added };
});

export const mapScale = ({ site, plan, from, to, metres, by }) => mapWork(async (records) => {
  const found = await siteOf(records, site);
  const done = await setPlanScale(records, { site: found, plan, from, to, metres, by });
  return { site: found, plan: { id: done.plan.id, name: done.plan.name }, metresPerPixel: done.metresPerPixel };
});

export const mapPlace = ({ site, plan, csv, by }) => mapWork(async (records) => {
  const found = await siteOf(records, site);
  const done = await placeUnits(records, { site: found, plan, rows: placementRows(csv), by });
  return { site: found, plan: { id: done.plan.id, name: done.plan.name }, placed: done.placed };
});

export const mapPlanChange = ({ site, plan, change, name, by }) => mapWork(async (records) => {
  const found = await siteOf(records, site);
  const done = await changePlan(records, { site: found, plan, change, name, by });
  return { site: found, plan: { id: done.plan.id, name: done.name }, change: done.change };
});

// The visit a report is made of: site `site` (serial or name), visit
// `visit` (its id; the newest ended visit with a site survey when not
// given). {site, visit: {id, startedAt, endedAt}} or {failure: why}.
export const reportVisit = ({ site, visit }) => mapWork(async (records) => {
  const found = await siteOf(records, site);
  const visits = await reportableVisits(records, found.serial);
  if (!visits.length) throw new Error('the site has no ended visit with a site survey');
  const chosen = visit === undefined || visit === null ? visits[0] : visits.find((v) => v.id === visit);
  if (!chosen) throw new Error(`the site has no ended visit ${visit} with a site survey (its visits: ${visits.map((v) => v.id).join(', ')})`);
  return { site: found, visit: { id: chosen.id, startedAt: chosen.startedAt, endedAt: chosen.endedAt } };
});

// The command line's entry: runs flow `name` with the arguments of JSON
// text `args`; done(true, JSON answer) or done(false, why).
const FLOWS = { mapPlan, mapScale, mapPlace, mapPlanChange, reportVisit, open, connected, disconnected, registrationFile, recordAcceptance, query, abort, survey, scan, close, mapExport, diagnosisEvidence };
export function run(name, args, done) {
  Promise.resolve()
    .then(() => {
      if (!FLOWS[name]) throw new Error('no flow ' + name);
      if (!session && name !== 'open') throw new Error('no session open');
      return FLOWS[name](...JSON.parse(args));
    })
    .then((value) => done(true, JSON.stringify(value === undefined ? null : value)), (e) => done(false, (e && e.stack) || String(e)));
}
