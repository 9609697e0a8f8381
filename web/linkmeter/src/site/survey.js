// One radio survey of a route (EWLEX or EWLRU) turned into a result the
// views, the report and the CSV share.
import * as defaultApi from '../device/api.js';
import { buildRoute, matchSignals } from '../device/route.js';
import { labelOf } from './names.js';
import { levelClass, batteryClass, batteryLow, levelPoor } from './quality.js';
import { DEFAULT_THRESHOLDS } from './thresholds.js';
import { emptyStats, addProbe, median, hopVerdict, routeVerdict, hopFigures } from './linkstats.js';
import { timeText } from '../ui/formats.js';

// Probes and results. A result keeps, per hop, the statistics of every
// probe (linkstats.js); its classes and verdicts are worked out from them
// under the boundaries in force, so changed thresholds rejudge it.

// Statistics per hop with one more probe's answer in.
export function addAnswer(route, stats, answer, when = Date.now()) {
  const readings = matchSignals(route.hops, answer && answer.Signals);
  return route.hops.map((hop, i) => addProbe(stats[i] || emptyStats(), readings[i], when));
}

function judgeHop(hop, th) {
  const st = hop.stats;
  const level = median(st);
  const reading = st.answered ? {
    level,
    battery: st.batteryLast,
    levelClass: levelClass(level, th),
    batteryClass: batteryClass(st.batteryLast, th),
    lowBattery: batteryLow(st.batteryLast, th),
    poor: levelPoor(level, th),
  } : null;
  const verdict = hopVerdict(st, th);
  if (reading) reading.poor = reading.poor || verdict === 'weak' || verdict === 'bad';
  return { ...hop, reading, verdict, figures: hopFigures(st) };
}

// The result judged under boundaries `th`: classes, verdicts and the far
// unit's probes. Memoised per result, so views can ask on every redraw.
const judgedCache = new WeakMap();
export function judgeResult(result, th = DEFAULT_THRESHOLDS) {
  if (result.thresholds === th || !result.hops.every((hop) => hop.stats)) return result;
  const cached = judgedCache.get(result);
  if (cached && cached.thresholds === th) return cached;
  const hops = result.hops.map((hop) => judgeHop(hop, th));
  const far = hops.length ? hops[hops.length - 1].stats : emptyStats();
  const judged = { ...result, hops, thresholds: th, verdict: routeVerdict(hops.map((hop) => hop.stats), th), far: { asked: far.asked, answered: far.answered } };
  judgedCache.set(result, judged);
  return judged;
}

// Status of a survey: 'ok' (the far unit answered a probe), 'partial' (only
// hops before it did), 'noAnswer', 'failed' (the base unit or the program
// refused) or 'cancelled'.
export function resultFromStats(route, stats, last, when, th = DEFAULT_THRESHOLDS) {
  const hops = route.hops.map((hop, i) => ({
    ...hop,
    label: labelOf(route.group.index, hop.kind, hop.num, hop.name),
    stats: stats[i] || emptyStats(),
  }));
  const farAnswered = hops.length > 0 && hops[hops.length - 1].stats.answered > 0;
  let status = 'ok';
  if (!farAnswered) status = hops.some((hop) => hop.stats.answered > 0) ? 'partial' : 'noAnswer';
  const target = hops[hops.length - 1];
  const at = when || new Date();
  return judgeResult({
    time: timeText(at),
    when: at.getTime(),
    group: route.group,
    target: { name: target.name, model: target.model, serial: target.serial, kind: target.kind, num: target.num, label: target.label },
    status,
    STATUS: last && last.STATUS,
    msg: last && last.msg,
    hops,
  }, th);
}

// A result of one probe.
export function surveyResult(route, answer, when, th = DEFAULT_THRESHOLDS) {
  const at = when || new Date();
  return resultFromStats(route, addAnswer(route, [], answer, at.getTime()), answer, at, th);
}

// The weakest answered hop of a result, or null.
export function weakestHop(result) {
  let weakest = null;
  for (const hop of result.hops) {
    if (hop.reading && (!weakest || hop.reading.level < weakest.reading.level)) weakest = hop;
  }
  return weakest;
}

// The weakest answered hop of a unit that answered itself; null for one
// that did not, whose hops before it say nothing about its own link.
export function unitWeakestHop(result) {
  return result.status === 'ok' ? weakestHop(result) : null;
}

// One probe of `route` through `api` (the page's api.js or a stand-in): the
// answer, also when the far unit or hops before it stayed silent; a failure
// of the call itself rejects.
export async function probeRoute({ api = defaultApi, comInfo, route, mnemonic = 'EWLEX', signal }) {
  const answer = await api.query('ComTcmd' + mnemonic, { comInfo, ...route.fields }, { signal });
  if (answer && answer.isCancel) throw new defaultApi.CancelledError();
  if (answer && !answer.isSuccess && !answer.Signals && !isRadioSilence(answer)) throw new defaultApi.DeviceError(answer);
  return answer;
}

// Surveys `target` with `probes` probes in turn; onProbe(done, probes) after
// each. Resolves with the result over every probe.
export async function runSurvey({ api = defaultApi, comInfo, regInfo, target, mnemonic = 'EWLEX', signal, probes = 1, thresholds, onProbe = () => {} }) {
  const route = buildRoute(regInfo, target);
  let stats = [];
  let last = null;
  const count = Math.max(1, Math.floor(probes) || 1);
  for (let i = 0; i < count; i++) {
    if (signal && signal.aborted) throw new defaultApi.CancelledError();
    last = await probeRoute({ api, comInfo, route, mnemonic, signal });
    stats = addAnswer(route, stats, last, Date.now());
    onProbe(i + 1, count);
  }
  return resultFromStats(route, stats, last, new Date(), thresholds);
}

// STATUS 0004-xxxx other than 0000: the radio part ended without the far
// unit (the base unit itself answered normally).
function isRadioSilence(answer) {
  return typeof answer.STATUS === 'string' && answer.STATUS.startsWith('0004-') && !answer.isTimeout;
}
