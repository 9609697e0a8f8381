// One radio survey of a route (EWLEX or EWLRU) turned into a result the
// views, the report and the CSV share.
import * as defaultApi from './api.js';
import { buildRoute, matchSignals } from './route.js';
import { labelOf } from './names.js';
import { levelClass, batteryClass, batteryLow, levelPoor } from './quality.js';
import { timeText } from './dom.js';

// Status of a survey: 'ok', 'partial' (some hops answered), 'noAnswer',
// 'failed' (the base unit or the program refused) or 'cancelled'.
export function surveyResult(route, answer, when) {
  const readings = matchSignals(route.hops, answer && answer.Signals);
  const hops = route.hops.map((hop, i) => {
    const r = readings[i];
    return {
      ...hop,
      label: labelOf(route.group.index, hop.kind, hop.num, hop.name),
      reading: r && {
        ...r,
        levelClass: levelClass(r.level),
        batteryClass: batteryClass(r.battery),
        lowBattery: batteryLow(r.battery),
        poor: levelPoor(r.level),
      },
    };
  });
  const answered = hops.filter((h) => h.reading).length;
  let status = 'ok';
  if (!answer || !answer.isSuccess) status = answered > 0 ? 'partial' : 'noAnswer';
  const target = hops[hops.length - 1];
  const at = when || new Date();
  return {
    time: timeText(at),
    when: at.getTime(),
    group: route.group,
    target: { name: target.name, model: target.model, serial: target.serial, kind: target.kind, num: target.num, label: target.label },
    status,
    STATUS: answer && answer.STATUS,
    msg: answer && answer.msg,
    hops,
  };
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

// Runs one survey through `api` (the page's api.js or a stand-in). A unit
// that does not answer resolves with a result of status noAnswer/partial;
// a failure of the call itself rejects.
export async function runSurvey({ api = defaultApi, comInfo, regInfo, target, mnemonic = 'EWLEX', signal }) {
  const route = buildRoute(regInfo, target);
  const answer = await api.query('ComTcmd' + mnemonic, { comInfo, ...route.fields }, { signal });
  if (answer && answer.isCancel) throw new defaultApi.CancelledError();
  if (answer && !answer.isSuccess && !answer.Signals && !isRadioSilence(answer)) throw new defaultApi.DeviceError(answer);
  return surveyResult(route, answer, new Date());
}

// STATUS 0004-xxxx other than 0000: the radio part ended without the far
// unit (the base unit itself answered normally).
function isRadioSilence(answer) {
  return typeof answer.STATUS === 'string' && answer.STATUS.startsWith('0004-') && !answer.isTimeout;
}
