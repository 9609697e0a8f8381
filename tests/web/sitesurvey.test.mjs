// Site surveys that keep their work, the report's summary and links, unit
// labels, and when the site views may survey or show a result as current.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { unitLabel, labelOf } from '../../web/linkmeter/src/site/names.js';
import { surveyResult } from '../../web/linkmeter/src/site/survey.js';
import { buildRoute } from '../../web/linkmeter/src/device/route.js';
import { surveyedLinks, weakestLinks } from '../../web/linkmeter/src/site/weaklinks.js';
import { summarize } from '../../web/linkmeter/src/site/reportsummary.js';
import { siteTargets, newSurvey, retryTargets, retryList, surveyTargets, surveyPatch, targetKey, resultKey } from '../../web/linkmeter/src/site/sitesurveybook.js';
import { surveyBlock, madeFromOther, routeSources, refusesRegistration } from '../../web/linkmeter/src/page/surveyrules.js';
import { provenance } from '../../web/linkmeter/src/ui/provenance.js';
import { CancelledError, DeviceError } from '../../web/linkmeter/src/device/api.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';

setLanguage('en');

// Two groups that both have an R1; in group 1 three units sit behind R1→R2,
// one of them nameless.
const regInfo = {
  groups: [
    { name: 'RIVER', freq: 25, band: 1,
      repeaters: [{ num: 1, parent: 0, serial: '00C80201' }, { num: 2, parent: 1, serial: '00C80202' }],
      remoteUnits: [
        { num: 1, parent: 2, serial: '00B80201', name: 'TANK-A', model: 'VL-RA' },
        { num: 2, parent: 2, serial: '00B80202', name: 'PEAR-3', model: 'VL-RA' },
        { num: 12, parent: 2, serial: '00B80212', name: '  \0\0', model: 'VL-RA' },
        { num: 4, parent: 0, serial: '00B80204', name: 'NEAR', model: 'VL-RA' },
      ] },
    { name: 'WELLS', freq: 31, band: 0,
      repeaters: [{ num: 1, parent: 0, serial: '00C80301' }],
      remoteUnits: [{ num: 1, parent: 1, serial: '00B80301', name: 'TANK-A', model: 'VL-RA' }] },
  ],
};
const riverside = { serial: '009C0021', name: 'RIVERSIDE', model: 'VL-B7', com: 2 };
const greenhouse = { serial: '009A0011', name: 'GREENHOUSE', model: 'VL-B1', com: 1 };

test('a unit is named with its group, a nameless one by its number the same way everywhere', () => {
  const cases = [
    [0, 'remote', 1, 'G1 TANK-A'],
    [1, 'remote', 1, 'G2 TANK-A'],
    [0, 'repeater', 1, 'G1 R1'],
    [1, 'repeater', 1, 'G2 R1'],
    [0, 'remote', 12, 'G1 #12'], // a name of padding only
    [0, 'remote', 99, 'G1 #99'], // not registered
    [5, 'remote', 1, 'G6 #1'], // no such group
  ];
  for (const [group, kind, num, label] of cases) assert.equal(unitLabel(regInfo, group, kind, num), label, label);
  assert.equal(unitLabel(null, 0, 'repeater', 3), 'G1 R3');
  // The survey's hop labels and the tree's agree.
  const route = buildRoute(regInfo, { group: 0, kind: 'remote', num: 12 });
  const r = surveyResult(route, { isSuccess: true, Signals: [{ number: 1, level: 150, battery: 22 }, { number: 2, level: 90, battery: 80 }, { number: 12, level: 120, battery: 70 }] });
  assert.deepEqual(r.hops.map((hop) => hop.label), ['G1 R1', 'G1 R2', labelOf(0, 'remote', 12, '')]);
  assert.equal(r.target.label, 'G1 #12');
});

// A result of unit `num` of group `group` whose hops answered with `levels`
// (null: no answer from that hop on).
function result(group, num, levels, battery = 80) {
  const route = buildRoute(regInfo, { group, kind: 'remote', num });
  const signals = [];
  route.hops.forEach((hop, i) => {
    if (levels[i] !== null && levels[i] !== undefined) signals.push({ number: hop.num, level: levels[i], battery });
  });
  const all = signals.length === route.hops.length;
  return surveyResult(route, { isSuccess: all, STATUS: all ? '0004-0000' : '0004-0002', Signals: signals.sort((a, b) => a.number - b.number) });
}

test('weak links are listed once per link, with the units behind them, at the median of every probe through them', () => {
  const results = [
    result(0, 1, [150, 95, 140]), // TANK-A answers; R1→R2 is weak
    result(0, 2, [150, 88, null]), // PEAR-3 silent, the hops before it answered
    result(0, 12, [149, 92, 131]),
    result(0, 4, [160]),
    result(1, 1, [150, 70]), // the other group's R1 → TANK-A: bad
  ];
  const links = surveyedLinks(results);
  const keys = links.map((l) => l.key);
  assert.equal(new Set(keys).size, keys.length, 'no link twice');
  const cases = [
    // key, level, class, units behind it (answered?)
    ['1:repeater1>remote1', 70, 'bad', [['G2 TANK-A', true]]],
    ['0:repeater1>repeater2', 92, 'weak', [['G1 TANK-A', true], ['G1 PEAR-3', false], ['G1 #12', true]]],
    ['0:base0>repeater1', 150, 'good', [['G1 TANK-A', true], ['G1 PEAR-3', false], ['G1 #12', true]]],
  ];
  for (const [key, level, quality, units] of cases) {
    const link = links.find((l) => l.key === key);
    assert.ok(link, key);
    assert.equal(link.level, level, key);
    assert.equal(link.levelClass, quality, key);
    assert.deepEqual(link.units.map((u) => [u.label, u.answered]), units, key);
  }
  assert.deepEqual(links.slice(0, 2).map((l) => l.key), ['1:repeater1>remote1', '0:repeater1>repeater2'], 'weakest first');
  assert.ok(!keys.includes('0:repeater2>remote2'), 'a hop that did not answer is no measured link');
  // Every poor link, and at least `count`.
  assert.equal(weakestLinks(results, 1).length, 2);
  assert.equal(weakestLinks(results, 4).length, 4);
});

test('the report counts what was surveyed, names the silent units and classes no unit by hops it did not answer', () => {
  const targets = siteTargets(regInfo);
  const cases = [
    {
      what: 'stopped after three units',
      results: [result(0, 1, [150, 95, 140], 25), result(0, 2, [150, 88, null], 25), result(0, 12, [])],
      want: { total: 5, surveyed: 3, answered: 1, partial: 1, noAnswer: 1, complete: false },
      silent: ['G1 PEAR-3', 'G1 #12'], notSurveyed: ['G1 NEAR', 'G2 TANK-A'],
      classes: { 'G1 TANK-A': 'weak', 'G1 PEAR-3': 'none', 'G1 #12': 'none' },
      batteries: ['G1 R1', 'G1 R2', 'G1 TANK-A'], // once each, PEAR-3's hops add none again
    },
    {
      what: 'every unit answered',
      results: [result(0, 1, [150, 130, 140]), result(0, 2, [150, 130, 131]), result(0, 12, [150, 130, 132]), result(0, 4, [160]), result(1, 1, [150, 140])],
      want: { total: 5, surveyed: 5, answered: 5, partial: 0, noAnswer: 0, complete: true },
      silent: [], notSurveyed: [], classes: { 'G1 NEAR': 'good', 'G2 TANK-A': 'good' }, batteries: [],
    },
  ];
  for (const c of cases) {
    let survey = newSurvey({ prov: provenance(riverside), reg: { regInfo, prov: provenance(riverside) }, targets });
    survey = { ...survey, results: c.results, complete: c.want.complete, running: false };
    const sum = summarize(survey);
    for (const [k, v] of Object.entries(c.want)) assert.equal(sum[k], v, `${c.what}: ${k}`);
    assert.deepEqual(sum.silent.map((u) => u.label), c.silent, c.what);
    assert.deepEqual(sum.notSurveyed.map((u) => u.label), c.notSurveyed, c.what);
    for (const [label, cls] of Object.entries(c.classes)) {
      assert.equal(sum.units.find((u) => u.result.target.label === label).levelClass, cls, `${c.what}: ${label}`);
    }
    assert.deepEqual(sum.batteries.map((b) => b.label), c.batteries, c.what);
  }
});

// A stand-in api answering EWLEX per unit number: 'ok', 'silent', 'fail',
// 'lost', or 'hang' (answers only when cancelled).
function fakeApi(behaviour) {
  const calls = [];
  return {
    calls,
    query(name, arg, { signal } = {}) {
      const num = arg.ID[1];
      calls.push({ name, num, group: arg.CH });
      const how = behaviour(num, calls.length);
      if (how === 'fail') return Promise.reject(new DeviceError({ code1: 1028, msg: 'receive error' }));
      if (how === 'hang') {
        return new Promise((resolve, reject) => signal.addEventListener('abort', () => reject(new CancelledError()), { once: true }));
      }
      const relays = arg.RELAY.map((n) => ({ number: n, level: 140, battery: 90 }));
      if (how === 'silent') return Promise.resolve({ isSuccess: false, STATUS: '0004-0002', Signals: relays });
      return Promise.resolve({ isSuccess: true, STATUS: '0004-0000', Signals: [...relays, { number: num, level: 120, battery: 60 }].sort((a, b) => a.number - b.number) });
    },
  };
}

async function runOnce({ state, api, survey, targets, abortAt = -1, lost = () => false }) {
  const controller = new AbortController();
  const reg = { regInfo, prov: provenance(riverside) };
  let published = 0;
  const publish = (s) => {
    Object.assign(state, surveyPatch(state, s));
    if (++published === abortAt) controller.abort();
  };
  const { runSurvey } = await import('../../web/linkmeter/src/site/survey.js');
  const run = (target, signal) => runSurvey({ api, comInfo: riverside, regInfo: reg.regInfo, target, signal });
  return surveyTargets({ survey, targets, run, signal: controller.signal, publish, linkLost: lost });
}

test('a cancelled survey keeps its rows and the last complete one; surveying again asks only the units that did not answer', async () => {
  const state = { siteSurvey: null, siteSurveyDone: null };
  const reg = { regInfo, prov: provenance(riverside) };
  const fresh = () => newSurvey({ prov: provenance(riverside), reg, targets: siteTargets(regInfo) });

  // A complete survey in which PEAR-3 (2) does not answer and #12's call fails.
  const first = await runOnce({ state, api: fakeApi((num) => (num === 2 ? 'silent' : num === 12 ? 'fail' : 'ok')), survey: fresh(), targets: fresh().targets });
  assert.equal(first.error, null);
  assert.equal(state.siteSurveyDone, first.survey);
  assert.deepEqual(first.survey.results.map((r) => r.status), ['ok', 'partial', 'failed', 'ok', 'ok']);
  assert.ok(first.survey.results[2].msg, 'the failure says why');

  // A new survey cancelled after two units: its rows stay, marked incomplete,
  // and the complete one stays available.
  const second = await runOnce({ state, api: fakeApi((num, n) => (n >= 3 ? 'hang' : 'ok')), survey: fresh(), targets: fresh().targets, abortAt: 3 });
  assert.ok(second.error instanceof CancelledError);
  assert.equal(second.survey.results.length, 2);
  assert.equal(second.survey.complete, false);
  assert.equal(second.survey.stopped, true);
  assert.equal(state.siteSurvey, second.survey);
  assert.equal(state.siteSurveyDone, first.survey, 'the last complete survey is kept');

  // Again: only the three units not answered or not reached are asked.
  const again = retryTargets(second.survey);
  assert.deepEqual(again.map(targetKey), ['0:remote:12', '0:remote:4', '1:remote:1']);
  // The list above the table is exactly what "survey again" counts: those
  // that did not answer with their result, those a stop left out without.
  const listed = (survey) => retryList(survey).map((x) => [targetKey(x.target), x.result ? x.result.status : 'notSurveyed']);
  assert.deepEqual(listed(first.survey), [['0:remote:2', 'partial'], ['0:remote:12', 'failed']]);
  assert.deepEqual(listed(second.survey), [['0:remote:12', 'notSurveyed'], ['0:remote:4', 'notSurveyed'], ['1:remote:1', 'notSurveyed']]);
  assert.deepEqual(listed({ ...second.survey, running: true }), [], 'units still ahead of a running survey are not left out');
  const api = fakeApi(() => 'ok');
  const third = await runOnce({ state, api, survey: second.survey, targets: again });
  assert.deepEqual(api.calls.map((c) => c.num), [12, 4, 1]);
  assert.equal(third.survey.complete, true);
  assert.deepEqual(third.survey.results.map(resultKey), siteTargets(regInfo).map(targetKey), 'rows in site order');
  assert.equal(state.siteSurveyDone, third.survey, 'complete now: it replaces the earlier one');
  assert.deepEqual(retryTargets(third.survey), []);
});

test('a lost link stops the survey instead of failing every unit', async () => {
  const state = { siteSurvey: null, siteSurveyDone: null };
  const reg = { regInfo, prov: provenance(riverside) };
  const survey = newSurvey({ prov: provenance(riverside), reg, targets: siteTargets(regInfo) });
  let lost = false;
  const api = fakeApi((num, n) => (n === 2 ? (lost = true, 'fail') : 'ok'));
  const out = await runOnce({ state, api, survey, targets: survey.targets, lost: () => lost });
  assert.ok(out.error instanceof DeviceError);
  assert.equal(api.calls.length, 2, 'nothing sent after the link was lost');
  assert.deepEqual(out.survey.results.map((r) => r.status), ['ok']);
  assert.equal(state.siteSurveyDone, null);
});

test('surveys run only from the connected unit\'s registration in use; results from another are earlier', () => {
  const unitReg = { regInfo, regProv: provenance(riverside) };
  const sibling = { siblingReg: { regInfo, prov: provenance(riverside, { source: 'sibling' }) } };
  const manualUsb = { manualReg: { regInfo, prov: provenance(greenhouse, { source: 'manual' }) } };
  const cases = [
    // state, why surveys cannot run
    [{ unit: null, routesFrom: 'unit' }, 'notConnected'],
    [{ unit: riverside, routesFrom: 'unit' }, 'noRegistration'],
    [{ unit: riverside, routesFrom: 'unit', ...unitReg }, ''],
    [{ unit: riverside, routesFrom: 'unit', ...unitReg, linkLost: true }, 'linkLost'],
    [{ unit: greenhouse, routesFrom: 'unit', ...unitReg }, 'otherBase'], // RIVERSIDE's routes to GREENHOUSE: never
    [{ unit: greenhouse, routesFrom: 'manual', ...unitReg, ...manualUsb }, ''],
    [{ unit: riverside, routesFrom: 'sibling', ...unitReg, ...sibling }, ''],
    [{ unit: riverside, routesFrom: 'unit', regInfo, regProv: null }, 'otherBase'], // whose is unknown
  ];
  for (const [state, why] of cases) assert.equal(surveyBlock(state), why, JSON.stringify([state.unit && state.unit.name, state.routesFrom, why]));

  const survey = { prov: provenance(riverside), regSource: 'unit' };
  const marks = [
    [{ unit: riverside, routesFrom: 'unit', ...unitReg }, false],
    [{ unit: riverside, routesFrom: 'sibling', ...unitReg, ...sibling }, true], // routes from another source now
    [{ unit: greenhouse, routesFrom: 'manual', ...manualUsb }, true],
    [{ unit: riverside, routesFrom: 'unit' }, true],
  ];
  for (const [state, earlier] of marks) assert.equal(madeFromOther(survey, state), earlier, state.routesFrom);
  assert.deepEqual(routeSources({ regInfo, siblingReg: null, manualReg: manualUsb.manualReg }).map((x) => x.available), [true, false, true]);
  assert.deepEqual([greenhouse, riverside, null].map(refusesRegistration), [true, false, false]);
});
