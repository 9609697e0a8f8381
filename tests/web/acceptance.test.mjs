// Acceptance of a site: every rule of the profile at and around its
// boundary, the remedy each kind of failure gets, the site verdict with its
// counts, waivers and their withdrawal, the profile's checks, and the words
// in both languages.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { buildRoute } from '../../web/linkmeter/src/device/route.js';
import { siteTargets, failedResult } from '../../web/linkmeter/src/site/sitesurveybook.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';
import { judgeAcceptance, withWaivers } from '../../web/linkmeter/src/site/acceptance.js';
import { DEFAULT_PROFILE, profileProblem, loadProfile, saveProfile, parseProfile, lostAllowedOf, PROFILE_KEY } from '../../web/linkmeter/src/site/acceptanceprofile.js';
import { waiverRecord, withdrawalRecord, waiverProblem } from '../../web/linkmeter/src/site/waivers.js';
import { describeAcceptance, remedyText } from '../../web/linkmeter/src/site/acceptancetexts.js';
import { setLanguage, messageTable } from '../../web/linkmeter/src/i18n/i18n.js';
import * as site from '../../web/linkmeter/src/sitelogic.js';
import { northSite, resultOfProbes } from './site-fixture.mjs';

// G1: HOUSE-1 at the base unit; FIELD behind R1 → R2; SOIL behind R1.
const regInfo = northSite();
const targets = siteTargets(regInfo);
const targetOf = (num) => targets.find((x) => x.num === num);

// The result of unit `num` from `probes` (lists of per-hop readings).
const resultOf = (num, probes) => resultOfProbes(regInfo, targetOf(num), probes);

const times = (n, p) => Array.from({ length: n }, () => p);
const steady = (n, ...hops) => times(n, hops);
const GOOD = [140, 80];

// A survey where every unit but those in `own` answers 20 good probes.
function surveyWith(own = {}, { complete = true } = {}) {
  const results = targets.filter((x) => own[x.num] !== 'left out').map((x) => {
    if (own[x.num]) return own[x.num];
    const hops = buildRoute(regInfo, x).hops.length;
    return resultOf(x.num, steady(20, ...times(hops, GOOD)));
  });
  return { targets, results, regInfo, complete, started: 1, finished: 2, prov: { base: { serial: '10092561', name: 'BASE-A' } } };
}

const unit = (acc, num) => acc.units.find((u) => u.serial === targetOf(num).serial);
// A remedy's kind and what it names, without its grouping and ranking.
const plain = (r) => {
  if (!r) return null;
  const { key, cost, units, alternative, ...rest } = r;
  return rest;
};
// The first advice a unit gets: its work, else what gains it margin.
const firstAdvice = (u) => plain(u.remedies[0] || (u.marginRemedies || [])[0]);
const judge = (own, options = {}) => judgeAcceptance(surveyWith(own), { at: 5, ...options });

test('each rule at and around its boundary decides the unit and picks its remedy', () => {
  const lost = (n, ok) => [...steady(ok, [140, 80]), ...times(n, [null])];
  const cases = [
    // [what, unit 1's probes, profile changes, verdict, rule, first remedy]
    ['20 good probes', steady(20, [130, 80]), {}, 'pass', null, null],
    ['19 probes are not enough', steady(19, [140, 80]), {}, 'fail', 'probes', { kind: 'moreProbes', probes: 20 }],
    ['5 probes with a smaller profile', steady(5, [140, 80]), { name: 'Quick', probes: 5 }, 'pass', null, null],
    ['median just good', steady(20, [130, 80]), {}, 'pass', null, null],
    ['median fair is marginal', steady(20, [100, 80]), {}, 'marginal', 'margin', { kind: 'raiseAntenna', unit: 'G1 HOUSE-1' }],
    ['median fair fails a good-only profile', steady(20, [129, 80]), { name: 'Strict', hopMedian: 'good' }, 'fail', 'median', { kind: 'raiseAntenna', unit: 'G1 HOUSE-1' }],
    ['median weak', steady(20, [99, 80]), {}, 'fail', 'median', { kind: 'raiseAntenna', unit: 'G1 HOUSE-1' }],
    ['median bad needs a repeater', steady(20, [79, 80]), {}, 'fail', 'median', { kind: 'addRepeater', from: 'BASE-A', to: 'G1 HOUSE-1' }],
    ['lowest probe at the weak boundary', [...steady(19, [150, 80]), [[80, 80]]], {}, 'pass', null, null],
    ['one probe below weak', [...steady(19, [150, 80]), [[79, 80]]], {}, 'fail', 'minimum', { kind: 'changeChannel', group: 'NORTH', channels: '' }],
    ['1 lost in 20', lost(1, 19), {}, 'pass', null, null],
    ['2 lost in 20', lost(2, 18), {}, 'fail', 'loss', { kind: 'changeChannel', group: 'NORTH', channels: '' }],
    ['2 lost in 40', lost(2, 38), {}, 'pass', null, null],
    ['battery at ok', steady(20, [140, 30]), {}, 'pass', null, null],
    ['battery low', steady(20, [140, 29]), {}, 'fail', 'battery', { kind: 'replaceBattery', unit: 'G1 HOUSE-1' }],
    // Nothing tells a unit out of range from a dead one: look at it first.
    ['never answered', steady(20, null), {}, 'fail', 'median', { kind: 'checkUnit', unit: 'G1 HOUSE-1' }],
  ];
  for (const [what, probes, change, verdict, rule, remedy] of cases) {
    const acc = judge({ 1: resultOf(1, probes) }, { profile: { ...DEFAULT_PROFILE, ...change } });
    const u = unit(acc, 1);
    assert.equal(u.verdict, verdict, what);
    assert.equal(u.rule, rule, what);
    assert.deepEqual(firstAdvice(u), remedy, what);
  }
});

test('routes through repeaters: the silent or weak hop is named, hops and repeater load are counted', () => {
  const silentFar = resultOf(2, steady(20, GOOD, GOOD, null));
  assert.deepEqual(firstAdvice(unit(judge({ 2: silentFar }), 2)), { kind: 'checkUnit', unit: 'G1 FIELD' });
  const weakRepeater = resultOf(2, steady(20, GOOD, [90, 80], GOOD));
  assert.deepEqual(firstAdvice(unit(judge({ 2: weakRepeater }), 2)), { kind: 'raiseRepeater', unit: 'G1 R2' });
  const weakBattery = resultOf(2, steady(20, [140, 9], GOOD, GOOD));
  assert.deepEqual(unit(judge({ 2: weakBattery }), 2).remedies.map(plain), [{ kind: 'replaceBattery', unit: 'G1 R1' }]);

  // FIELD is 3 hops away.
  for (const [maxHops, verdict] of [[3, 'pass'], [2, 'fail']]) {
    const u = unit(judge({}, { profile: { ...DEFAULT_PROFILE, name: 'Hops', maxHops } }), 2);
    assert.equal(u.verdict, verdict, `at most ${maxHops} hops`);
  }
  // R1 carries FIELD and SOIL: a warning above 1, none at 2.
  for (const [repeaterUnits, verdict] of [[2, 'pass'], [1, 'marginal']]) {
    const acc = judge({}, { profile: { ...DEFAULT_PROFILE, name: 'Load', repeaterUnits } });
    assert.equal(unit(acc, 3).verdict, verdict, `at most ${repeaterUnits} units`);
    assert.equal(unit(acc, 1).verdict, 'pass', 'a unit at the base unit carries no repeater');
  }
  const load = unit(judge({}, { profile: { ...DEFAULT_PROFILE, name: 'Load', repeaterUnits: 1 } }), 3);
  assert.deepEqual(load.findings[0].units, ['G1 FIELD', 'G1 SOIL']);
  assert.deepEqual(load.remedies, [], 'a warning is no work');
  assert.deepEqual(load.marginRemedies.map(plain), [{ kind: 'shareRepeater', repeater: 'G1 R1', count: 2 }]);
});

test('a survey that did not reach a unit never passes it', () => {
  const failed = failedResult(regInfo, targetOf(3), new Error('no route'), new Date(0));
  const acc = judgeAcceptance(surveyWith({ 1: 'left out', 3: failed }, { complete: false }), {});
  for (const [num, status] of [[1, 'notSurveyed'], [3, 'failed']]) {
    const u = unit(acc, num);
    assert.equal(u.rule, 'complete');
    assert.equal(u.status, status);
    assert.deepEqual(u.remedies.map(plain), [{ kind: 'surveyAgain' }]);
  }
  assert.equal(acc.verdict, 'fail');
  assert.equal(acc.survey.complete, false);
});

test('site verdict, counts and waivers: given, withdrawn, and only for failing units', () => {
  const weak = resultOf(1, steady(20, [90, 80]));
  const fair = resultOf(3, steady(20, GOOD, [110, 80]));
  const serial = targetOf(1).serial;
  const waive = { id: 7, ...waiverRecord({ serial, reason: ' customer moves the unit next week ', at: 10 }) };
  const passWaiver = { id: 8, ...waiverRecord({ serial: targetOf(2).serial, reason: 'not needed', at: 11 }) };
  const cases = [
    ['all good', {}, [], 'pass', { units: 3, pass: 3, marginal: 0, fail: 0, waived: 0 }],
    ['a marginal unit still passes', { 3: fair }, [], 'pass', { units: 3, pass: 2, marginal: 1, fail: 0, waived: 0 }],
    ['a weak unit fails the site', { 1: weak }, [], 'fail', { units: 3, pass: 2, marginal: 0, fail: 1, waived: 0 }],
    ['waived', { 1: weak }, [waive, passWaiver], 'passWithWaivers', { units: 3, pass: 2, marginal: 0, fail: 0, waived: 1 }],
    ['withdrawn', { 1: weak }, [waive, { id: 9, ...withdrawalRecord({ id: 7, serial, at: 12 }) }], 'fail', { units: 3, pass: 2, marginal: 0, fail: 1, waived: 0 }],
  ];
  for (const [what, own, waivers, verdict, counts] of cases) {
    const acc = judge(own, { waivers });
    assert.equal(acc.verdict, verdict, what);
    assert.deepEqual(acc.counts, counts, what);
    assert.equal(unit(acc, 2).waiver, null, `${what}: a passing unit carries no waiver`);
  }
  const waived = unit(judge({ 1: weak }, { waivers: [waive] }), 1);
  assert.deepEqual(waived.waiver, { id: 7, reason: 'customer moves the unit next week', at: 10 });
  // Waiving after judging gives the same as judging with the waiver.
  assert.deepEqual(withWaivers(judge({ 1: weak }), [waive]), judge({ 1: weak }, { waivers: [waive] }));
  assert.equal(judgeAcceptance({ ...surveyWith(), targets: [], results: [] }).verdict, 'fail', 'an empty site is not accepted');
  for (const [w, problem] of [[{ serial, reason: '  ' }, 'reason'], [{ serial: '', reason: 'x' }, 'unit'], [{ serial, reason: 'x'.repeat(501) }, 'reasonLength']]) {
    assert.equal(waiverProblem(w), problem);
    assert.throws(() => waiverRecord(w), RangeError);
  }
});

test('profiles: checked, kept per computer, read from a file; the loss allowance scales', () => {
  const store = new Map();
  const storage = { getItem: (k) => store.get(k) ?? null, setItem: (k, v) => store.set(k, v) };
  assert.equal(loadProfile(storage), DEFAULT_PROFILE);
  const cases = [
    [{ probes: 0 }, 'probes'], [{ probes: 101 }, 'probes'], [{ hopMedian: 'weak' }, 'hopMedian'],
    [{ lostAllowed: 20 }, 'lostAllowed'], [{ maxHops: 17 }, 'maxHops'], [{ name: ' ' }, 'name'], [{ version: 1.5 }, 'version'],
    [{ probes: 30 }, 'sameNameChanged'], [{ probes: 30, version: 2 }, null], [{}, null],
  ];
  for (const [change, problem] of cases) assert.equal(profileProblem({ ...DEFAULT_PROFILE, ...change }), problem, JSON.stringify(change));
  const mine = saveProfile(storage, { ...DEFAULT_PROFILE, name: ' Farm ', probes: 30 });
  assert.deepEqual(loadProfile(storage), mine);
  assert.equal(mine.name, 'Farm');
  store.set(PROFILE_KEY, '{"name":"Broken"');
  assert.equal(loadProfile(storage), DEFAULT_PROFILE, 'a damaged profile falls back to the default');
  assert.throws(() => parseProfile('{"name":"X","version":1}'), /profile: /);
  assert.throws(() => judgeAcceptance(surveyWith(), { profile: { ...DEFAULT_PROFILE, probes: -1 } }), RangeError);
  assert.deepEqual([19, 20, 39, 40].map((n) => lostAllowedOf(DEFAULT_PROFILE, n)), [0, 1, 1, 2]);
  // Every result names the profile and boundaries it was judged by.
  const acc = judge({}, { profile: mine });
  assert.deepEqual([acc.profile.name, acc.profile.version, acc.profile.probes], ['Farm', 1, 30]);
  assert.deepEqual(acc.thresholds, { level: { ...DEFAULT_THRESHOLDS.level }, battery: { ...DEFAULT_THRESHOLDS.battery } });
});

test('every verdict, rule and remedy has words in both languages, and the command line gets them', () => {
  const remedies = [{ kind: 'surveyAgain' }, { kind: 'moreProbes', probes: 20 }, { kind: 'addRepeater', from: 'A', to: 'B' },
    { kind: 'raiseAntenna', unit: 'U' }, { kind: 'raiseRepeater', unit: 'R' }, { kind: 'changeChannel', group: 'G', channels: '3, 7' },
    { kind: 'changeChannel', group: 'G', channels: '' }, { kind: 'replaceBattery', unit: 'U' }, { kind: 'moveRepeater', max: 4 },
    { kind: 'shareRepeater', repeater: 'R', count: 9 }, { kind: 'checkUnit', unit: 'U' }];
  const acc = judge({ 1: resultOf(1, [...steady(19, [140, 20]), [[60, 20]]]), 2: 'left out' }, { channels: [3, 7, 31] });
  for (const lang of ['en', 'ja']) {
    setLanguage(lang);
    for (const r of remedies) assert.doesNotMatch(remedyText(r), /acceptance\.|\{/, `${lang} ${r.kind}`);
    const words = describeAcceptance(acc);
    assert.equal(words.profileTitle, 'Standard v1');
    for (const u of words.units) {
      const causes = u.diagnosis ? [u.diagnosis.causeText, u.diagnosis.confidenceText, ...u.diagnosis.evidence] : [];
      for (const text of [u.verdictText, u.ruleText, ...u.findingTexts, ...u.remedyTexts, ...causes]) assert.doesNotMatch(text, /acceptance\.|diagnosis\.|\{/, `${lang} ${text}`);
    }
    for (const r of words.rules) assert.doesNotMatch(r.text, /\{/, `${lang} ${r.rule}`);
    assert.ok(words.units[0].remedyTexts.some((text) => text.includes('3, 7, 31')), 'the channel advice is named');
  }
  assert.deepEqual(Object.keys(messageTable('ja')).filter((k) => k.startsWith('acceptance.')).sort(),
    Object.keys(messageTable('en')).filter((k) => k.startsWith('acceptance.')).sort());
  setLanguage('en');
  // The command line's entry: plain JSON in and out, the same judgement.
  const answer = (levels) => ({ isSuccess: true, Signals: [{ number: 1, level: levels, battery: 80 }] });
  const units = [{ target: { group: 0, kind: 'remote', num: 1 }, probes: times(20, { answer: answer(90) }) }];
  const out = JSON.parse(JSON.stringify(site.acceptance(regInfo, units, { language: 'en' })));
  assert.equal(out.verdict, 'fail');
  assert.equal(out.units[0].verdict, 'fail');
  assert.equal(out.units[0].remedyTexts[0], 'Raise or move the antenna of G1 HOUSE-1.');
  assert.equal(out.units[1].rule, 'complete');
});
