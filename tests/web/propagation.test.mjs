// The site's propagation fit and what is built on it: the line and spread
// from hops with both ends on a scaled plan, an obstructed hop set aside,
// what is refused; the prediction's spread widening away from the measured
// lengths; repeater positions that keep both legs at the profile's class,
// shared by the hops of one parent when one position serves them, chained
// along a hop too long for one; and the coverage cells in fixed classes.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { fitPropagation, predictLevel, fitSummary, fitChartData } from '../../web/linkmeter/src/site/propagation.js';
import { proposeRepeaters } from '../../web/linkmeter/src/site/repeaterproposal.js';
import { coverageCells } from '../../web/linkmeter/src/site/mapcoverage.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';

// Levels as the simulator's model gives them: 230 − 40 log10 m, with a
// wobble of ±3 that repeats every few hops.
const model = (m) => 230 - 40 * Math.log10(m);
const WOBBLE = [3, -2, 0, 2, -3, 1, -1];
const hops = (lengths) => lengths.map((m, i) => ({ key: `h${i}`, metres: m, level: Math.round(model(m) + WOBBLE[i % WOBBLE.length]) }));
const LENGTHS = [40, 75, 90, 120, 140, 180, 200, 260, 310, 420, 650, 700, 900, 1100];

test('the fit finds the line and its spread, sets an obstructed hop aside, refuses what is no fit', () => {
  const fit = fitPropagation(hops(LENGTHS));
  assert.ok(fit.usable);
  assert.ok(Math.abs(fit.slope + 40) < 2.5, `slope ${fit.slope}`);
  assert.ok(Math.abs(fit.intercept - 230) < 7, `intercept ${fit.intercept}`);
  assert.ok(fit.sigma >= 3 && fit.sigma < 4, `sigma ${fit.sigma}`);
  // A hop 40 below its line is an obstacle, not the site's propagation.
  const blocked = fitPropagation([...hops(LENGTHS), { key: 'wall', metres: 300, level: Math.round(model(300) - 40) }]);
  assert.deepEqual(blocked.setAside, ['wall']);
  assert.ok(Math.abs(blocked.slope - fit.slope) < 0.5, 'the line is the same without it');
  const cases = [
    ['three hops', hops([50, 500, 1000]), 'tooFew'],
    ['all about as long', hops([100, 110, 120, 130, 140]), 'tooShortSpan'],
    ['rising with distance', [10, 100, 1000, 2000].map((m, i) => ({ key: `r${i}`, metres: m, level: 80 + i * 20 })), 'rising'],
  ];
  for (const [what, samples, problem] of cases) {
    const f = fitPropagation(samples);
    assert.equal(f.usable, false, what);
    assert.equal(f.problem, problem, what);
    assert.equal(predictLevel(f, 100), null, `${what}: no prediction`);
  }
  const summary = fitSummary(fit);
  assert.equal(summary.spread, Math.round(20 * fit.sigma) / 10);
  const chart = fitChartData(summary);
  assert.deepEqual(chart.x, [...LENGTHS].sort((a, b) => a - b));
  assert.ok(chart.upper.every((v, i) => Math.abs(v - chart.line[i] - summary.spread) < 0.11));
});

test('a prediction is surest where hops were measured', () => {
  const fit = fitPropagation(hops(LENGTHS));
  const near = predictLevel(fit, 200);
  const far = predictLevel(fit, 8000);
  assert.ok(Math.abs(near.level - model(200)) <= near.spread, 'the model within the spread');
  assert.ok(far.spread > near.spread, `${far.spread} > ${near.spread}`);
  assert.ok(near.spread >= 6, 'never below ±6');
});

// A plan 1000 px wide at 5 m a pixel, the base unit in the middle.
function geometry(units, positions) {
  const plan = { id: 'P', name: 'Yard', width: 1000, height: 1000, scale: { x1: 0, y1: 0, x2: 200, y2: 0, metres: 1000 } };
  return { units, positions: new Map(Object.entries(positions).map(([k, p]) => [k, { plan: 'P', state: 'placed', ...p }])), plans: new Map([['P', plan]]), scaled: true };
}
const unitsOf = [{ key: 'B', kind: 'base', group: null }, { key: 'R1', kind: 'repeater', group: 0 }, { key: 'U1', kind: 'remote', group: 0 }, { key: 'U2', kind: 'remote', group: 0 }, { key: 'U3', kind: 'remote', group: 0 }];

test('repeater positions keep both legs at the profile\'s class: shared, single, chained', () => {
  const fit = fitPropagation(hops(LENGTHS));
  const hop = (to, toKey) => ({ key: `B>${toKey}`, fromKey: 'B', toKey, from: 'BASE', to, units: [to], serials: [toKey] });
  // U1 and U2 1.5 km out, close together: one repeater serves both.
  const geo = geometry(unitsOf, { B: { x: 500, y: 500 }, U1: { x: 800, y: 500 }, U2: { x: 800, y: 560 }, U3: { x: 500, y: 0 } });
  const [shared, alone] = proposeRepeaters({ geo, fit, hops: [hop('U1', 'U1'), hop('U2', 'U2'), hop('U3', 'U3')], boundary: 100 }).slice(0, 2);
  assert.deepEqual(shared.serves, ['U1', 'U2'], 'one repeater for the two close units');
  assert.equal(shared.positions.length, 1);
  assert.ok(shared.feasible && shared.legs.every((l) => l.level - l.spread >= 100), JSON.stringify(shared.legs));
  assert.ok(shared.positions[0].x > 550 && shared.positions[0].x < 800, 'between the base unit and them');
  // ...unless one of them is far the other way: then a chain per hop.
  const apart = geometry(unitsOf, { B: { x: 500, y: 500 }, U1: { x: 1000, y: 500 }, U3: { x: 0, y: 500 } });
  const split = proposeRepeaters({ geo: apart, fit, hops: [hop('U1', 'U1'), hop('U3', 'U3')], boundary: 100 });
  assert.deepEqual(split.map((p) => p.serves), [['U1'], ['U3']]);
  assert.ok(split.every((p) => p.feasible));
  // 2.5 km at this site needs two repeaters along the way.
  assert.equal(split[0].positions.length, 2, JSON.stringify(split[0]));
  assert.equal(split[0].legs.length, 3);
  // Without a scale or a usable fit, what is missing instead of a guess.
  const unscaled = { ...geo, plans: new Map([['P', { ...geo.plans.get('P'), scale: null }]]) };
  assert.equal(proposeRepeaters({ geo: unscaled, fit, hops: [hop('U1', 'U1')], boundary: 100 })[0].missing, 'noScale');
  assert.equal(proposeRepeaters({ geo, fit: fitPropagation(hops([50, 60])), hops: [hop('U1', 'U1')], boundary: 100 })[0].missing, 'noFit');
  const unplaced = geometry(unitsOf, { B: { x: 500, y: 500 } });
  assert.equal(proposeRepeaters({ geo: unplaced, fit, hops: [hop('U1', 'U1')], boundary: 100 })[0].missing, 'notPlaced');
});

test('coverage: the level predicted from the nearest installed base unit or repeater, in the fixed classes', () => {
  const fit = fitPropagation(hops(LENGTHS));
  const geo = geometry(unitsOf, { B: { x: 500, y: 500 }, R1: { x: 900, y: 100 } });
  const plan = geo.plans.get('P');
  const { cells, spread } = coverageCells({ geo, fit, plan, th: DEFAULT_THRESHOLDS, columns: 40 });
  assert.equal(cells.length, 1600);
  const at = (x, y) => cells.find((c) => x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h);
  assert.equal(at(500, 500).cls, 'good', 'beside the base unit');
  assert.ok(at(0, 999).level < at(500, 520).level, 'weaker far from both');
  assert.ok(at(880, 120).level > at(700, 300).level, 'the repeater covers its corner');
  assert.ok(spread >= 6);
  assert.equal(coverageCells({ geo, fit, plan: { ...plan, scale: null }, th: DEFAULT_THRESHOLDS }).missing, 'noScale');
  const none = geometry(unitsOf, { U1: { x: 1, y: 1 } });
  assert.equal(coverageCells({ geo: none, fit, plan, th: DEFAULT_THRESHOLDS }).missing, 'noSource');
});
