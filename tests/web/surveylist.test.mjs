// The site survey's list: filters, the worst-first order, group counts, and
// a table that takes each new result as one row without touching the rows
// already shown.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { matches, sortKey, groupCounts, rowShown } from '../../web/linkmeter/src/site/surveylist.js';
import { surveyResult } from '../../web/linkmeter/src/site/survey.js';
import { buildRoute } from '../../web/linkmeter/src/device/route.js';
import { newSurvey, withResult } from '../../web/linkmeter/src/site/sitesurveybook.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';
import { probeCount } from '../../web/linkmeter/src/views/probes.js';
import { loadDom } from './dom-support.mjs';

setLanguage('en');

// Group 0: NEAR direct; R1 → FAR behind it, COLD with a low battery, MUTE silent. Group 1: one unit.
const regInfo = { groups: [
  { name: 'RIVER', freq: 25, repeaters: [{ num: 1, parent: 0, serial: '00C80101' }],
    remoteUnits: [
      { num: 1, parent: 0, serial: '00B80101', name: 'NEAR', model: 'VL-RA' },
      { num: 2, parent: 1, serial: '00B80102', name: 'FAR', model: 'VL-RA' },
      { num: 3, parent: 1, serial: '00B80103', name: 'COLD', model: 'VL-RA' },
      { num: 4, parent: 1, serial: '00B80104', name: 'MUTE', model: 'VL-RA' },
    ] },
  { name: 'WELLS', freq: 31, repeaters: [], remoteUnits: [{ num: 1, parent: 0, serial: '00B80201', name: 'PUMP', model: 'VL-RA' }] },
] };
const targets = [[0, 1], [0, 2], [0, 3], [0, 4], [1, 1]].map(([group, num]) => ({ group, kind: 'remote', num, label: `${group}:${num}`, serial: '' }));

function result(group, num, levels, battery = 80) {
  const route = buildRoute(regInfo, { group, kind: 'remote', num });
  const signals = [];
  route.hops.forEach((hop, i) => { if (levels[i] !== null) signals.push({ number: hop.num, level: levels[i], battery }); });
  return surveyResult(route, { isSuccess: !levels.includes(null), STATUS: levels.includes(null) ? '0004-0002' : '0000-0000', Signals: signals });
}
const near = result(0, 1, [160]);
const far = result(0, 2, [150, 85]);
const cold = result(0, 3, [150, 140], 5);
const mute = result(0, 4, [150, null]);
const pump = result(1, 1, [120]);

test('probes per unit: a whole number from 1 to 100, else the fallback', () => {
  const cases = [['1', 1], ['5', 5], ['20', 20], ['100', 100], [7, 7], ['0', 5], ['101', 5], ['2.5', 5], ['', 5], [null, 5], ['-3', 5], ['abc', 5]];
  for (const [value, n] of cases) assert.equal(probeCount(value), n, String(value));
  assert.equal(probeCount('x', 20), 20);
});

test('filters keep weak, silent and low-battery units', () => {
  const cases = [
    ['all', [near, far, cold, mute, pump]],
    ['weak', [far]],
    ['silent', [mute]],
    ['battery', [cold]],
    ['problems', [far, cold, mute]],
  ];
  const all = [near, far, cold, mute, pump];
  for (const [filter, want] of cases) assert.deepEqual(all.filter((r) => matches(r, filter)), want, filter);
  // The full list shows open groups only; a filter shows its rows in closed ones too.
  assert.deepEqual([rowShown(near, 'all', false), rowShown(near, 'all', true), rowShown(mute, 'silent', false), rowShown(near, 'silent', true)], [false, true, true, false]);
});

test('worst first: silent, then bad, weak, fair, good; lower level first; then route order', () => {
  const rows = [[near, 0], [far, 1], [cold, 2], [mute, 3], [pump, 4]];
  const order = (sort) => [...rows].sort((a, b) => sortKey(a[0], sort, a[1]) - sortKey(b[0], sort, b[1])).map(([r]) => r.target.name);
  assert.deepEqual(order('route'), ['NEAR', 'FAR', 'COLD', 'MUTE', 'PUMP']);
  assert.deepEqual(order('worst'), ['MUTE', 'FAR', 'PUMP', 'COLD', 'NEAR']);
  assert.deepEqual(groupCounts([near, far, cold, mute]), { units: 4, weak: 1, silent: 1, battery: 1 });
});

const dom = loadDom();
test('a new result adds one row; rows already shown stay as they were', { skip: !dom && 'no DOM module' }, async () => {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node });
  const { ResultTable } = await import('../../web/linkmeter/src/views/resulttable.js');
  let built = 0;
  const rowOf = (r) => {
    built += 1;
    const tr = document.createElement('tr');
    tr.dataset.test = 'result-row';
    tr.dataset.name = r.target.name;
    tr.dataset.verdict = r.verdict;
    return tr;
  };
  const table = new ResultTable({ id: 't', rowOf, columns: ['unit'] });
  let survey = newSurvey({ prov: null, reg: { regInfo, prov: null }, targets, now: 1 });
  const names = () => [...table.el.querySelectorAll('tr[data-test=result-row]')].map((tr) => tr.dataset.name);
  for (const r of [near, far, cold]) {
    survey = withResult(survey, r);
    table.update(survey, DEFAULT_THRESHOLDS);
  }
  assert.equal(built, 3, 'one row built per result');
  const first = table.el.querySelector('tr[data-name=NEAR]');
  survey = withResult(survey, pump);
  table.update(survey, DEFAULT_THRESHOLDS);
  assert.equal(built, 4);
  assert.equal(table.el.querySelector('tr[data-name=NEAR]'), first, 'an earlier row is not redrawn');
  assert.deepEqual([...table.el.querySelectorAll('tbody')].map((b) => b.dataset.group), ['0', '1']);

  // A retried unit replaces its own row in place.
  survey = withResult(survey, mute);
  survey = withResult(survey, result(0, 2, [150, 140]));
  table.update(survey, DEFAULT_THRESHOLDS);
  assert.equal(built, 6);
  assert.deepEqual(names(), ['NEAR', 'FAR', 'COLD', 'MUTE', 'PUMP']);
  assert.equal(table.el.querySelector('tr[data-name=FAR]').dataset.verdict, 'good');

  table.setView({ sort: 'worst' });
  assert.deepEqual(names(), ['MUTE', 'FAR', 'COLD', 'NEAR', 'PUMP']); // FAR and COLD tie: route order
  table.setView({ filter: 'silent' });
  assert.deepEqual([...table.el.querySelectorAll('tr[data-test=result-row]')].filter((tr) => !tr.hidden).map((tr) => tr.dataset.name), ['MUTE']);

  // Other boundaries rejudge every row.
  table.update(survey, { level: { good: 200, fair: 190, weak: 180 }, battery: { ok: 30, low: 10 } });
  assert.equal(built, 11);
  assert.equal(table.el.querySelector('tr[data-name=NEAR]').dataset.verdict, 'bad');
});
