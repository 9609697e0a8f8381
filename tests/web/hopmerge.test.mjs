// The one rule for a hop heard on several routes: every probe of every route
// through it pooled and judged once, the same for the report's links, the
// comparison of visits and what the command line's monitor reads.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { buildRoute } from '../../web/linkmeter/src/device/route.js';
import { addAnswer, resultFromStats } from '../../web/linkmeter/src/site/survey.js';
import { mergeHops, hopFiguresOf, plainHops } from '../../web/linkmeter/src/site/hopmerge.js';
import { surveyedLinks } from '../../web/linkmeter/src/site/weaklinks.js';
import { surveyHops } from '../../web/linkmeter/src/site/compare.js';

// Base → R1 → remote 1 and base → R1 → remote 2: the first hop is shared.
const regInfo = { groups: [{ freq: 24, band: 0, repeaters: [{ num: 1, parent: 0, serial: '00C80501' }],
  remoteUnits: [{ num: 1, parent: 1, serial: '00BA0501', name: 'ONE' }, { num: 2, parent: 1, serial: '00BA0502', name: 'TWO' }] }] };
const base = { serial: '009C0021', name: 'RIVERSIDE' };

// A result of remote `num` over probes, each [R1 level | null, far level | null].
function result(num, probes, at = 1000) {
  const route = buildRoute(regInfo, { group: 0, kind: 'remote', num });
  let stats = [];
  probes.forEach(([r1, far], i) => {
    const Signals = [];
    if (r1 !== null) Signals.push({ number: 1, level: r1, battery: 90 - i });
    if (far !== null) Signals.push({ number: num, level: far, battery: 70 });
    stats = addAnswer(route, stats, { Signals }, at + i);
  });
  return resultFromStats(route, stats, null, new Date(at + probes.length));
}

const shared = (hops) => hops.find((h) => h.to.serial === 'C80501');

test('a shared hop pools every probe of every route and is judged once, whatever the order', () => {
  const cases = [
    // what, probes of the route to ONE, to TWO, pooled level, verdict
    ['both routes good', [[150, 140], [152, 141]], [[148, 130], [150, 131]], 150, 'good'],
    ['one low probe on one route pulls the link down to weak', [[150, 140], [150, 140]], [[150, 130], [75, 130]], 150, 'weak'],
    ['a loss on one route counts against the link', [[150, 140], [150, 140], [150, 140]], [[150, 130], [null, null], [150, 130]], 150, 'weak'],
    ['the median of all, not the lowest route', [[120, 140]], [[100, 130], [100, 130]], 100, 'fair'],
  ];
  for (const [what, one, two, level, verdict] of cases) {
    for (const results of [[result(1, one), result(2, two)], [result(2, two), result(1, one)]]) {
      const hop = shared(mergeHops(results, { base }));
      assert.equal(hop.routes, 2, what);
      assert.equal(hop.stats.asked, one.length + two.length, what);
      assert.deepEqual([hopFiguresOf(hop).level, hopFiguresOf(hop).verdict], [level, verdict], what);
    }
  }
});

test('the report\'s links, the comparison of visits and the monitor\'s hops read the same figures', () => {
  const results = [result(1, [[150, 140], [90, 141]]), result(2, [[130, 120], [null, null], [132, 122]])];
  const link = surveyedLinks(results).find((l) => l.to.kind === 'repeater');
  const compared = surveyHops({ prov: { base }, results }).find((h) => h.to.serial === 'C80501');
  const plain = plainHops(results, { base }).find((h) => h.to.serial === '00C80501');
  const merged = hopFiguresOf(shared(mergeHops(results, { base })));
  assert.deepEqual([link.level, link.verdict, link.asked, link.answered], [merged.level, merged.verdict, 5, 4]);
  assert.deepEqual([compared.level, compared.asked, compared.lost], [merged.level, 5, 1]);
  assert.deepEqual([plain.level, plain.verdict, plain.asked, plain.answered], [merged.level, merged.verdict, 5, 4]);
  assert.deepEqual(plain.from, { serial: base.serial, kind: 'base', num: 0, label: base.name });
  assert.equal(link.units.length, 2);
});

test('what was never measured stays out; a kept level counts as one probe; the battery is the latest', () => {
  const failed = { ...result(1, [[150, 140]]), status: 'failed' };
  const cancelled = { ...result(2, [[150, 140]]), status: 'cancelled' };
  assert.deepEqual(mergeHops([failed, cancelled]), []);
  // A stored survey keeps only each hop's level: one probe each.
  const kept = (num, level, when) => ({ group: { index: 0 }, when, status: 'ok', target: { serial: `S${num}`, label: `#${num}` },
    hops: [{ kind: 'repeater', num: 1, serial: '00C80501', label: 'R1', reading: { level, battery: num * 10 } }] });
  const hop = shared(mergeHops([kept(1, 120, 5), kept(2, 110, 9), kept(3, 140, 7)]));
  assert.deepEqual([hopFiguresOf(hop).level, hop.stats.asked, hop.stats.batteryLast], [120, 3, 20]);
  // A hop no probe reached (the survey cut before it) is not in the list.
  const cut = { group: { index: 0 }, status: 'partial', target: { serial: 'S9' },
    hops: [{ kind: 'repeater', num: 1, serial: '00C80501', reading: { level: 100 } }, { kind: 'remote', num: 9, serial: '00BA0509' }] };
  assert.deepEqual(mergeHops([cut]).map((h) => h.to.serial), ['C80501']);
});
