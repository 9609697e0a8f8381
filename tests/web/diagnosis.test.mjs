// Why each unit fails, from a recorded survey of the demo site RIVERSIDE
// with the evidence the records would add (the map at the designed
// distances, earlier surveys, a channel scan): the cause, how sure it is,
// the facts that led to it and the remedies that follow; then the work
// ranked and grouped ("Fix these first", what gains margin), waived units'
// remedies not counted as work.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { judgeAcceptance, withWaivers } from '../../web/linkmeter/src/site/acceptance.js';
import { describeAcceptance } from '../../web/linkmeter/src/site/acceptancetexts.js';
import { waiverRecord } from '../../web/linkmeter/src/site/waivers.js';
import { actionLists } from '../../web/linkmeter/src/site/fixfirst.js';
import { remedy } from '../../web/linkmeter/src/site/remedies.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';
import { survey, hopsOf, siteMap, earlier, STARTED } from './riverside-fixture.mjs';

const PEAR_3 = '00B80505'; // 160 m from ORCHARD R2, never answers
const FAR_WELL = '00BC0302'; // 4.3 km from WELLS R1
const COLD_RM = '00C60507'; // battery 8 %
const WELL_RF = '00C00301'; // 260 m from WELLS R1
const TANK_TH = '00C60304'; // 180 m from the base unit, group WELLS on channel 31
const APPLE_1 = '00BA0501'; // behind ORCHARD R1

import { DEFAULT_PROFILE } from '../../web/linkmeter/src/site/acceptanceprofile.js';
import { siteGeometry, siteFit } from '../../web/linkmeter/src/site/sitegeometry.js';
import { coverageCells } from '../../web/linkmeter/src/site/mapcoverage.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';

// The recorded survey sent 5 probes a unit: judged by a profile asking 5.
const QUICK = { ...DEFAULT_PROFILE, name: 'Quick', probes: 5 };
const judge = (hops, evidence, options = {}) => judgeAcceptance(survey(hops), { evidence, profile: QUICK, at: STARTED + 700000, ...options });
const unitOf = (a, serial) => a.units.find((u) => u.serial === serial);
const busy = { at: STARTED - 3600000, channels: [{ freq: 31, n: 12, mean: 88, max: 97 }, { freq: 25, n: 12, mean: 50, max: 60 }] };
const quiet = { at: STARTED - 3600000, channels: [{ freq: 31, n: 12, mean: 24, max: 30 }] };
const map = siteMap();

test('a cause for every kind of failure, with its facts and how sure it is', () => {
  const cases = [
    // [what, replaced hops, evidence, unit, cause, confidence, facts it must have, remedy kinds (work)]
    ['silent where it stands in range', {}, { map }, PEAR_3, 'unitSilent', 'medium', ['silentAll', 'routeUpTo', 'predictedInRange'], ['checkUnit']],
    ['silent in range and answered before', {}, { map, history: { [PEAR_3]: [earlier({ level: 140, battery: 58 })] } }, PEAR_3, 'unitSilent', 'high',
      ['answeredBefore', 'batteryWas'], ['checkUnit']],
    ['silent with nothing to tell', {}, {}, PEAR_3, 'unknown', 'low', ['silentAll', 'tellPlaceOnMap'], ['checkUnit']],
    ['silent on a plan without a scale', {}, { map: { ...map, plans: [{ ...map.plans[0], scale: null }] } }, PEAR_3, 'unknown', 'low', ['tellSetScale'], ['checkUnit']],
    ['silent and far beyond the site\'s reach', {}, { map }, FAR_WELL, 'outOfRange', 'medium', ['predictedOut'], ['addRepeater']],
    ['weak for its distance', { [WELL_RF]: [hopsOf(WELL_RF)[0], [5, 5, [[96, 5]], 64]] }, { map }, WELL_RF, 'obstructed', 'high',
      ['weakHop', 'weakForDistance'], ['raiseAntenna', 'addRepeater']],
    ['weak, no map, fell since the last visit', { [WELL_RF]: [hopsOf(WELL_RF)[0], [5, 5, [[96, 5]], 64]] }, { history: { [WELL_RF]: [earlier({ level: 131 })] } },
      WELL_RF, 'obstructed', 'medium', ['levelWas'], ['raiseAntenna', 'addRepeater']],
    ['dips with the group\'s channel busy', { [TANK_TH]: [[5, 5, [[60, 1], [137, 4]], 86]] }, { map, scan: busy }, TANK_TH, 'interference', 'high',
      ['dipBelowWeak', 'channel_busy'], ['changeChannel']],
    ['dips and no scan', { [TANK_TH]: [[5, 5, [[60, 1], [137, 4]], 86]] }, { map }, TANK_TH, 'interference', 'low', ['tellScanChannel'], ['changeChannel']],
    ['dips on a quiet channel', { [TANK_TH]: [[5, 5, [[60, 1], [137, 4]], 86]] }, { map, scan: quiet }, TANK_TH, 'unknown', 'low', ['channel_quiet', 'tellSurveyLater'], ['changeChannel']],
    ['only its battery', {}, { map, history: { [COLD_RM]: [earlier({ level: 134, battery: 45 })] } }, COLD_RM, 'batteryLow', 'high', ['batteryNow', 'batteryFell'], ['replaceBattery']],
    ['its repeater silent', { [APPLE_1]: [[5, 0, [], null], [5, 0, [], null]] }, { map }, APPLE_1, 'parentSilent', 'medium', ['silentAll', 'predictedInRange'], ['checkUnit']],
  ];
  for (const [what, hops, evidence, serial, cause, confidence, facts, kinds] of cases) {
    const u = unitOf(judge(hops, evidence), serial);
    assert.equal(u.verdict, 'fail', what);
    assert.equal(u.diagnosis.cause, cause, `${what}: ${JSON.stringify(u.diagnosis)}`);
    assert.equal(u.diagnosis.confidence, confidence, `${what}: ${JSON.stringify(u.diagnosis.facts)}`);
    const keys = u.diagnosis.facts.map((f) => f.key);
    for (const f of facts) assert.ok(keys.includes(f), `${what}: fact ${f} in ${keys}`);
    assert.deepEqual(u.remedies.map((r) => r.kind), kinds, what);
  }
});

test('no repeater for a unit that stands in range; the repeater checked is the silent one', () => {
  const a = judge({ [APPLE_1]: [[5, 0, [], null], [5, 0, [], null]] }, { map });
  assert.equal(unitOf(a, APPLE_1).remedies[0].unit, 'G3 R1');
  const pear = unitOf(judge({}, { map }), PEAR_3);
  assert.ok(!pear.remedies.some((r) => r.kind === 'addRepeater'));
  assert.equal(pear.diagnosis.unit, 'G3 PEAR-3');
});

test('the facts in words, in both languages', () => {
  const a = judge({ [TANK_TH]: [[5, 5, [[60, 1], [137, 4]], 86]] }, { map, scan: busy, history: { [COLD_RM]: [earlier({ battery: 45 })] } });
  for (const lang of ['en', 'ja']) {
    setLanguage(lang);
    const words = describeAcceptance(a);
    for (const u of words.units.filter((x) => x.diagnosis)) {
      for (const text of [u.diagnosis.causeText, u.diagnosis.confidenceText, ...u.diagnosis.evidence, ...u.remedyTexts]) {
        assert.doesNotMatch(text, /diagnosis\.|acceptance\.|\{\w+\}|undefined|NaN/, `${lang} ${u.label}: ${text}`);
      }
    }
    for (const x of [...words.fixFirst, ...words.gainMargin]) assert.doesNotMatch(x.text, /\{\w+\}|undefined|NaN/, x.text);
    assert.ok(words.fitLines.length >= 2, 'the fit in words');
  }
  setLanguage('en');
  const tank = describeAcceptance(a).units.find((u) => u.serial === TANK_TH);
  assert.match(tank.diagnosis.evidence.join(' '), /Channel 31 of group WELLS was heard at up to 97/);
});

test('Fix these first: grouped by action, cheapest first; margin apart; a waived unit is no work', () => {
  const a = judge({}, { map });
  const kinds = a.fixFirst.map((x) => x.kind);
  assert.deepEqual(kinds, ['replaceBattery', 'checkUnit', 'addRepeater', 'addRepeater'], JSON.stringify(a.fixFirst.map((x) => [x.kind, x.units])));
  // One repeater between ORCHARD R1 and R2 serves both units behind R2 that answer.
  const shared = a.fixFirst.find((x) => x.kind === 'addRepeater' && x.units.length > 1);
  assert.deepEqual(shared.units, ['G3 APPLE-2', 'G3 PEAR-LX']);
  assert.ok(shared.position && shared.position.plan === 'P' && shared.predicted.length === shared.positions.length + 1, JSON.stringify(shared));
  assert.ok(shared.feasible && shared.predicted.every((l) => l.level - l.spread >= 100), JSON.stringify(shared.predicted));
  const far = a.fixFirst.find((x) => x.kind === 'addRepeater' && x.units.includes('G2 FAR-WELL'));
  assert.ok(far.repeaters >= 2, 'a 4.3 km hop needs more than one repeater');
  // Each unit's remedy knows the units the same action fixes.
  assert.deepEqual(unitOf(a, '00BC0502').remedies[0].units, ['G3 APPLE-2', 'G3 PEAR-LX']);
  // COLD-RM fails only on its battery: no antenna or repeater work for it;
  // its fair repeater (which also carries 7 units) is margin, listed apart.
  const cold = unitOf(a, COLD_RM);
  assert.deepEqual(cold.remedies.map((r) => r.kind), ['replaceBattery']);
  assert.deepEqual(cold.marginRemedies.map((r) => [r.kind, r.unit || r.repeater]), [['raiseRepeater', 'G3 R1'], ['shareRepeater', 'G3 R1']]);
  assert.ok(a.gainMargin.some((x) => x.units.includes('G3 GATE-TH')), 'a marginal unit\'s advice gains margin');
  assert.ok(!a.fixFirst.some((x) => x.units.includes('G3 GATE-TH')), 'and is never work');
  // Waived, FAR-WELL's repeater is no longer work; the verdict counts it waived.
  const waived = withWaivers(a, [{ id: 3, ...waiverRecord({ serial: FAR_WELL, reason: 'the well is moved', at: STARTED }) }]);
  assert.ok(!waived.fixFirst.some((x) => x.units.includes('G2 FAR-WELL')));
  assert.equal(waived.counts.waived, 1);
  assert.ok(unitOf(waived, FAR_WELL).remedies.length, 'its remedies still shown with it');
});

test('ranking: cost first, then the units an action fixes, then the order of the units', () => {
  const unit = (label, remedies) => ({ label, serial: label, verdict: 'fail', waiver: null, remedies, marginRemedies: [] });
  const units = [
    unit('A', [remedy('addRepeater', { from: 'R1', to: 'A' })]),
    unit('B', [remedy('checkUnit', { unit: 'B' })]),
    unit('C', [remedy('changeChannel', { group: 'G', channels: '' })]),
    unit('D', [remedy('changeChannel', { group: 'G', channels: '' }), remedy('replaceBattery', { unit: 'D' })]),
    unit('E', [remedy('checkUnit', { unit: 'R2' })]),
    unit('F', [remedy('checkUnit', { unit: 'R2' })]),
  ];
  const { fixFirst } = actionLists(units);
  assert.deepEqual(fixFirst.map((x) => [x.kind, x.units.join('')]), [
    ['replaceBattery', 'D'], ['checkUnit', 'EF'], ['checkUnit', 'B'], ['changeChannel', 'CD'], ['addRepeater', 'A']]);
});

test('the fit and the planned unit\'s prediction from the recorded hops', () => {
  const a = judge({}, siteMap() && { map: siteMap({ planned: { BC0303: [900, 900] } }) });
  assert.ok(a.propagation.usable);
  assert.ok(Math.abs(a.propagation.slope + 40) < 6, `slope ${a.propagation.slope}`);
  assert.ok(a.propagation.spread >= 6 && a.propagation.spread < 16, `spread ${a.propagation.spread}`);
  const [p] = a.predictions;
  assert.equal(p.serial, 'BC0303');
  assert.ok(p.level > 80 && p.level < 200 && p.spread >= 6, JSON.stringify(p));
  // Without the map: what is missing, no guess.
  const none = judge({}, {});
  assert.equal(none.geometry.missing, 'noPlan');
  assert.equal(none.propagation, null);
  assert.equal(none.proposals.every((x) => x.missing === 'noPlan'), true);
});

test('units on a removed plan are unplaced: no distance, fit or coverage; a hidden or re-added plan keeps them', () => {
  const edit = (e) => ({ ...map, edits: [...map.edits, { plan: 'P', at: STARTED - 800, ...e }] });
  const removed = edit({ action: 'plan-remove' });
  const addedAgain = { ...removed, plans: [{ ...map.plans[0], at: STARTED - 6000, addedAt: [STARTED - 6000, STARTED - 700] }] };
  const s = survey({});
  const geoOf = (m) => siteGeometry({ regInfo: s.regInfo, baseSerial: s.prov.base.serial, map: m });
  const fit = siteFit(geoOf(map), s);
  const cases = [
    ['hidden from the report', edit({ action: 'plan-hide', hidden: true }), true],
    ['removed', removed, false],
    ['removed, its image added again', addedAgain, true],
  ];
  for (const [what, m, placed] of cases) {
    const a = judge({}, { map: m });
    const pear = unitOf(a, PEAR_3);
    assert.equal(pear.diagnosis.cause, placed ? 'unitSilent' : 'unknown', what);
    assert.ok(pear.diagnosis.facts.some((f) => f.key === (placed ? 'predictedInRange' : 'tellPlaceOnMap')), what);
    assert.equal(a.geometry.missing, placed ? null : 'noPlan', what);
    assert.equal(a.propagation.usable, placed, what);
    const geo = geoOf(m);
    assert.equal(geo.placed === geo.units.length, placed, `${what}: ${geo.placed} placed`);
    assert.equal(geo.placed === 0, !placed, what);
    const cover = coverageCells({ geo, fit, plan: map.plans[0], th: DEFAULT_THRESHOLDS, columns: 4 });
    assert.equal(cover.missing, placed ? undefined : 'noSource', what);
  }
});
