// Waivers through the page's recorder: each waiver and withdrawal is its own
// record on the visit the survey was taken in, a withdrawal names the
// waiver's id as the store gave it, and the acceptance judged with them
// turns FAIL into PASS WITH WAIVERS and back.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRecorder } from '../../web/linkmeter/src/records/recorder.js';
import { createStore } from '../../web/linkmeter/src/page/state.js';
import { CancelledError, DeviceError } from '../../web/linkmeter/src/device/api.js';
import { runSurvey } from '../../web/linkmeter/src/site/survey.js';
import { siteTargets, newSurvey, surveyTargets, surveyPatch } from '../../web/linkmeter/src/site/sitesurveybook.js';
import { provenance } from '../../web/linkmeter/src/ui/provenance.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';
import { judgeAcceptance } from '../../web/linkmeter/src/site/acceptance.js';
import { DEFAULT_PROFILE } from '../../web/linkmeter/src/site/acceptanceprofile.js';
import { VisitWaivers } from '../../web/linkmeter/src/views/acceptancewaivers.js';

const regInfo = {
  groups: [{ name: 'ORCHARD', freq: 25, band: 1, repeaters: [], remoteUnits: [
    { num: 1, parent: 0, serial: '00B80201', name: 'NEAR' }, { num: 3, parent: 0, serial: '00B80203', name: 'PEAR-3' }] }],
};
const unit = { com: 1, serial: '009A0011', name: 'GREENHOUSE', model: 'VL-B1' };

// The program: unit 3 never answers; records calls answer ids from 500 up.
function program() {
  const calls = [];
  let id = 500;
  const api = {
    CancelledError, DeviceError, isLost: () => false,
    async query(name, arg) {
      calls.push({ name, arg });
      if (name.startsWith('LmRecords')) return name.startsWith('LmRecordsRecord') || name === 'LmRecordsBeginVisit' ? { id: ++id } : true;
      const far = arg.ID[1];
      return far === 3 ? { isSuccess: false, STATUS: '0004-0001', Signals: [] } : { isSuccess: true, Signals: [{ number: far, level: 150, battery: 90 }] };
    },
  };
  return { api, calls, records: (name) => calls.filter((c) => c.name === 'LmRecords' + name).map((c) => c.arg) };
}

test('a waiver and its withdrawal are records of the visit and decide the site verdict', async () => {
  const env = program();
  const store = createStore({ unit: null, busy: 0, regInfo: null, regProv: null, routesFrom: 'unit', thresholds: DEFAULT_THRESHOLDS, siteSurvey: null, siteSurveyDone: null });
  const recorder = createRecorder({ api: env.api, store, sleep: async () => {} });
  recorder.watch();
  store.set({ unit, regInfo, regProv: provenance(unit, { time: 1000 }) });
  const base = newSurvey({ prov: provenance(unit, { time: 5000 }), reg: { regInfo, prov: store.get().regProv }, targets: siteTargets(regInfo), now: 5000 });
  const run = (target, signal) => runSurvey({ api: recorder.api, comInfo: unit, regInfo, target, signal, probes: DEFAULT_PROFILE.probes });
  store.set({ busy: 1 });
  const { survey } = await surveyTargets({ survey: base, targets: base.targets, run, publish: (s) => store.set(surveyPatch(store.get(), s)) });
  store.set({ busy: 0 });
  const visitId = await recorder.visitIdOf(survey);
  const book = new VisitWaivers(recorder);
  const judge = () => judgeAcceptance(survey, { waivers: book.records(survey) });
  assert.equal(judge().verdict, 'fail');

  assert.throws(() => book.waive(survey, { serial: '00B80203', label: 'G1 PEAR-3' }, ' '), RangeError, 'no waiver without a reason');
  const waiverId = await book.waive(survey, { serial: '00B80203', label: 'G1 PEAR-3' }, 'moved next week');
  assert.equal(judge().verdict, 'passWithWaivers');
  assert.equal(judge().units[1].waiver.id, waiverId, 'the waiver shown is the one stored');
  await book.withdraw(survey, waiverId);
  await recorder.idle();
  assert.equal(judge().verdict, 'fail');

  const [given, withdrawn] = env.records('RecordWaiver');
  assert.deepEqual([given.visitId, given.unit, given.decoded.action, given.decoded.reason, given.raw], [visitId, 0x00b80203, 'waive', 'moved next week', []]);
  assert.deepEqual([withdrawn.visitId, withdrawn.decoded.action, withdrawn.decoded.withdraws], [visitId, 'withdraw', waiverId]);
  assert.equal(env.records('RecordWaiver').length, 2, 'nothing is changed in place');
  // Another visit's survey has waivers of its own.
  assert.deepEqual(book.records({ ...survey, prov: provenance({ ...unit, serial: '009C0021' }, { time: 1 }), started: 9 }), []);
});
