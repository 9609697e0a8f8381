// The site tree's survey overlay: each link once at the median of every
// probe through it, the batteries, the thresholds in force, a unit's route
// and the filters.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { surveyOverlay, overlaySurvey, linkInto, nodeKey, routeNodes, isProblem, matchesText } from '../../web/linkmeter/src/site/topology.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';

// Group 0: base → R1 → R2; remote 1 under R1, remote 2 under R2, remote 3
// under the base; remote 4 names a repeater that is not there.
const reg = { groups: [{ freq: 24, band: 0, repeaters: [{ num: 1, parent: 0, serial: '00C80501' }, { num: 2, parent: 1, serial: '00C80502' }],
  remoteUnits: [{ num: 1, parent: 1, serial: '00BA0501' }, { num: 2, parent: 2, serial: '00BC0502' }, { num: 3, parent: 0, serial: '00BC0503' }, { num: 4, parent: 9, serial: '00BC0504' }] }] };

const hop = (kind, num, level, battery) => ({ kind, num, label: `${kind}${num}`, reading: level === null ? null : { level, battery } });
const result = (num, status, hops) => ({ group: { index: 0 }, target: { kind: 'remote', num, serial: `S${num}`, label: `#${num}` }, status, hops });
const survey = { regInfo: reg, started: 1, results: [
  result(1, 'ok', [hop('repeater', 1, 140, 90), hop('remote', 1, 120, 25)]),
  // The shared link base→R1 read lower on this route: both probes count.
  result(2, 'ok', [hop('repeater', 1, 131, 88), hop('repeater', 2, 92, 70), hop('remote', 2, 150, 60)]),
  result(3, 'noAnswer', [hop('remote', 3, null)]),
] };

test('every link once at the median of its probes, every unit its last battery, classed by the thresholds in force', () => {
  const strict = { level: { good: 160, fair: 125, weak: 95 }, battery: { ok: 60, low: 20 } };
  const cases = [
    { th: DEFAULT_THRESHOLDS, link: ['base', 0, 'repeater', 1, 135.5, 'good'], r2: [92, 'weak', true], bat: [1, 25, 'low', true], r2bat: [70, 'ok'] },
    { th: strict, link: ['base', 0, 'repeater', 1, 135.5, 'fair'], r2: [92, 'bad', true], bat: [1, 25, 'low', true], r2bat: [70, 'ok'] },
  ];
  for (const c of cases) {
    const o = surveyOverlay(survey, c.th);
    assert.equal(o.links.size, 4, 'base>R1, R1>remote1, R1>R2, R2>remote2');
    const base = o.links.get(linkInto(0, 'repeater', reg.groups[0].repeaters[0]));
    assert.deepEqual([base.level, base.cls], c.link.slice(4));
    const r2 = o.links.get(linkInto(0, 'repeater', reg.groups[0].repeaters[1]));
    assert.deepEqual([r2.level, r2.cls, r2.poor], c.r2);
    const b = o.units.get(nodeKey(0, 'remote', 1));
    assert.deepEqual([b.battery, b.cls, b.low], c.bat.slice(1));
    // R1 reported on two routes: the last reading is kept.
    assert.equal(o.units.get(nodeKey(0, 'repeater', 1)).battery, 88);
    assert.equal(o.units.has(nodeKey(0, 'remote', 3)), false, 'a silent unit has no battery');
    assert.equal(o.links.has(linkInto(0, 'remote', reg.groups[0].remoteUnits[2])), false, 'nor a link');
    assert.deepEqual([...o.silent], [nodeKey(0, 'remote', 3)], 'but it is silent; units that answered anywhere are not');
  }
  assert.deepEqual([...surveyOverlay(null).links], []);
});

test('the survey the tree shows: the latest with results for the registration shown, else the last complete', () => {
  const empty = { regInfo: reg, results: [] };
  const other = { regInfo: { groups: [] }, results: survey.results };
  const cases = [
    [{ siteSurvey: survey, siteSurveyDone: null }, survey],
    [{ siteSurvey: empty, siteSurveyDone: survey }, survey],
    [{ siteSurvey: other, siteSurveyDone: null }, null],
    [{ siteSurvey: null, siteSurveyDone: null }, null],
  ];
  for (const [state, want] of cases) assert.equal(overlaySurvey(state, reg), want);
});

test('a unit’s route: the repeaters from the base unit to it, itself last', () => {
  const cases = [
    [{ group: 0, kind: 'remote', num: 2 }, ['0:repeater:1', '0:repeater:2', '0:remote:2']],
    [{ group: 0, kind: 'remote', num: 3 }, ['0:remote:3']],
    [{ group: 0, kind: 'repeater', num: 2 }, ['0:repeater:1', '0:repeater:2']],
    [{ group: 0, kind: 'remote', num: 4 }, []], // its repeater is not registered
    [{ group: 5, kind: 'remote', num: 1 }, []],
  ];
  for (const [target, want] of cases) assert.deepEqual(routeNodes(reg, target), want, JSON.stringify(target));
});

test('the filters: problems are a weak link in or a low battery; text matches label or serial', () => {
  const o = surveyOverlay(survey, DEFAULT_THRESHOLDS);
  const [r1, r2] = reg.groups[0].repeaters;
  const [u1, u2, u3] = reg.groups[0].remoteUnits;
  // Remote 3 never answered: silence is the worst problem.
  const cases = [['repeater', r1, false], ['repeater', r2, true], ['remote', u1, true], ['remote', u2, false], ['remote', u3, true]];
  for (const [kind, unit, want] of cases) assert.equal(isProblem(o, 0, kind, unit), want, `${kind} ${unit.num}`);
  const texts = [['', true], ['  ', true], ['g1 pear', true], ['PEAR-3', true], ['00b80505', true], ['apple', false]];
  for (const [q, want] of texts) assert.equal(matchesText(q, 'G1 PEAR-3', '00B80505'), want, q);
});
