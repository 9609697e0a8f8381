// Class boundaries the technician sets: checked, kept in storage, applied
// to classes, and a damaged stored value never breaks the page.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  DEFAULT_THRESHOLDS, THRESHOLDS_KEY, loadThresholds, saveThresholds, resetThresholds, applyThresholds,
  levelClass, batteryClass, thresholdProblem, levelBands,
} from '../../web/linkmeter/src/site/thresholds.js';
import { createStore } from '../../web/linkmeter/src/page/state.js';

const memory = (init = {}) => {
  const m = new Map(Object.entries(init));
  return { getItem: (k) => (m.has(k) ? m.get(k) : null), setItem: (k, v) => m.set(k, String(v)), map: m };
};
const custom = { level: { good: 150, fair: 120, weak: 100 }, battery: { ok: 50, low: 20 } };

test('classes follow the boundaries in force', () => {
  const cases = [
    // [level, default class, custom class]
    [255, 'good', 'good'], [150, 'good', 'good'], [149, 'good', 'fair'], [130, 'good', 'fair'], [129, 'fair', 'fair'],
    [120, 'fair', 'fair'], [119, 'fair', 'weak'], [100, 'fair', 'weak'], [99, 'weak', 'bad'], [80, 'weak', 'bad'],
    [79, 'bad', 'bad'], [0, 'bad', 'bad'], [null, 'none', 'none'], [NaN, 'none', 'none'], ['200', 'none', 'none'],
  ];
  for (const [level, def, cus] of cases) {
    assert.equal(levelClass(level), def, `default ${level}`);
    assert.equal(levelClass(level, custom), cus, `custom ${level}`);
  }
  const battery = [[100, 'ok', 'ok'], [50, 'ok', 'ok'], [49, 'ok', 'low'], [30, 'ok', 'low'], [29, 'low', 'low'],
    [20, 'low', 'low'], [19, 'low', 'empty'], [10, 'low', 'empty'], [9, 'empty', 'empty'], [undefined, 'none', 'none']];
  for (const [v, def, cus] of battery) {
    assert.equal(batteryClass(v), def, `default ${v}`);
    assert.equal(batteryClass(v, custom), cus, `custom ${v}`);
  }
});

test('unusable boundaries are refused, each with its reason', () => {
  const cases = [
    [custom, null],
    [null, 'missing'],
    [{ level: custom.level }, 'missing'],
    [{ ...custom, level: { good: 256, fair: 120, weak: 100 } }, 'levelRange'],
    [{ ...custom, level: { good: 150, fair: 120, weak: 0 } }, 'levelRange'],
    [{ ...custom, level: { good: 150, fair: 120.5, weak: 100 } }, 'levelRange'],
    [{ ...custom, level: { good: '150', fair: 120, weak: 100 } }, 'levelRange'],
    [{ ...custom, level: { good: 120, fair: 120, weak: 100 } }, 'levelOrder'],
    [{ ...custom, level: { good: 150, fair: 90, weak: 100 } }, 'levelOrder'],
    [{ ...custom, battery: { ok: 101, low: 20 } }, 'batteryRange'],
    [{ ...custom, battery: { ok: 20, low: 20 } }, 'batteryOrder'],
  ];
  for (const [th, problem] of cases) assert.equal(thresholdProblem(th), problem, JSON.stringify(th));
  assert.throws(() => saveThresholds(memory(), cases[3][0]));
});

test('saved boundaries come back after a restart; damaged ones give the defaults', () => {
  const storage = memory();
  assert.equal(loadThresholds(storage), DEFAULT_THRESHOLDS);
  saveThresholds(storage, custom);
  assert.deepEqual(loadThresholds(storage), custom);
  resetThresholds(storage);
  assert.deepEqual(loadThresholds(storage), DEFAULT_THRESHOLDS);
  for (const text of ['{', '[]', '{"level":{"good":1,"fair":2,"weak":3},"battery":{"ok":50,"low":20}}', 'null']) {
    assert.equal(loadThresholds(memory({ [THRESHOLDS_KEY]: text })), DEFAULT_THRESHOLDS, text);
  }
  const broken = { getItem: () => { throw new Error('denied'); } };
  assert.equal(loadThresholds(broken), DEFAULT_THRESHOLDS);
});

test('applying boundaries saves them and tells the store listeners', () => {
  const store = createStore({ thresholds: DEFAULT_THRESHOLDS });
  const storage = memory();
  const heard = [];
  store.subscribe((s) => heard.push(s.thresholds.level.good));
  applyThresholds(store, storage, custom);
  assert.deepEqual(heard, [150]);
  assert.deepEqual(JSON.parse(storage.map.get(THRESHOLDS_KEY)), custom);
});

test('chart bands cover 0..255 without gaps at the boundaries in force', () => {
  for (const th of [DEFAULT_THRESHOLDS, custom]) {
    const bands = levelBands(th);
    assert.equal(bands[0].from, 0);
    assert.equal(bands[bands.length - 1].to, 255);
    for (let i = 1; i < bands.length; i++) assert.equal(bands[i].from, bands[i - 1].to);
    assert.deepEqual(bands.map((b) => b.name), ['bad', 'weak', 'fair', 'good']);
  }
});

test('what the technician types is read as whole numbers or refused by name', async () => {
  const { readThresholds } = await import('../../web/linkmeter/src/views/thresholdeditor.js');
  const typed = (over) => ({ 'level.good': '150', 'level.fair': '120', 'level.weak': '100', 'battery.ok': '50', 'battery.low': '20', ...over });
  const cases = [
    [{}, null],
    [{ 'level.good': ' 150 ' }, null],
    [{ 'level.weak': '' }, 'levelRange'],
    [{ 'level.weak': '99.5' }, 'levelRange'],
    [{ 'level.weak': '1e2' }, 'levelRange'],
    [{ 'level.fair': '150' }, 'levelOrder'],
    [{ 'battery.low': '-1' }, 'batteryRange'],
    [{ 'battery.low': '50' }, 'batteryOrder'],
  ];
  for (const [over, problem] of cases) assert.equal(thresholdProblem(readThresholds(typed(over))), problem, JSON.stringify(over));
  assert.deepEqual(readThresholds(typed({})), custom);
});
