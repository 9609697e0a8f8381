// Link-quality and battery classes at and around every threshold, and how a
// survey answer turns into a result.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { levelClass, batteryClass, batteryLow, levelPoor, LEVEL_CLASSES, BATTERY_CLASSES } from '../../web/linkmeter/src/site/quality.js';
import { surveyResult, weakestHop } from '../../web/linkmeter/src/site/survey.js';

test('level classes change exactly at the thresholds', () => {
  const cases = [[255, 'good'], [130, 'good'], [129, 'fair'], [100, 'fair'], [99, 'weak'], [80, 'weak'], [79, 'bad'], [0, 'bad'],
    [undefined, 'none'], [null, 'none'], [NaN, 'none'], ['150', 'none']];
  for (const [level, name] of cases) assert.equal(levelClass(level), name, String(level));
  assert.equal(levelPoor(99), true);
  assert.equal(levelPoor(100), false);
});

test('battery classes and the low-battery warning', () => {
  const cases = [[100, 'ok', false], [30, 'ok', false], [29, 'low', true], [10, 'low', true], [9, 'empty', true], [0, 'empty', true], [undefined, 'none', false]];
  for (const [battery, name, low] of cases) {
    assert.equal(batteryClass(battery), name, String(battery));
    assert.equal(batteryLow(battery), low, String(battery));
  }
});

test('threshold tables run from the highest class down to 0', () => {
  for (const table of [LEVEL_CLASSES, BATTERY_CLASSES]) {
    const mins = table.map((row) => row.min);
    assert.deepEqual(mins, [...mins].sort((a, b) => b - a));
    assert.equal(mins[mins.length - 1], 0);
  }
});

const route = {
  group: { index: 0, name: 'G', freq: 12 },
  hops: [
    { kind: 'repeater', num: 1, serial: '00C80101', name: '', model: '' },
    { kind: 'remote', num: 3, serial: '00BC0103', name: 'FIELD', model: 'VL-RC' },
  ],
};

test('survey results: status from the answer, classes per hop, weakest hop', () => {
  const when = new Date(2026, 0, 2, 3, 4, 5);
  const ok = surveyResult(route, { isSuccess: true, STATUS: '0004-0000', Signals: [{ number: 1, level: 140, battery: 96 }, { number: 3, level: 95, battery: 8 }] }, when);
  assert.equal(ok.status, 'ok');
  assert.equal(ok.time, '2026-01-02 03:04:05');
  assert.deepEqual(ok.hops.map((h) => [h.label, h.reading.levelClass, h.reading.batteryClass, h.reading.lowBattery]),
    [['G1 R1', 'good', 'ok', false], ['G1 FIELD', 'weak', 'empty', true]]);
  assert.equal(weakestHop(ok).label, 'G1 FIELD');

  const partial = surveyResult(route, { isSuccess: false, STATUS: '0004-0002', Signals: [{ number: 1, level: 140, battery: 96 }] }, when);
  assert.equal(partial.status, 'partial');
  assert.equal(partial.hops[1].reading, null);
  assert.equal(weakestHop(partial).label, 'G1 R1');

  const silent = surveyResult(route, { isSuccess: false, STATUS: '0004-0002', Signals: [] }, when);
  assert.equal(silent.status, 'noAnswer');
  assert.equal(weakestHop(silent), null);
});
