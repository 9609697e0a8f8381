// The bookkeeping of site surveys, apart from the page: the units to survey,
// results kept as they come (a cancel keeps what was gathered), the units
// to survey again, and the last complete survey, which stays available until
// a newer one completes.
import { allRemoteTargets, buildRoute } from '../device/route.js';
import { labelOf } from './names.js';
import { describeError } from '../device/errors.js';
import { CancelledError } from '../device/api.js';
import { timeText } from '../ui/formats.js';

export const targetKey = (x) => `${x.group}:${x.kind}:${x.num}`;
// The key of the unit a result is for (results name their group apart).
export const resultKey = (r) => targetKey({ group: r.group.index, kind: r.target.kind, num: r.target.num });

// Every remote unit of the registration, with what names it.
export function siteTargets(regInfo) {
  return allRemoteTargets(regInfo).map((x) => {
    const u = regInfo.groups[x.group].remoteUnits.find((r) => r.num === x.num) || {};
    return { ...x, serial: u.serial || '', name: u.name || '', model: u.model || '', label: labelOf(x.group, 'remote', x.num, u.name) };
  });
}

// A survey of `targets` of registration `reg` ({regInfo, prov}) by the base
// unit of `prov`.
export function newSurvey({ prov, reg, targets, now = Date.now() }) {
  return { prov, regInfo: reg.regInfo, regSource: reg.prov ? reg.prov.source : 'unit', targets, results: [], complete: false, stopped: false, running: true, started: now, finished: null };
}

// The survey with `result` in, replacing an earlier one of the same unit;
// results stay in the order of the targets.
export function withResult(survey, result) {
  const key = resultKey(result);
  const order = new Map(survey.targets.map((x, i) => [targetKey(x), i]));
  const results = survey.results.filter((r) => resultKey(r) !== key).concat([result]);
  results.sort((a, b) => (order.get(resultKey(a)) ?? 1e9) - (order.get(resultKey(b)) ?? 1e9));
  return { ...survey, results };
}

// Complete once every target has a result, however it went.
export function finished(survey, { stopped, now = Date.now() }) {
  const done = new Set(survey.results.map(resultKey));
  return { ...survey, running: false, stopped, finished: now, complete: survey.targets.every((x) => done.has(targetKey(x))) };
}

// The units to survey again: those that did not answer and those a stop
// left out.
export function retryTargets(survey) {
  if (!survey) return [];
  const ok = new Set(survey.results.filter((r) => r.status === 'ok').map(resultKey));
  return survey.targets.filter((x) => !ok.has(targetKey(x)));
}

// What "survey again" lists and counts, one entry per unit it would ask:
// {target, result} with the result that did not answer, or result null for
// a unit a stop left out. While the survey runs, the units still ahead
// are not left out.
export function retryList(survey) {
  if (!survey) return [];
  const results = new Map(survey.results.map((r) => [resultKey(r), r]));
  const list = retryTargets(survey).map((target) => ({ target, result: results.get(targetKey(target)) || null }));
  return survey.running ? list.filter((x) => x.result) : list;
}

// The store change for `survey`: the latest one, and the last complete one
// kept until a newer one completes.
export function surveyPatch(state, survey) {
  return { siteSurvey: survey, siteSurveyDone: survey.complete && !survey.running ? survey : state.siteSurveyDone || null };
}

// A result for a unit whose survey could not even be sent.
export function failedResult(regInfo, target, error, when = new Date()) {
  let hops = [];
  try {
    hops = buildRoute(regInfo, target).hops;
  } catch (e) { /* the message says why */ }
  const group = regInfo.groups[target.group];
  // The sentence in the page's language; the program's text apart.
  const d = describeError(error);
  return {
    time: timeText(when),
    when: when.getTime(),
    group: { index: target.group, name: group.name || '', freq: group.freq },
    target: { name: target.name || '', model: target.model || '', serial: target.serial || '', kind: 'remote', num: target.num, label: target.label },
    status: 'failed',
    msg: d.title || d.msg || '',
    details: d.details || '',
    hops: hops.map((hop) => ({ ...hop, label: labelOf(target.group, hop.kind, hop.num, hop.name), reading: null })),
  };
}

// Surveys `targets` in turn with run(target, signal) → result, publishing the
// survey after every unit. A cancel, or a lost link (linkLost() true after a
// failure), stops it and keeps what was gathered. Resolves with
// {survey, error}: error is the reason it stopped, or null.
export async function surveyTargets({ survey, targets, run, signal, publish, progress = () => {}, linkLost = () => false }) {
  let s = { ...survey, running: true, stopped: false };
  publish(s);
  let error = null;
  for (let i = 0; i < targets.length && !error; i++) {
    progress(i, targets.length);
    try {
      if (signal && signal.aborted) throw new CancelledError();
      s = withResult(s, await run(targets[i], signal));
    } catch (e) {
      if (e instanceof CancelledError || linkLost()) error = e;
      else s = withResult(s, failedResult(s.regInfo, targets[i], e));
    }
    if (!error) publish(s);
  }
  s = finished(s, { stopped: error !== null });
  publish(s);
  return { survey: s, error };
}
