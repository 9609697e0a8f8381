// Statistics of a hop's probes and the verdict rule, under the default and
// under boundaries set by hand; a survey of several probes per unit.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { emptyStats, addProbe, median, successRate, batteryTrend, lossBound, hopVerdict, routeVerdict, hopFigures } from '../../web/linkmeter/src/site/linkstats.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';
import { runSurvey, judgeResult } from '../../web/linkmeter/src/site/survey.js';
import { surveyRows } from '../../web/linkmeter/src/page/csv.js';
import { summarize } from '../../web/linkmeter/src/site/reportsummary.js';

// Stats of probes given as levels (null: no answer), batteries optional.
function probes(levels, batteries = [], start = 0, step = 1000) {
  return levels.reduce((s, level, i) => addProbe(s, level === null ? null : { level, battery: batteries[i] ?? 80 }, start + i * step), emptyStats());
}

test('median, extremes and success rate over every probe', () => {
  const cases = [
    // [levels, median, min, max, last, answered/asked]
    [[], null, null, null, null, null],
    [[null, null], null, null, null, null, 0],
    [[100], 100, 100, 100, 100, 1],
    [[90, 120], 105, 90, 120, 120, 1],
    [[120, 90, 100], 100, 90, 120, 100, 1],
    [[0, 255, 255, 0], 127.5, 0, 255, 0, 1],
    [[95, null, 97, 93, null], 95, 93, 97, 93, 0.6],
    [[300, -4, 100.4], 100, 0, 255, 100, 1], // out of range and fractional levels counted in range, rounded
    [[7, 7, 7, 7, 7, 7, 7, 200], 7, 7, 200, 200, 1], // one lucky probe moves neither median nor min
  ];
  for (const [levels, med, min, max, last, rate] of cases) {
    const s = probes(levels);
    const what = JSON.stringify(levels);
    assert.equal(median(s), med, `median ${what}`);
    assert.deepEqual([s.min, s.max, s.last], [min, max, last], `extremes ${what}`);
    assert.equal(successRate(s), rate, `rate ${what}`);
    assert.equal(s.asked, levels.length, `asked ${what}`);
  }
});

test('the median stays exact over many probes with bounded memory', () => {
  let s = emptyStats();
  const all = [];
  for (let i = 0; i < 20001; i++) {
    const level = (i * 7919) % 256;
    all.push(level);
    s = addProbe(s, { level, battery: 50 }, i);
  }
  all.sort((a, b) => a - b);
  assert.equal(median(s), all[10000]);
  assert.equal(s.bins.length, 256);
  assert.equal(Object.keys(s).length, Object.keys(emptyStats()).length);
});

test('battery trend: direction, and a rate per hour only over a long enough span', () => {
  const hour = 3.6e6;
  const cases = [
    [[], 1000, 'none', null, null],
    [[80], 1000, 'steady', 0, null],
    [[80, 80, 79], 1000, 'falling', -1, null], // two seconds: no rate
    [[80, 79, 78], hour / 2, 'falling', -2, -2],
    [[60, 61], hour, 'rising', 1, 1],
  ];
  for (const [batteries, step, direction, delta, perHour] of cases) {
    const s = probes(batteries.map(() => 100), batteries, 0, step);
    const trend = batteryTrend(s);
    assert.deepEqual([trend.direction, trend.delta, trend.perHour], [direction, delta, perHour], JSON.stringify(batteries));
  }
  // A probe without a battery value leaves the trend as it was.
  const s = addProbe(probes([100, 100], [70, 69]), { level: 100 }, 5000);
  assert.equal(batteryTrend(s).delta, -1);
});

test('the 95 % bound on loss after n clean probes is about 3/n', () => {
  const cases = [[1, 0.95], [5, 0.451], [20, 0.139], [100, 0.0295]];
  for (const [n, bound] of cases) {
    const b = lossBound(probes(new Array(n).fill(150)));
    assert.ok(Math.abs(b - bound) < 0.001, `${n}: ${b}`);
    if (n >= 20) assert.ok(Math.abs(b - 3 / n) / (3 / n) < 0.1, `${n}: near 3/n`);
  }
  assert.equal(lossBound(probes([150, null])), null);
  assert.equal(lossBound(emptyStats()), null);
});

const custom = { level: { good: 150, fair: 120, weak: 100 }, battery: { ok: 50, low: 20 } };

test('hop verdicts: median class, capped by a low minimum and by lost probes', () => {
  const cases = [
    // [levels, default verdict, custom verdict]
    [[], 'none', 'none'],
    [[null, null, null, null, null], 'silent', 'silent'],
    [[140, 141, 139, 142, 140], 'good', 'fair'],
    [[140, 141, 60, 142, 140], 'weak', 'weak'], // one drop below the weak boundary
    [[140, 141, null, 142, 140], 'weak', 'weak'], // 1 of 5 lost
    [[140, null, null, 142, 140], 'bad', 'bad'], // 2 of 5 lost: over 20 %
    [[95, 96, 94, 95, 97], 'weak', 'bad'], // the demo's weak hop
    [[110, 105, 101, 100, 112], 'fair', 'weak'],
    [[79], 'bad', 'bad'],
    [[80], 'weak', 'bad'],
    [[130], 'good', 'fair'],
    [[150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, null], 'weak', 'weak'], // 5 % loss
  ];
  for (const [levels, def, cus] of cases) {
    const s = probes(levels);
    assert.equal(hopVerdict(s), def, `default ${levels}`);
    assert.equal(hopVerdict(s, DEFAULT_THRESHOLDS), def, `default given ${levels}`);
    assert.equal(hopVerdict(s, custom), cus, `custom ${levels}`);
  }
});

test('route verdicts: the worst hop, silent when the far unit never answered', () => {
  const good = probes([150, 150]);
  const weak = probes([90, 91]);
  const silent = probes([null, null]);
  const cases = [
    [[good, good], 'good'],
    [[good, weak, good], 'weak'],
    [[good, weak, silent], 'silent'], // hops before a silent unit say nothing of its link
    [[silent], 'silent'],
    [[], 'none'],
    [[emptyStats()], 'none'],
  ];
  for (const [hops, verdict] of cases) assert.equal(routeVerdict(hops), verdict, JSON.stringify(hops.map(median)));
});

// The demo's ORCHARD: R1 → R2 (the weak hop) → APPLE-2; PEAR-3 behind R2
// never answers.
const regInfo = { groups: [{ name: 'ORCHARD', freq: 24, band: 2,
  repeaters: [{ num: 1, parent: 0, serial: '00C80501' }, { num: 2, parent: 1, serial: '00C80502' }],
  remoteUnits: [{ num: 2, parent: 2, serial: '00BC0502', name: 'APPLE-2', model: 'VL-RC' }, { num: 5, parent: 2, serial: '00B80505', name: 'PEAR-3', model: 'VL-RA' }] }] };

function fakeApi(answers) {
  let call = 0;
  return { query: async () => answers[call++ % answers.length], calls: () => call };
}
const sig = (levels) => levels.map(([number, level]) => ({ number, level, battery: 70 }));

test('a survey of five probes keeps every hop\'s figures and judges the far unit', async () => {
  const apple = [
    { isSuccess: true, Signals: sig([[1, 150], [2, 95], [2, 160]]) },
    { isSuccess: true, Signals: sig([[1, 152], [2, 93], [2, 161]]) },
    { isSuccess: false, STATUS: '0004-0002', Signals: sig([[1, 151]]) },
  ];
  const cases = [
    { target: 2, answers: apple, asked: 5, answered: [5, 4, 4], verdict: 'weak', status: 'ok' }, // 1 of 5 lost
    { target: 2, answers: [apple[0], apple[2], apple[2]], asked: 5, answered: [5, 2, 2], verdict: 'bad', status: 'ok' }, // 3 of 5 lost
    { target: 2, answers: apple.slice(0, 2), asked: 5, answered: [5, 5, 5], verdict: 'weak', status: 'ok' },
    { target: 5, answers: [{ isSuccess: false, STATUS: '0004-0002', Signals: sig([[1, 150], [2, 94]]) }], asked: 5, answered: [5, 5, 0], verdict: 'silent', status: 'partial' },
  ];
  for (const c of cases) {
    const api = fakeApi(c.answers);
    const seen = [];
    const r = await runSurvey({ api, comInfo: {}, regInfo, target: { group: 0, kind: 'remote', num: c.target }, probes: 5, onProbe: (n) => seen.push(n) });
    assert.equal(api.calls(), 5);
    assert.deepEqual(seen, [1, 2, 3, 4, 5]);
    assert.deepEqual(r.hops.map((hop) => hop.figures.answered), c.answered, `answered ${c.target}`);
    assert.ok(r.hops.every((hop) => hop.figures.asked === c.asked));
    assert.deepEqual(r.far, { asked: 5, answered: c.answered[2] });
    assert.equal(r.verdict, c.verdict, `verdict ${c.target}`);
    assert.equal(r.status, c.status);
  }
});

test('boundaries set by hand rejudge a result, its report and its CSV', async () => {
  const api = fakeApi([{ isSuccess: true, Signals: sig([[1, 125], [2, 110], [2, 140]]) }]);
  const r = await runSurvey({ api, comInfo: {}, regInfo, target: { group: 0, kind: 'remote', num: 2 }, probes: 3 });
  assert.deepEqual([r.verdict, r.hops[1].reading.levelClass], ['fair', 'fair']);
  const again = judgeResult(r, custom);
  assert.deepEqual([again.verdict, again.hops[1].reading.levelClass, again.hops[0].verdict], ['weak', 'weak', 'fair']);
  assert.equal(judgeResult(r, custom), again, 'judged once per boundaries');
  const survey = { prov: null, regSource: 'unit', targets: [{ group: 0, kind: 'remote', num: 2 }], results: [r], complete: true };
  const sum = summarize(survey, custom);
  assert.equal(sum.units[0].levelClass, 'weak');
  assert.deepEqual(sum.links.filter((l) => l.poor).map((l) => l.to.label), ['G1 R2']);
  assert.deepEqual(sum.probes, { min: 3, max: 3 });
  const rows = surveyRows(survey, custom);
  assert.ok(rows.every((row) => row[row.length - 1] === 'level good>=150 fair>=120 weak>=100; battery ok>=50% low>=20%'));
  assert.deepEqual(rows[1].slice(-9, -1), [3, 3, 110, 110, 110, 0, 'weak', 'weak']);
});

test('a level history keeps only its latest points however long it runs', async () => {
  const { cappedSeries, HISTORY_POINTS } = await import('../../web/linkmeter/src/ui/cappedseries.js');
  const cases = [[0, 3, [[], []]], [2, 3, [[0, 1], [0, 10]]], [3, 3, [[0, 1, 2], [0, 10, 20]]], [5, 3, [[2, 3, 4], [20, 30, 40]]]];
  for (const [n, cap, want] of cases) {
    const s = cappedSeries(cap);
    for (let i = 0; i < n; i++) s.push(i, i * 10);
    assert.deepEqual(s.data(), want, `${n} into ${cap}`);
  }
  // An hour at the shortest interval (2 s) stays within the default cap.
  const s = cappedSeries();
  for (let i = 0; i < 1800; i++) s.push(i * 2, i % 2 ? null : 100);
  assert.equal(s.count(), HISTORY_POINTS);
  assert.equal(s.data()[0][0], (1800 - HISTORY_POINTS) * 2);
});

test('a verdict on fewer probes than a standard survey sends says it is a quick check', async () => {
  const { setLanguage } = await import('../../web/linkmeter/src/i18n/i18n.js');
  const { verdictText } = await import('../../web/linkmeter/src/ui/routeview.js');
  const { isQuickCheck } = await import('../../web/linkmeter/src/site/linkstats.js');
  const cases = [
    // [verdict, probes asked, English, Japanese]
    ['good', 1, 'Good (quick check: 1 probe)', '良好（簡易確認: 試行 1 回）'],
    ['weak', 4, 'Weak (quick check: 4 probes)', '弱い（簡易確認: 試行 4 回）'],
    ['good', 5, 'Good', '良好'],
    ['silent', 20, 'No answer', '応答なし'],
    ['none', 0, 'Not surveyed', '未調査'],
  ];
  for (const [verdict, asked, en, ja] of cases) {
    setLanguage('en');
    const quick = isQuickCheck(asked) ? asked : 0;
    assert.equal(hopFigures(probes(Array(asked).fill(150))).quick, quick > 0, `${asked} probes`);
    assert.equal(verdictText(verdict, quick), en);
    setLanguage('ja');
    assert.equal(verdictText(verdict, quick), ja);
  }
  setLanguage('en');
});
