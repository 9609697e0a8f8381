// The site logic the command line runs: bundled, it needs no page around it;
// every answer is plain JSON; the options a script gives it are checked; and
// statistics that went out as JSON come back in as the page keeps them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import vm from 'node:vm';
import * as site from '../../web/linkmeter/src/sitelogic.js';
import { surveyResult } from '../../web/linkmeter/src/site/survey.js';
import { buildRoute } from '../../web/linkmeter/src/device/route.js';
import { compareSiteSurveys } from '../../web/linkmeter/src/site/compare.js';
import { pageModule } from './dom-support.mjs';
import { northSite } from './site-fixture.mjs';

const here = dirname(fileURLToPath(import.meta.url));

const loadEsbuild = () => pageModule('esbuild');

// R1 -> R2 chain; unit 1 at the base unit, 2 behind R2, 3 behind a
// repeater the registration lacks.
const regInfo = northSite({ thirdParent: 9, thirdName: 'LOST' });
const target = (num) => ({ group: 0, kind: 'remote', num });
const answer = (...levels) => ({ isSuccess: true, Signals: levels.map(([number, level]) => ({ number, level, battery: 50 })) });
const probes = (...answers) => answers.map((a) => ({ answer: a }));
const WHEN = Date.UTC(2026, 0, 5, 3, 0, 0);

test('the bundle runs with no page around it and offers the functions the program calls', async (t) => {
  const esbuild = loadEsbuild();
  if (!esbuild) return t.skip('no esbuild among the page modules');
  const out = await esbuild.build({
    entryPoints: [join(here, '../../web/linkmeter/src/sitelogic.js')],
    bundle: true, write: false, format: 'iife', globalName: 'LinkmeterSite', target: ['es2020'], logLevel: 'silent',
  });
  // Nothing but the language itself: no window, document, navigator, storage or timers.
  const context = vm.createContext({});
  vm.runInContext(out.outputFiles[0].text, context);
  const offered = vm.runInContext('Object.keys(LinkmeterSite).filter((k) => typeof LinkmeterSite[k] === "function")', context);
  for (const name of ['defaultThresholds', 'thresholdProblem', 'siteTargets', 'route', 'siteRoutes', 'routeResult', 'siteSurvey',
    'parseChannels', 'channelScan', 'weakestLinks', 'compareSiteSurveys']) {
    assert.ok(offered.includes(name), name);
  }
  const answered = vm.runInContext(`JSON.stringify(LinkmeterSite.routeResult(${JSON.stringify(regInfo)}, ${JSON.stringify(target(2))},
    ${JSON.stringify(probes(answer([1, 150], [2, 140], [2, 110])))}, { when: ${WHEN} }).verdict)`, context);
  assert.equal(answered, '"fair"');
});

// Where in `value` something sits that JSON would change: a typed array, a
// map, a set, a class instance, a number JSON has no text for, an undefined
// array entry. Null when there is nothing.
function notPlain(value, path = '') {
  if (value === null || typeof value === 'string' || typeof value === 'boolean') return null;
  if (typeof value === 'number') return Number.isFinite(value) ? null : path;
  if (Array.isArray(value)) {
    for (const [i, v] of value.entries()) {
      const at = v === undefined ? `${path}[${i}]` : notPlain(v, `${path}[${i}]`);
      if (at) return at;
    }
    return null;
  }
  if (typeof value !== 'object' || Object.getPrototypeOf(value) !== Object.prototype) return path || '(top)';
  for (const [k, v] of Object.entries(value)) {
    const at = v === undefined ? null : notPlain(v, `${path}.${k}`);
    if (at) return at;
  }
  return null;
}

test('every answer is plain JSON: no typed arrays, maps, sets or numbers JSON cannot write', () => {
  const cases = [
    ['siteTargets', () => site.siteTargets(regInfo)],
    ['siteRoutes', () => site.siteRoutes(regInfo)],
    ['routeResult', () => site.routeResult(regInfo, target(2), probes(answer([1, 150], [2, 140], [2, 90]), answer([1, 150])), { when: WHEN })],
    ['siteSurvey', () => site.siteSurvey(regInfo, [{ target: target(1), probes: probes(answer([1, 120])) }, { target: target(2), failed: 'refused' }], { when: WHEN })],
    ['channelScan', () => site.channelScan(regInfo, [[{ freq: 11, level: 30 }, { freq: 12, level: 5 }, { freq: 13, level: 40 }]])],
    ['defaultThresholds', () => site.defaultThresholds()],
  ];
  for (const [name, run] of cases) {
    assert.equal(notPlain(run()), null, name);
  }
});

test('a whole-site survey: thresholds from the caller, unusable ones refused, units that could not be surveyed', () => {
  const units = [
    { target: target(1), probes: probes(answer([1, 120]), answer([1, 125])) },
    { target: target(2), failed: { isSuccess: false, STATUS: '0001-0003', msg: 'EWLEX refused' } },
    { target: target(3), probes: probes(answer([3, 200])) }, // its repeater is missing
  ];
  const cases = [
    { what: 'page defaults', options: {}, verdict: 'fair' },
    { what: 'stricter boundaries', options: { thresholds: { level: { good: 200, fair: 150, weak: 110 }, battery: { ok: 30, low: 10 } } }, verdict: 'weak' },
    { what: 'laxer boundaries', options: { thresholds: { level: { good: 110, fair: 90, weak: 50 }, battery: { ok: 30, low: 10 } } }, verdict: 'good' },
  ];
  for (const c of cases) {
    const s = site.siteSurvey(regInfo, units, { ...c.options, when: WHEN });
    assert.deepEqual(s.results.map((r) => r.status), ['ok', 'failed', 'failed'], c.what);
    assert.equal(s.results[0].verdict, c.verdict, c.what);
    assert.equal(s.complete, true, c.what);
    assert.equal(s.summary.failed, 2, c.what);
  }
  const refused = [
    [{ level: { good: 100, fair: 120, weak: 80 }, battery: { ok: 30, low: 10 } }, /levelOrder/],
    [{ level: { good: 130, fair: 100, weak: 80 }, battery: { ok: 300, low: 10 } }, /batteryRange/],
    [{ level: { good: 130 } }, /missing/],
  ];
  for (const [thresholds, message] of refused) {
    assert.throws(() => site.siteSurvey(regInfo, units, { thresholds }), message);
    assert.throws(() => site.routeResult(regInfo, target(1), [], { thresholds }), message);
  }
  // A failure sentence in the language asked for, for that call only.
  const failedMsg = (options) => site.siteSurvey(regInfo, [{ target: target(3), probes: [] }], { when: WHEN, ...options }).results[0].msg;
  const ja = failedMsg({});
  const en = failedMsg({ language: 'en' });
  assert.notEqual(en, ja);
  assert.equal(failedMsg({}), ja);
  // Input that is no survey is the caller's mistake, not a unit's failure.
  assert.throws(() => site.siteSurvey(regInfo, [{ target: target(1), probes: 5 }]), TypeError);
  // Some of the units only: the rest are listed as not surveyed.
  const some = site.siteSurvey(regInfo, units.slice(0, 1), { when: WHEN });
  assert.equal(some.complete, false);
  assert.deepEqual(some.summary.notSurveyed.map((u) => u.serial), ['00BC0102', '00BC0103']);
});

test('a channel scan cut off in its last round counts only the whole rounds and is marked partial', () => {
  const round = [{ freq: 10, level: 50 }, { freq: 11, level: 20 }, { freq: 12, level: 1 }, { freq: 13, level: 35 }];
  const cases = [
    { rounds: [round, round], cutOff: false, counted: 2, partial: false },
    { rounds: [round, round.slice(0, 2)], cutOff: true, counted: 1, partial: true },
    { rounds: [], cutOff: false, counted: 0, partial: false },
  ];
  for (const c of cases) {
    const scan = site.channelScan(regInfo, c.rounds, { cutOff: c.cutOff, count: 2 });
    assert.equal(scan.rounds, c.counted);
    assert.equal(scan.partial, c.partial);
    // 12 is the site's own channel, however quiet.
    assert.ok(!scan.recommendation.channels.includes(12));
  }
});

test('statistics that went out as JSON compare as the page compares its own results', () => {
  const route = buildRoute(regInfo, target(2));
  const visit = (levels) => ({ prov: { base: { serial: '009A0011', name: 'GH' } }, results: [surveyResult(route, answer(...levels), new Date(WHEN))] });
  const before = visit([[1, 150], [2, 140], [2, 130]]);
  const after = visit([[1, 150], [2, 120], [2, 100]]);
  const page = compareSiteSurveys(before, after, { worseBy: 10 });
  const asJson = (v) => JSON.parse(JSON.stringify(v));
  const asPlain = (levels) => ({ prov: before.prov, results: [site.routeResult(regInfo, target(2), probes(answer(...levels)), { when: WHEN })] });
  const cases = [
    ['results as siteSurvey and routeResult give them', asPlain([[1, 150], [2, 140], [2, 130]]), asPlain([[1, 150], [2, 120], [2, 100]])],
    ['results the page stored as JSON', asJson(before), asJson(after)],
  ];
  for (const [what, b, a] of cases) {
    assert.deepEqual(site.compareSiteSurveys(b, a, { worseBy: 10 }), JSON.parse(JSON.stringify(page)), what);
  }
  assert.ok(page.hops.some((h) => h.worse), 'the comparison found the hop that fell');
});
