// The customer's report's plan pages: which plans get a page, the positions
// and scale in force at the end of the report's visit, the links coloured by
// the report's survey, the legend, the scale bar's round length, the
// survey's date, and the page as printed (heading, legend words, scale).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { mapUnits } from '../../web/linkmeter/src/site/mapplacement.js';
import { emptyStats, addProbe } from '../../web/linkmeter/src/site/linkstats.js';
import { planPages, scaleBar } from '../../web/linkmeter/src/report/planpages.js';
import { plansInForce } from '../../web/linkmeter/src/site/mapplans.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';
import { loadDom } from './dom-support.mjs';

setLanguage('en');
const dom = loadDom();

// R1 under the base, R2 under R1; TANK under R2, PUMP under R1.
const REG = { groups: [{ repeaters: [{ num: 1, parent: 0, serial: 'C80201' }, { num: 2, parent: 1, serial: 'C80202' }],
  remoteUnits: [{ num: 1, parent: 2, serial: 'B80201', name: 'TANK' }, { num: 2, parent: 1, serial: 'B80202', name: 'PUMP' }] }] };
const BASE = '9C0021';
const units = mapUnits(REG, BASE);

const stats = (levels) => levels.reduce((s, l, i) => addProbe(s, l === null ? null : { level: l, battery: 60 }, i), emptyStats());
const hop = (kind, num, serial, levels) => ({ kind, num, serial, stats: stats(levels) });
const result = (...hops) => ({ group: { index: 0 }, status: 'ok', hops });
const SURVEY = { started: Date.UTC(2026, 5, 3, 9, 30), prov: { base: { serial: BASE } }, results: [
  result(hop('repeater', 1, 'C80201', [150]), hop('repeater', 2, 'C80202', [90]), hop('remote', 1, 'B80201', [null])),
  result(hop('repeater', 1, 'C80201', [150]), hop('remote', 2, 'B80202', [140])),
] };

const plan = (id, at, width = 1200, height = 800) => ({ id, name: id.toUpperCase(), format: 'png', width, height, at, scale: null });
const place = (serial, at, x, y, p = 'yard') => ({ at, by: 'ana', action: 'place', serial, plan: p, x, y });
const scale = (at, metres, p = 'yard') => ({ at, by: 'ana', action: 'scale', plan: p, x1: 100, y1: 20, x2: 1100, y2: 20, metres });
// The yard from the start, a loft added after the visit ended (at 500).
const MAP = {
  plans: [plan('yard', 10), plan('loft', 600)],
  edits: [place(BASE, 20, 600, 740), place('C80201', 20, 300, 600), place('C80202', 30, 250, 400), place('B80201', 30, 200, 150),
    scale(40, 100), place('C80202', 700, 900, 100), scale(800, 10), place('B80202', 800, 5, 5, 'loft')],
};

test('a page per plan the site had by the end of the visit, with the positions and scale of then', () => {
  const cases = [
    // [until, plans, R2 at x, scale bar metres, unplaced]
    [500, ['yard'], 250, 20, ['G1 PUMP']],
    [Infinity, ['yard', 'loft'], 900, 2, []],
    [35, ['yard'], 250, null, ['G1 PUMP']],
  ];
  for (const [until, plans, r2x, metres, unplaced] of cases) {
    const pages = planPages({ map: MAP, until, units, survey: SURVEY });
    assert.deepEqual(pages.map((p) => p.plan.id), plans, `until ${until}`);
    const yard = pages[0];
    assert.equal(yard.pins.find((p) => p.key === 'C80202').at.x, r2x, `until ${until}`);
    assert.equal(yard.scaleBar ? yard.scaleBar.metres : null, metres, `until ${until}`);
    assert.deepEqual(yard.unplaced, unplaced, `until ${until}`);
    assert.equal(yard.positionsAt, Number.isFinite(until) ? until : null);
  }
  assert.deepEqual(planPages({ map: { plans: [], edits: MAP.edits }, units, survey: SURVEY }), [], 'no plans, no pages');
});

test('a plan hidden, removed or without a unit prints no page; renames and removals follow the visit\'s end', () => {
  const edit = (at, action, p, more = {}) => ({ at, by: 'ana', action, plan: p, ...more });
  const three = { plans: [plan('yard', 10), plan('shed', 12), plan('loft', 14)], edits: [...MAP.edits.slice(0, 4), place('B80202', 50, 5, 5, 'loft')] };
  const cases = [
    // [what, edits added, until, pages (names), unplaced]
    ['as kept: the empty shed prints nothing', [], Infinity, ['YARD', 'LOFT'], []],
    ['the loft renamed', [edit(60, 'plan-rename', 'loft', { name: ' Roof space ' })], Infinity, ['YARD', 'Roof space'], []],
    ['the loft hidden from the report', [edit(60, 'plan-hide', 'loft', { hidden: true })], Infinity, ['YARD'], []],
    ['hidden, then shown again', [edit(60, 'plan-hide', 'loft', { hidden: true }), edit(70, 'plan-hide', 'loft', { hidden: false })], Infinity, ['YARD', 'LOFT'], []],
    ['the loft removed: PUMP back to the tray', [edit(60, 'plan-remove', 'loft')], Infinity, ['YARD'], ['G1 PUMP']],
    ['removed after the visit ended', [edit(600, 'plan-remove', 'loft'), edit(600, 'plan-rename', 'yard', { name: 'Later' })], 500, ['YARD', 'LOFT'], []],
    ['an edit of no plan, an empty name: passed over', [edit(60, 'plan-remove', 'attic'), edit(60, 'plan-rename', 'yard', { name: '  ' })], Infinity, ['YARD', 'LOFT'], []],
  ];
  for (const [what, edits, until, names, unplaced] of cases) {
    const pages = planPages({ map: { ...three, edits: [...three.edits, ...edits] }, until, units, survey: SURVEY });
    assert.deepEqual(pages.map((p) => p.name), names, what);
    assert.deepEqual(pages[0].unplaced, unplaced, what);
  }
});

test('a removed plan comes back when its image is added again', () => {
  const yard = { ...plan('yard', 10), addedAt: [10, 90] };
  const edits = [place(BASE, 20, 600, 740), { at: 60, by: 'ana', action: 'plan-remove', plan: 'yard' }];
  assert.deepEqual(plansInForce([yard], edits, 70), []);
  assert.deepEqual(plansInForce([yard], edits).map((p) => p.id), ['yard']);
  assert.equal(planPages({ map: { plans: [yard], edits }, units, survey: SURVEY }).length, 1);
});

test('links and pins take the report\'s survey; the legend is the map\'s fixed bands; the survey\'s date is kept', () => {
  const [yard] = planPages({ map: MAP, until: 500, units, survey: SURVEY });
  const cls = Object.fromEntries(yard.links.map((l) => [`${l.from}>${l.to}`, l.cls]));
  assert.deepEqual(cls, { '9C0021>C80201': 'good', 'C80201>C80202': 'weak', 'C80202>B80201': 'silent' });
  assert.equal(yard.links.find((l) => l.to === 'B80201').dashed, true);
  assert.equal(yard.pins.find((p) => p.key === 'C80202').mark.verdict, 'weak');
  assert.equal(yard.surveyStarted, SURVEY.started);
  assert.deepEqual(yard.legend.map((i) => i.key), ['good', 'fair', 'weak', 'bad', 'silent', 'notMeasured', 'lost', 'planned', 'lowBattery']);
  const bare = planPages({ map: MAP, until: 500, units, survey: null })[0];
  assert.equal(bare.surveyStarted, null);
  assert.ok(bare.links.every((l) => l.cls === 'none' && l.dashed));
});

test('the scale bar: a round length within a third of the plan\'s width, none without a usable scale', () => {
  const line = (px, metres) => ({ x1: 0, y1: 0, x2: px, y2: 0, metres });
  const cases = [
    // [scale, plan width, metres]
    [line(1000, 100), 1200, 20], // 120 m wide: 36 m at most
    [line(1000, 100), 2000, 50], // 200 m wide: 60 m
    [line(400, 3), 800, 1], // 6 m wide: 1.8 m
    [line(1000, 0.5), 1000, 0.1], // 0.5 m wide
    [line(100, 2000), 1000, 5000], // 20 km wide
    [null, 1000, null], [line(0, 10), 1000, null], [line(100, 0), 1000, null], [line(100, -5), 1000, null], [line(100, 10), 0, null],
  ];
  for (const [s, width, metres] of cases) {
    const bar = scaleBar(s, width);
    assert.equal(bar ? bar.metres : null, metres, JSON.stringify([s, width]));
    if (!bar) continue;
    const wide = width * (s.metres / s.x2);
    assert.ok(Math.abs(bar.share - bar.metres / wide) < 1e-9 && bar.share <= 0.3 && bar.share > 0.06, `share ${bar.share}`);
  }
});

test('the printed page: heading, survey date, the drawing over the image, legend words and the scale bar', { skip: !dom && 'no DOM module' }, async () => {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node });
  const { planPaper, drawnSize, PLAN_ROOM } = await import('../../web/linkmeter/src/report/planpaper.js');
  const [yard, loft] = planPages({ map: MAP, units, survey: SURVEY });
  const el = planPaper(yard, 'data:image/png;base64,AAAA');
  assert.ok(el.classList.contains('print-new-page'));
  assert.equal(el.querySelector('[data-test=paper-plan-title]').textContent, 'Site plan: YARD');
  assert.match(el.querySelector('[data-test=paper-plan-survey]').textContent, /2026-06-03/);
  assert.equal(el.querySelector('img').getAttribute('src'), 'data:image/png;base64,AAAA');
  // PUMP is on the loft now: its hop runs to the yard's edge, naming the loft.
  assert.equal(el.querySelectorAll('[data-link]').length, 4);
  assert.match(el.querySelector('[data-link][data-to=B80202]').textContent, /to LOFT/);
  assert.equal(el.querySelectorAll('[data-pin]').length, 4);
  const legend = el.querySelector('[data-test=paper-plan-legend]').textContent;
  for (const words of ['good (130–255)', 'no answer', 'not measured', 'planned']) assert.ok(legend.includes(words), words);
  assert.equal(el.querySelector('[data-test=paper-plan-scale]').getAttribute('data-metres'), '2');
  assert.match(el.querySelector('[data-test=paper-plan-scale]').textContent, /^Scale.*2 m$/);
  // A plan without a scale has no bar; one whose image is lost says so.
  const lost = planPaper(loft, null);
  assert.equal(lost.querySelector('[data-test=paper-plan-scale]'), null);
  assert.equal(lost.querySelector('img'), null);
  assert.match(lost.textContent, /could not be read/);
  // Any plan's drawing fits the page's room, its shape kept.
  for (const [w, h] of [[1200, 800], [595, 842], [8000, 6000], [100, 4000]]) {
    const size = drawnSize({ width: w, height: h });
    assert.ok(size.width <= PLAN_ROOM.width && size.height <= PLAN_ROOM.height, `${w} × ${h}`);
    assert.ok(Math.abs(size.width / size.height - w / h) < 0.05 * (w / h), `${w} × ${h} keeps its shape`);
  }
});
