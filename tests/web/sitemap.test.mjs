// The site map's logic: where units stand (tray, planned, placed, moved, per
// visit), how each link is drawn from the last survey, the filters and the
// changes since the previous visit.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { positionsAt, mapUnits, trayUnits, movedUnits, editHistory, editProblem } from '../../web/linkmeter/src/site/mapplacement.js';
import { planLinks, linkStyle, linkWidth, surveyMeasures, scaleWarning, unitMarks, MIN_WIDTH } from '../../web/linkmeter/src/site/maplinks.js';
import { keptUnits, routeToBase } from '../../web/linkmeter/src/site/mapfilters.js';
import { mapChanges } from '../../web/linkmeter/src/site/mapchanges.js';
import { emptyStats, addProbe } from '../../web/linkmeter/src/site/linkstats.js';
import { loadDom } from './dom-support.mjs';

const dom = loadDom();

// G1: R1 under the base, R2 under R1; TANK under R2, PUMP under R1, COLD
// under the base.
const REG = { groups: [{ repeaters: [{ num: 1, parent: 0, serial: 'C80201' }, { num: 2, parent: 1, serial: 'C80202' }],
  remoteUnits: [{ num: 1, parent: 2, serial: 'B80201', name: 'TANK' }, { num: 2, parent: 1, serial: 'B80202', name: 'PUMP' },
    { num: 3, parent: 0, serial: 'B80203', name: 'COLD' }] }] };
const BASE = '9C0021';
const units = mapUnits(REG, BASE);
const place = (serial, at, x, y, plan = 'P1', action = 'place', by = 'ana') => ({ at, by, action, serial, plan, x, y });

test('edits apply in the order the server took them, then this store\'s own order; never by their time', () => {
  const edit = (x, at, receipt, recordId) => ({ ...place('C80201', at, x, x), receipt, recordId });
  const cases = [
    // [edits as read, the x the unit ends at, the x of the newest edit History lists]
    [[edit(1, 2_082_758_400_000, 1, 7), edit(2, 100, 2, 3)], 2, 2], // a clock in 2036 taken first
    [[edit(1, 4_102_444_800_000, 5, 1), edit(2, 5, 9, 2)], 2, 2], // an edit dated 2100
    [[edit(3, 1, null, 9), edit(4, 9e12, 3, 2)], 3, 3], // not sent yet: after every edit the server took
    [[edit(6, 9, null, 12), edit(5, 1, null, 11)], 6, 6], // neither sent: this store's order
    [[edit(8, 1), edit(7, 2, null, 4)], 8, 8], // made just now, not kept yet: last
  ];
  for (const [edits, x, newest] of cases) {
    assert.equal(positionsAt(edits).get('C80201').x, x, JSON.stringify(edits));
    assert.equal(editHistory(edits)[0].x, newest);
  }
  // History marks an edit the server has not taken yet.
  assert.deepEqual(editHistory([place('C80201', 1, 1, 1), { ...place('C80201', 1, 1, 1), sent: false }]).map((e) => e.sent), [false, true]);
});

test('positions: the tray, planned and placed units, moves, removals and a visit\'s own positions', () => {
  const edits = [
    place('C80201', 100, 10, 10),
    place('B80203', 150, 5, 5, 'P2'),
    place('B80201', 200, 50, 50, 'P1', 'plan'),
    place('B80202', 250, -1, 3), // unusable: passed over
    place('C80201', 300, 20, 20), // moved
    { at: 400, by: 'ben', action: 'unplace', serial: 'B80201' },
  ];
  const cases = [
    // [until, expected serial → [plan, x, y, state]]
    [50, {}],
    [200, { C80201: ['P1', 10, 10, 'placed'], B80201: ['P1', 50, 50, 'planned'], B80203: ['P2', 5, 5, 'placed'] }],
    [300, { C80201: ['P1', 20, 20, 'placed'], B80201: ['P1', 50, 50, 'planned'], B80203: ['P2', 5, 5, 'placed'] }],
    [Infinity, { C80201: ['P1', 20, 20, 'placed'], B80203: ['P2', 5, 5, 'placed'] }],
  ];
  for (const [until, want] of cases) {
    const got = Object.fromEntries([...positionsAt(edits, until)].map(([k, p]) => [k, [p.plan, p.x, p.y, p.state]]));
    assert.deepEqual(got, want, `until ${until}`);
  }
  const now = positionsAt(edits);
  assert.deepEqual(trayUnits(units, now).map((u) => u.label), ['BASE', 'G1 R2', 'G1 TANK', 'G1 PUMP']);
  // Edits made in one millisecond keep their order.
  assert.equal(positionsAt([place('C80201', 1, 1, 1), place('C80201', 1, 2, 2)]).get('C80201').x, 2);
  assert.deepEqual(movedUnits(positionsAt(edits, 200), now).map((m) => m.serial).sort(), ['B80201', 'C80201']);
  assert.deepEqual(editHistory(edits).map((e) => [e.at, e.by, e.action]).slice(0, 2), [[400, 'ben', 'unplace'], [300, 'ana', 'place']]);
  assert.equal(editProblem(place('0012', 1, 1, 1, '')), 'plan');
  assert.equal(editProblem({ at: 1, action: 'move', serial: '12' }), 'action');
});

const stats = (levels) => levels.reduce((s, l, i) => addProbe(s, l === null ? null : { level: l, battery: 60 }, i), emptyStats());
const hop = (kind, num, serial, levels) => ({ kind, num, serial, stats: stats(levels) });
const R1 = (l) => hop('repeater', 1, 'C80201', l);
const R2 = (l) => hop('repeater', 2, 'C80202', l);
const result = (...hops) => ({ group: { index: 0 }, status: 'ok', hops });
const survey = (r1, r2, tank, pump) => ({ prov: { base: { serial: BASE } }, results: [
  result(R1(r1), R2(r2), hop('remote', 1, 'B80201', tank)),
  result(R1(r1), hop('remote', 2, 'B80202', pump)),
] });

test('link style: class of the median in fixed bands, width by level, dashed when not measured, lost-probe badge', () => {
  const cases = [
    // [measure, cls, dashed, lost]
    [undefined, 'none', true, 0],
    [{ level: null, lost: 5 }, 'silent', true, 5],
    [{ level: 150, lost: 0 }, 'good', false, 0],
    [{ level: 130, lost: 0 }, 'good', false, 0],
    [{ level: 129.5, lost: 1 }, 'fair', false, 1],
    [{ level: 90, lost: 0 }, 'weak', false, 0],
    [{ level: 20, lost: 2 }, 'bad', false, 2],
  ];
  for (const [m, cls, dashed, lost] of cases) {
    const s = linkStyle(m);
    assert.deepEqual([s.cls, s.dashed, s.lost], [cls, dashed, lost], JSON.stringify(m));
  }
  // One scale for every plan: a level's width never depends on the others.
  assert.ok(linkWidth(200) > linkWidth(100) && linkWidth(100) > linkWidth(10));
  assert.equal(linkWidth(null), MIN_WIDTH);
  assert.equal(linkWidth(999), linkWidth(255));
  // Thresholds in force decide the class.
  assert.equal(linkStyle({ level: 120, lost: 0 }, { level: { good: 110, fair: 100, weak: 80 }, battery: { ok: 30, low: 10 } }).cls, 'good');
});

test('plan links: along registered routes, from the survey, to the edge for another plan, in metres with a scale', () => {
  const positions = positionsAt([
    place(BASE, 1, 0, 0), place('C80201', 1, 300, 400), place('C80202', 1, 600, 800),
    place('B80201', 1, 100, 50, 'P2'), place('B80202', 1, 900, 100),
  ]);
  const measures = surveyMeasures(survey([150, 151, 149], [90, 91, 89], [null, null], [120, null, 121]));
  const plan = { id: 'P1', width: 1000, height: 1000, scale: { x1: 0, y1: 0, x2: 500, y2: 0, metres: 50 } };
  const links = planLinks({ units, positions, measures, plan, planNames: new Map([['P2', 'Cellar']]) });
  const byTo = Object.fromEntries(links.map((l) => [l.to, l]));
  assert.deepEqual(Object.keys(byTo).sort(), ['B80201', 'B80202', 'C80201', 'C80202']); // COLD is in the tray
  assert.deepEqual([byTo.C80201.cls, byTo.C80201.metres, byTo.C80201.from], ['good', 50, BASE]);
  assert.deepEqual([byTo.C80202.cls, byTo.C80202.from], ['weak', 'C80201']);
  assert.deepEqual([byTo.B80202.cls, byTo.B80202.lost], ['fair', 1]);
  const cellar = byTo.B80201;
  assert.deepEqual([cellar.cls, cellar.dashed, cellar.otherPlan, cellar.x2, cellar.y2], ['silent', true, 'Cellar', 600, 1000]);
  assert.equal(cellar.metres, null);
  // On the other plan the same hop runs from TANK to that plan's edge.
  const onP2 = planLinks({ units, positions, measures, plan: { id: 'P2', width: 200, height: 400 } });
  assert.deepEqual(onP2.map((l) => [l.to, l.x1, l.y1, l.x2, l.y2, l.otherPlan]), [['B80201', 100, 50, 100, 0, 'P1']]);
  // Without a survey every placed hop is dashed, not measured.
  assert.ok(planLinks({ units, positions, measures: new Map(), plan }).every((l) => l.dashed && l.cls === 'none'));
  assert.equal(scaleWarning(plan.scale, plan), null);
  assert.equal(scaleWarning({ x1: 0, y1: 0, x2: 90, y2: 0, metres: 1 }, plan), 'short');
});

test('filters: problems only, a unit\'s route to the base unit, text', () => {
  const measures = surveyMeasures(survey([150], [150], [null], [150]));
  const marks = unitMarks(units, measures);
  assert.equal(marks.get('B80201').verdict, 'silent');
  const keys = (set) => [...set].sort();
  // TANK is silent: kept with the repeater it hangs from.
  assert.deepEqual(keys(keptUnits(units, marks, { problems: true })), [BASE, 'B80201', 'C80202'].sort());
  assert.deepEqual(keys(keptUnits(units, marks, { text: 'pump' })), ['B80202']);
  assert.deepEqual(keys(keptUnits(units, marks, { text: 'c8020' })), ['C80201', 'C80202']);
  const route = routeToBase(units, 'B80201');
  assert.deepEqual(keys(route.units), [BASE, 'B80201', 'C80201', 'C80202'].sort());
  assert.deepEqual(keys(route.hops), ['C80201>C80202', 'C80202>B80201', 'base>C80201']);
  assert.equal(routeToBase(units, 'nobody').units.size, 0);
});

test('changes overlay: hops worse and better since the previous survey, units moved since', () => {
  const before = survey([150], [120], [95], [120]);
  const after = survey([150], [85], [140], [121]);
  const { hops, moved } = mapChanges({
    previous: before, current: after,
    positionsBefore: positionsAt([place('C80202', 1, 10, 10)]),
    positionsAfter: positionsAt([place('C80202', 1, 10, 10), place('C80202', 2, 40, 10)]),
  });
  assert.deepEqual(Object.fromEntries(hops), { 'C80201>C80202': 'worse', 'C80202>B80201': 'better' });
  assert.deepEqual(moved.map((m) => [m.serial, m.before.x, m.after.x]), [['C80202', 10, 40]]);
  assert.equal(mapChanges({ previous: null, current: after }).hops.size, 0);
});

test('a redrawn plan keeps the elements that did not change, in the new order', { skip: !dom && 'no DOM module' }, async () => {
  const { document } = dom.parseHTML('<html><body></body></html>');
  globalThis.document = document;
  const { reconcile, svg } = await import('../../web/linkmeter/src/site/mapdraw.js');
  const layer = svg('g');
  const item = (key, sig) => ({ key, sig, make: () => svg('circle', { 'data-made': `${key}${sig}` }) });
  reconcile(layer, [item('a', 1), item('b', 1), item('c', 1)]);
  const [a, b] = layer.children;
  reconcile(layer, [item('c', 1), item('a', 2), item('b', 1), item('d', 1)]);
  assert.deepEqual([...layer.children].map((el) => el.getAttribute('data-made')), ['c1', 'a2', 'b1', 'd1']);
  assert.equal(layer.children[2], b, 'an unchanged element is kept, not made again');
  assert.notEqual(layer.children[1], a);
  reconcile(layer, [item('d', 1)]);
  assert.deepEqual([...layer.children].map((el) => el.getAttribute('data-made')), ['d1']);
});

test('labels of pins standing close and the distances between them are placed so none covers another', async () => {
  const { placeLabels, labelBoxes, boxesOverlap } = await import('../../web/linkmeter/src/site/maplabels.js');
  const pin = (key, x, y, text) => ({ key, at: { x, y }, text });
  const cases = [
    ['a row of pins a label apart', [pin('A', 100, 100, 'G1 TANK-A · battery 80 %'), pin('B', 130, 100, 'G1 TANK-B · battery 81 %'), pin('C', 160, 100, 'G1 R3')], []],
    ['a column with a distance between', [pin('A', 100, 100, 'G1 北倉庫'), pin('B', 100, 118, 'G1 南倉庫'), pin('C', 100, 136, 'BASE')],
      [{ key: 'A>B', x1: 100, y1: 100, x2: 100, y2: 118, text: '12.5 m' }, { key: 'B>C', x1: 100, y1: 118, x2: 100, y2: 136, text: '9 m' }]],
    ['a cluster on a large plan', [pin('A', 1000, 1000, 'G2 APPLE-2'), pin('B', 1060, 1020, 'G2 PEAR-3'), pin('C', 980, 1050, 'G2 R1'), pin('D', 1070, 960, 'G2 R2')],
      [{ key: 'A>B', x1: 1000, y1: 1000, x2: 1060, y2: 1020, text: '4 m' }]],
  ];
  for (const [what, pins, notes] of cases) {
    const u = what.includes('large') ? 1.5 : 1;
    const boxes = labelBoxes({ pins, notes, u }, placeLabels({ pins, notes, u }));
    assert.equal(boxes.length, pins.length + notes.length, what);
    for (let i = 0; i < boxes.length; i++) {
      for (let j = i + 1; j < boxes.length; j++) assert.ok(!boxesOverlap(boxes[i].box, boxes[j].box), `${what}: ${boxes[i].key} covers ${boxes[j].key}`);
      for (const p of pins) {
        const dot = { x1: p.at.x - 7 * u, y1: p.at.y - 7 * u, x2: p.at.x + 7 * u, y2: p.at.y + 7 * u };
        assert.ok(!boxesOverlap(boxes[i].box, dot), `${what}: ${boxes[i].key} covers pin ${p.key}`);
      }
    }
  }
  // A lone pin keeps its label on the right, as before.
  assert.deepEqual(placeLabels({ pins: [pin('A', 50, 50, 'BASE')], u: 1 }).pins.get('A'), { dx: 11, dy: 4, anchor: 'start' });
});

test('a pin with a low battery by the site rule is ringed; a changed link keeps its class colour and is marked', { skip: !dom && 'no DOM module' }, async () => {
  const { document } = dom.parseHTML('<html><body></body></html>');
  globalThis.document = document;
  const { pinElement, linkElement } = await import('../../web/linkmeter/src/site/mapdraw.js');
  const battery = (b) => ({ group: { index: 0 }, status: 'ok', hops: [{ kind: 'remote', num: 3, serial: 'B80203', stats: [150, 151].reduce((s, l, i) => addProbe(s, { level: l, battery: b }, i), emptyStats()) }] });
  const cases = [[9, true, 'empty'], [25, true, 'low'], [30, false, 'ok'], [80, false, 'ok']];
  const cold = units.find((x) => x.key === 'B80203');
  for (const [b, low, cls] of cases) {
    const marks = unitMarks(units, surveyMeasures({ prov: { base: { serial: BASE } }, results: [battery(b)] }));
    const el = pinElement({ ...cold, at: { x: 10, y: 10, state: 'placed' } }, marks.get('B80203'), 1);
    assert.equal(marks.get('B80203').lowBattery, low, `${b} %`);
    assert.equal(el.getAttribute('data-battery'), cls, `${b} %`);
    assert.equal(Boolean(el.querySelector('[data-badge=battery]')), low, `${b} %`);
    assert.equal(el.querySelector('text').textContent.includes('⚠'), low, `${b} %`);
  }
  const link = { key: 'k', from: 'a', to: 'b', x1: 0, y1: 0, x2: 100, y2: 0, cls: 'weak', width: 3, dashed: false, lost: 0, metres: null, otherPlan: null };
  for (const mark of ['worse', 'better']) {
    const el = linkElement(link, 1, { mark });
    assert.equal(el.getAttribute('data-class'), 'weak');
    assert.equal(el.getAttribute('data-change'), mark);
    assert.match(el.getAttribute('class'), /\bc-weak\b/);
    assert.ok(el.querySelector('line.map-change-halo') && el.querySelector('line.map-link-line'), mark);
    assert.equal(el.querySelector('[data-badge]').getAttribute('data-badge'), mark);
  }
  assert.equal(linkElement(link, 1).querySelector('.map-change-halo'), null);
});

test('plan view: zoom keeps the point under the pointer, pan follows the drag, both bounded; box and plan points agree', async () => {
  const { PlanViewport, MIN_SHARE, MAX_SHARE } = await import('../../web/linkmeter/src/site/mapviewport.js');
  const v = new PlanViewport();
  const box = { width: 900, height: 500 }; // wider than the plan: bands left and right
  v.show({ id: 'P1', width: 2000, height: 1500 });
  assert.deepEqual(v.transform(box), { k: 1, tx: 0, ty: 0 }, 'the whole plan is the drawing as laid out');
  const near = (a, b) => assert.ok(Math.abs(a.x - b.x) < 1e-6 && Math.abs(a.y - b.y) < 1e-6, `${JSON.stringify(a)} ≠ ${JSON.stringify(b)}`);
  near(v.toBox(1000, 750, box), { x: 450, y: 250 });
  near(v.toBox(0, 0, box), { x: (900 - 2000 / 3) / 2, y: 0 });
  const at = { x: 1500, y: 300 };
  const before = v.toBox(at.x, at.y, box);
  for (const f of [1.25, 1.25, 1.25, 0.8]) v.zoom(f, at);
  near(v.toBox(at.x, at.y, box), before);
  near(v.toPlan(before.x, before.y, box), at);
  const k = v.scale;
  v.pan(30, -20, box);
  near(v.toBox(at.x, at.y, box), { x: before.x + 30, y: before.y - 20 });
  assert.equal(v.scale, k, 'a pan keeps the zoom');
  while (v.zoom(2)) { /* as close as it goes */ }
  assert.equal(v.view.w, 2000 * MIN_SHARE);
  while (v.zoom(0.5)) { /* as far */ }
  assert.equal(v.view.w, 2000 * MAX_SHARE);
  assert.equal(v.view.h / v.view.w, 0.75, 'the view keeps the plan\'s shape');
  v.show({ id: 'P1', width: 2000, height: 1500 });
  assert.equal(v.view.w, 2000 * MAX_SHARE, 'the same plan keeps its view');
  v.show({ id: 'P2', width: 600, height: 800 });
  assert.deepEqual(v.view, { x: 0, y: 0, w: 600, h: 800 }, 'another plan shows whole');
});

test('placing a unit remakes its pin and its links on the plan, nothing else', { skip: !dom && 'no DOM module' }, async () => {
  const { document } = dom.parseHTML('<html><body></body></html>');
  globalThis.document = document;
  const { svg } = await import('../../web/linkmeter/src/site/mapdraw.js');
  const { PlanLayers, planScene } = await import('../../web/linkmeter/src/site/maplayers.js');
  const plan = { id: 'P1', width: 1000, height: 1000 };
  const root = svg('svg');
  const layers = new PlanLayers(root);
  const edits = [place(BASE, 1, 50, 50), place('C80201', 2, 300, 400), place('B80202', 3, 900, 100), place('B80203', 4, 100, 900)];
  const measures = survey([150, 151], [90, 91], [null, null], [120, 121]);
  const draw = (list, opts = {}) => layers.draw(planScene({ plan, units, positions: positionsAt(list), survey: measures, planNames: new Map(), ...opts }));
  const elements = () => new Map([...root.querySelectorAll('[data-pin], [data-link]')].map((el) => [el.dataset.key, el]));
  draw(edits);
  const first = elements();
  assert.deepEqual([...first.keys()].sort(), [BASE, 'B80202', 'B80203', 'C80201', 'C80201>B80202', 'base>B80203', 'base>C80201'].sort());
  // R2 placed between R1 and TANK's place (TANK still in the tray).
  draw([...edits, place('C80202', 5, 600, 800)]);
  const second = elements();
  const remade = [...second.keys()].filter((key) => first.get(key) !== second.get(key));
  assert.deepEqual(remade.sort(), ['C80201>C80202', 'C80202']);
  // A pin moved remakes it and the links at either end of it.
  draw([...edits, place('C80202', 5, 600, 800), place('C80201', 6, 310, 400)]);
  const third = elements();
  assert.deepEqual([...third.keys()].filter((key) => second.get(key) !== third.get(key)).sort(),
    ['C80201', 'C80201>B80202', 'C80201>C80202', 'base>C80201']);
  // Selecting a unit dims the units off its route to the base unit.
  draw([...edits, place('C80202', 5, 600, 800)], { selected: 'C80202' });
  assert.deepEqual([...root.querySelectorAll('.map-pin.dim')].map((el) => el.dataset.serial).sort(), ['B80202', 'B80203']);
});
