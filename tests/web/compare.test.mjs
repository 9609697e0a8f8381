// Two site surveys compared hop by hop: which hops got worse, how each
// unit's level and battery moved, hops only one visit measured.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { compareSiteSurveys, loadWorseBy, saveWorseBy, DEFAULT_WORSE_BY, serialKey } from '../../web/linkmeter/src/site/compare.js';
import { emptyStats, addProbe } from '../../web/linkmeter/src/site/linkstats.js';

const BASE = { serial: '009C0021', name: 'RIVERSIDE' };
const R1 = { kind: 'repeater', num: 1, serial: '00C80201', label: 'G1 R1' };
const R2 = { kind: 'repeater', num: 2, serial: '00C80202', label: 'G1 R2' };
const TANK = { kind: 'remote', num: 1, serial: '00B80201', label: 'G1 TANK-A' };
const PEAR = { kind: 'remote', num: 2, serial: '00B80202', label: 'G1 PEAR-3' };
const NEAR = { kind: 'remote', num: 4, serial: '00B80204', label: 'G1 NEAR' };

// Statistics of a hop: levels answered (null = a probe lost), last battery.
function stats(levels, battery = 80) {
  let s = emptyStats();
  levels.forEach((l, i) => { s = addProbe(s, l === null ? null : { level: l, battery }, 1000 * i); });
  return s;
}

// A result of the route through `hops`: each [unit, levels] in radio order.
const result = (hops, status = 'ok') => ({
  group: { index: 0 }, status, target: hops[hops.length - 1][0],
  hops: hops.map(([u, levels, battery]) => ({ ...u, stats: stats(levels, battery) })),
});
const survey = (...results) => ({ prov: { base: BASE }, results });

test('a hop is compared on its median level; worse when it falls beyond worseBy or into a problem class', () => {
  const cases = [
    // [name, before levels, after levels, worseBy, change, worse]
    ['steady', [140, 150, 145], [140, 150, 145], 10, 0, false],
    ['a fall of exactly worseBy is not worse', [150], [140], 10, -10, false],
    ['one more step is', [150], [139], 10, -11, true],
    ['a small fall from good to fair is ordinary fading', [132], [128], 10, -4, false],
    ['a small fall from fair into weak', [102], [98], 10, -4, true],
    ['a small fall from weak into bad', [82], [78], 10, -4, true],
    ['the median decides, not one bad probe', [140, 141, 142], [141, 60, 142], 10, 0, false],
    ['rising is never worse', [90], [150], 10, 60, false],
    ['a larger worseBy forgives the fall', [170], [150], 25, -20, false],
    ['fell silent', [140], [null, null], 10, null, true],
    ['silent both times', [null], [null], 10, null, false],
  ];
  for (const [name, before, after, worseBy, change, worse] of cases) {
    const c = compareSiteSurveys(survey(result([[NEAR, before]])), survey(result([[NEAR, after]])), { worseBy });
    assert.equal(c.hops.length, 1, name);
    assert.equal(c.hops[0].change, change, name);
    assert.equal(c.hops[0].worse, worse, name);
  }
});

test('shared hops merge every route through them; a hop is keyed by the serials of its ends', () => {
  // Both routes go base → R1; the first measured it at 150, the second at 100.
  const before = survey(result([[R1, [150, 150, 150]], [TANK, [140]]]), result([[R1, [100, 100]], [PEAR, [120]]]));
  // Renumbered in the registration, same serials: still the same hops.
  const after = survey(result([[{ ...R1, num: 7 }, [150, 150, 150]], [TANK, [140]]]), result([[{ ...R1, num: 7 }, [100, 100]], [PEAR, [120]]]));
  const c = compareSiteSurveys(before, after);
  const r1 = c.hops.find((h) => h.to.label === 'G1 R1');
  assert.equal(r1.key, 'base>C80201');
  assert.equal(r1.before, 150); // the median of five probes: 100 100 150 150 150
  assert.equal(r1.label, 'RIVERSIDE → G1 R1');
  assert.deepEqual(c.onlyBefore, []);
  assert.deepEqual(c.onlyAfter, []);
  assert.equal(c.hops.length, 3);
});

test('a hop missing on one side is listed apart, not compared', () => {
  const before = survey(result([[R1, [150]], [TANK, [140]]]), result([[NEAR, [150]]]));
  // R2 added between R1 and TANK-A; NEAR no longer surveyed; a failed send measured nothing.
  // A hop never probed (its survey cut short) is as absent as one not on the route.
  const after = survey(result([[R1, [150]], [R2, [130]], [TANK, [140]]]), result([[PEAR, [1]]], 'failed'), result([[NEAR, []]]));
  const c = compareSiteSurveys(before, after);
  assert.deepEqual(c.hops.map((h) => h.to.label), ['G1 R1']);
  assert.deepEqual(c.onlyBefore.map((h) => h.label).sort(), ['G1 R1 → G1 TANK-A', 'RIVERSIDE → G1 NEAR']);
  assert.deepEqual(c.onlyAfter.map((h) => h.label), ['G1 R1 → G1 R2', 'G1 R2 → G1 TANK-A']);
  assert.deepEqual(c.onlyAfter.map((h) => h.level), [130, 140]);
});

test('worse hops come first, one that went silent leading them, then the largest fall, silent both times last; ties keep route order', () => {
  const GONE = { kind: 'remote', num: 6, serial: '00B80206', label: 'G1 GONE' };
  const before = survey(result([[PEAR, [null]]]), result([[R1, [200]], [TANK, [200]]]), result([[NEAR, [200]]]), result([[R2, [200]]]), result([[GONE, [90]]]));
  const after = survey(result([[PEAR, [null]]]), result([[R1, [195]], [TANK, [195]]]), result([[NEAR, [150]]]), result([[R2, [195]]]), result([[GONE, [null]]]));
  const c = compareSiteSurveys(before, after);
  assert.deepEqual(c.hops.map((h) => [h.to.label, h.change, h.worse]), [
    ['G1 GONE', null, true], ['G1 NEAR', -50, true], ['G1 R1', -5, false], ['G1 TANK-A', -5, false], ['G1 R2', -5, false], ['G1 PEAR-3', null, false],
  ]);
});

test('each side is classed by the boundaries it was judged by', () => {
  const strict = { level: { good: 160, fair: 140, weak: 120 }, battery: { ok: 30, low: 10 } };
  const before = survey(result([[NEAR, [125]]]));
  const after = survey(result([[NEAR, [121]]]));
  const cases = [
    // [name, options, class before, class after, worse]
    ['one set for both', { thresholds: strict }, 'weak', 'weak', false],
    ['then judged by its own', { thresholdsBefore: { ...strict, level: { good: 130, fair: 100, weak: 80 } }, thresholdsAfter: strict }, 'fair', 'weak', true],
    ['defaults', {}, 'fair', 'fair', false],
  ];
  for (const [name, options, classBefore, classAfter, worse] of cases) {
    const [hop] = compareSiteSurveys(before, after, options).hops;
    assert.deepEqual([hop.classBefore, hop.classAfter, hop.worse], [classBefore, classAfter, worse], name);
  }
});

test('units: level and battery on both sides, a silent unit without numbers', () => {
  const before = survey(result([[R1, [150], 60], [TANK, [140], 90]]), result([[R1, [150], 60], [PEAR, [null]]]));
  const after = survey(result([[R1, [150], 55], [TANK, [120], 70]]), result([[R1, [150], 55], [PEAR, [null, null]]]));
  const c = compareSiteSurveys(before, after);
  const byLabel = Object.fromEntries(c.units.map((u) => [u.label, u]));
  assert.deepEqual(byLabel['G1 TANK-A'], { serial: 'B80201', label: 'G1 TANK-A', levelBefore: 140, levelAfter: 120, batteryBefore: 90, batteryAfter: 70, batteryChange: -20 });
  assert.deepEqual(byLabel['G1 PEAR-3'], { serial: 'B80202', label: 'G1 PEAR-3', levelBefore: null, levelAfter: null, batteryBefore: null, batteryAfter: null, batteryChange: null });
  assert.equal(byLabel['G1 R1'].batteryChange, -5);
});

test('hops given as readings only (no statistics) compare on their levels', () => {
  const reading = (u, level, battery) => ({ ...u, reading: { level, battery } });
  const before = survey({ group: { index: 0 }, status: 'ok', target: NEAR, hops: [reading(NEAR, 120, 50)] });
  const after = survey({ group: { index: 0 }, status: 'ok', target: NEAR, hops: [reading(NEAR, 95, 48)] });
  const c = compareSiteSurveys(before, after);
  assert.deepEqual([c.hops[0].before, c.hops[0].after, c.hops[0].worse, c.units[0].batteryChange], [120, 95, true, -2]);
});

test('worseBy: stored per computer, a bad value falls back to the default and is refused when given', () => {
  const mem = () => { const m = new Map(); return { getItem: (k) => (m.has(k) ? m.get(k) : null), setItem: (k, v) => m.set(k, v) }; };
  const s = mem();
  assert.equal(loadWorseBy(s), DEFAULT_WORSE_BY);
  saveWorseBy(s, 25);
  assert.equal(loadWorseBy(s), 25);
  for (const bad of ['0', '-3', '2.5', 'x', '300']) {
    s.setItem('linkmeter.compare.worseBy', bad);
    assert.equal(loadWorseBy(s), DEFAULT_WORSE_BY, bad);
  }
  assert.throws(() => saveWorseBy(s, 0));
  assert.throws(() => compareSiteSurveys(survey(), survey(), { worseBy: 0 }), RangeError);
  assert.deepEqual([serialKey(0x00c80201), serialKey('00c80201'), serialKey(' 00C80201 ')], ['C80201', 'C80201', 'C80201']);
});
