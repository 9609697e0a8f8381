// The history view's logic: a stored survey back in the page's shape (exact
// statistics from the probes' raw bytes, or the kept hop statistics), the
// comparison of two stored visits, the lists and the trend's series.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { surveyFromRecord, signalsOf, regInfoOf } from '../../web/linkmeter/src/records/historysurvey.js';
import { defaultSite, recordRows, kindCounts, rowsOfKind, siteSurveys, defaultPair, snapshotCandidates, trendSeries, trendUnits, changeText, withPlanEdits, kindKey }  from '../../web/linkmeter/src/records/historylist.js';
import { compareSiteSurveys } from '../../web/linkmeter/src/site/compare.js';
import { SurveyReader, JUDGED } from '../../web/linkmeter/src/records/surveyreader.js';
import { bytesToBase64 } from '../../web/linkmeter/src/records/records.js';
import { isCurrent } from '../../web/linkmeter/src/ui/provenance.js';
import { HISTORY_TEXTS } from '../../web/linkmeter/src/records/historytexts.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';
import { loadDom } from './dom-support.mjs';

setLanguage('en');

const regInfo = {
  groups: [{ name: 'GH-NORTH', freq: 12, band: 0,
    repeaters: [{ num: 1, parent: 0, serial: '00C80101' }, { num: 2, parent: 1, serial: '00C80102' }],
    remoteUnits: [
      { num: 1, parent: 0, serial: '00B80101', name: 'HOUSE-1' },
      { num: 3, parent: 2, serial: '00BC0103', name: 'FIELD-TH' },
      { num: 5, parent: 2, serial: '00B80105', name: 'PEAR-3' },
    ] }],
};
const site = { serial: 0x009a0011, name: 'GREENHOUSE', model: 'VL-B1' };
// Routes as the store keeps them: each unit's serials, base unit left out.
const ROUTES = [[0x00b80101], [0x00c80101, 0x00c80102, 0x00bc0103], [0x00c80101, 0x00c80102, 0x00b80105]];

// A probe of route `route`: [number, level, battery] of each unit that answered.
const probe = (route, seq, signals) => ({ route, seq, at: 1000 + seq, answered: true, raw: bytesToBase64(signals.flat()) });

// A stored site survey where repeater 2 is heard at `r2` (two probes each).
function record(id, startedAt, r2, { endedAt = startedAt + 60000, probes = true } = {}) {
  const p = [];
  for (const seq of [0, 1]) {
    p.push(probe(0, seq, [[1, 150, 90]]));
    p.push(probe(1, seq, [[1, 120, 95], [2, r2 + seq, 80], [3, 140, 55]]));
    p.push({ route: 2, seq, at: 1000 + seq, answered: false, raw: bytesToBase64([1, 121, 95, 2, r2, 80]) });
  }
  const hops = [
    { route: 0, hop: 0, fromUnit: site.serial, unit: 0x00b80101, sent: 2, answered: 2, levelMin: 150, levelAvg: 150, levelMax: 150, battery: 90 },
    { route: 1, hop: 1, fromUnit: 0x00c80101, unit: 0x00c80102, sent: 2, answered: 2, levelMin: r2, levelAvg: r2 + 0.5, levelMax: r2 + 1, battery: 80 },
  ];
  return { id, kind: 'site-survey', visitId: id, startedAt, endedAt, probesPerRoute: 2, routes: ROUTES, thresholds: null, probes: probes ? p : [], hops };
}

test('a stored survey comes back with exact statistics from its probes, named by the registration, never current', () => {
  const s = surveyFromRecord(record(7, 5000, 117), { site, regInfo });
  assert.deepEqual(s.results.map((r) => [r.target.label, r.status]), [['G1 HOUSE-1', 'ok'], ['G1 FIELD-TH', 'ok'], ['G1 PEAR-3', 'partial']]);
  const field = s.results[1];
  assert.deepEqual(field.hops.map((hop) => hop.figures.median), [120, 117.5, 140]);
  assert.deepEqual(field.hops.map((hop) => hop.figures.asked), [2, 2, 2]);
  assert.equal(field.hops[2].reading.battery, 55);
  assert.equal(s.results[2].hops[2].reading, null, 'the silent unit has no reading');
  assert.equal(s.prov.source, 'records');
  assert.equal(s.prov.time, 5000);
  assert.equal(s.prov.base.serial, '009A0011');
  assert.equal(isCurrent(s.prov, { unit: { serial: '009A0011' } }, { earlier: true }), false);
  assert.deepEqual([s.complete, surveyFromRecord(record(8, 1, 1, { endedAt: null }), { site, regInfo }).complete], [true, false]);
});

test('without a registration the kept hop statistics stand in; unknown units keep keys of their own', () => {
  const s = surveyFromRecord(record(7, 5000, 117), { site, regInfo: null });
  assert.equal(s.results[1].hops[1].reading.level, 118, 'the kept mean level, rounded');
  assert.equal(s.results[1].hops[0].reading, undefined, 'a hop the store kept nothing of: not surveyed');
  assert.deepEqual(s.results.map((r) => r.target.label), ['00B80101', '00BC0103', '00B80105']);
  assert.equal(new Set(s.targets.map((x) => `${x.kind}${x.num}`)).size, 3);
});

test('two stored visits compared: the hop to the moved repeater got worse, the rest did not', () => {
  const before = surveyFromRecord(record(1, 1000, 117), { site, regInfo });
  const after = surveyFromRecord(record(2, 9000, 96), { site, regInfo });
  const c = compareSiteSurveys(before, after, { worseBy: 10 });
  const worse = c.hops.filter((x) => x.worse);
  assert.deepEqual(worse.map((x) => [x.label, x.change]), [['G1 R1 → G1 R2', -21]]);
  assert.equal(c.hops.length, 5);
  const pear = c.units.find((u) => u.label === 'G1 PEAR-3');
  assert.deepEqual([pear.levelBefore, pear.levelAfter], [null, null]);
});

test('a survey cut short: units it never reached are missing from it, not silent, and never worse', () => {
  const full = surveyFromRecord(record(1, 1000, 117), { site, regInfo });
  const cut = record(2, 9000, 117, { endedAt: null });
  cut.probes = cut.probes.filter((p) => p.route === 0);
  cut.hops = cut.hops.filter((row) => row.route === 0);
  const after = surveyFromRecord(cut, { site, regInfo });
  assert.deepEqual(after.results.map((r) => r.target.label), ['G1 HOUSE-1']);
  const c = compareSiteSurveys(full, after);
  assert.deepEqual(c.hops.map((x) => [x.label, x.worse]), [['GREENHOUSE → G1 HOUSE-1', false]]);
  assert.equal(c.onlyBefore.length, 4);
});

test('a past survey is read with its own registration and thresholds, whatever was loaded after it', async () => {
  // The sibling's file, loaded later in the same visit: other names, one group, other numbers.
  const sibling = { groups: [{ name: 'OTHER', freq: 12, band: 0, repeaters: [], remoteUnits: [{ num: 9, parent: 0, serial: '00B80101', name: 'OLD-NAME' }] }] };
  const strict = { level: { good: 200, fair: 180, weak: 160 }, battery: { ok: 30, low: 10 } };
  const stored = { ...record(7, 5000, 117), visitId: 2, thresholds: strict, registrationId: 5 };
  const visit = { visit: { id: 2, startedAt: 4000 }, records: [{ kind: 'registration', id: 5, at: 4500, contentId: 'a' }, { kind: 'registration', id: 6, at: 9000, contentId: 'b' }] };
  const regs = { 5: { regInfo }, 6: { regInfo: sibling } };
  const records = {
    readRecord: async ({ kind, id }) => (kind === 'registration' ? { id, decoded: regs[id] } : stored),
    readVisit: async () => visit,
  };
  const reader = new SurveyReader(records, { site, visits: async () => [visit] });
  const today = { level: { good: 130, fair: 100, weak: 80 }, battery: { ok: 30, low: 10 } };
  const cases = [
    // [judged, verdicts of the three units, the boundaries shown]
    [JUDGED.then, ['bad', 'bad', 'silent'], 'then'],
    [JUDGED.now, ['good', 'fair', 'silent'], 'now'],
  ];
  for (const [judged, verdicts, shown] of cases) {
    const { survey } = await reader.survey('site-survey', 7, { judged, today });
    assert.deepEqual(survey.results.map((r) => r.target.label), ['G1 HOUSE-1', 'G1 FIELD-TH', 'G1 PEAR-3'], judged);
    assert.deepEqual(survey.results.map((r) => r.verdict), verdicts, judged);
    assert.deepEqual(survey.results[1].hops.map((hop) => hop.figures.median), [120, 117.5, 140], 'probes decoded by the numbers of its own registration');
    assert.equal(survey.judged, shown);
  }
  // Kept without thresholds (an older store): judged by today's, and it says so.
  const { survey } = await new SurveyReader({ ...records, readRecord: async (q) => (q.kind === 'registration' ? { decoded: regs[5] } : { ...stored, thresholds: null }) }, { site, visits: async () => [visit] })
    .survey('site-survey', 7, { judged: JUDGED.then, today });
  assert.deepEqual([survey.judged, survey.thresholds], ['now', today]);
});

test('raw level bytes: three per unit, a short tail ignored; registrations found in either decoded form', () => {
  assert.deepEqual(signalsOf(bytesToBase64([1, 2, 3, 4, 5])), [{ number: 1, level: 2, battery: 3 }]);
  assert.deepEqual(signalsOf([]), []);
  assert.equal(regInfoOf({ regInfo }), regInfo);
  assert.equal(regInfoOf(regInfo), regInfo);
  assert.equal(regInfoOf({ STATUS: 'x' }), null);
});

test('lists: the site to open, a visit\'s records newest first, the pair to compare', () => {
  const sites = [{ serial: 1, lastVisitAt: 50 }, { serial: 0x009a0011, lastVisitAt: 10 }, { serial: 3, lastVisitAt: 90 }];
  const cases = [
    [{ serial: '009A0011' }, 0x009a0011],
    [null, 3],
    [{ serial: '12345678' }, 3],
  ];
  for (const [unit, serial] of cases) assert.equal(defaultSite(sites, unit).serial, serial);
  assert.equal(defaultSite([], null), null);

  // The store lists a write among the records and again in full: one row, carrying the write.
  const write = { id: 9, writtenAt: 20, unit: 5, succeeded: true, message: '', changes: [{ key: 'NAME', old: 'A', new: 'B' }] };
  const rows = recordRows({ records: [{ kind: 'registration', id: 1, at: 10 }, { kind: 'site-survey', id: 2, at: 30 }, { kind: 'settings-write', id: 9, at: 20 }],
    settingsWrites: [write] });
  assert.deepEqual(rows.map((r) => [r.kind, r.id]), [['site-survey', 2], ['settings-write', 9], ['registration', 1]]);
  assert.equal(rows[1].write, write);
});

test('the pair compared first: the newest survey that measured a unit and the newest complete one of an earlier visit', async () => {
  const visit = (id, surveys) => ({ visit: { id }, records: surveys.map(([sid, at]) => ({ kind: 'site-survey', id: sid, at })) });
  const starts = new Map([[1, 50], [2, 150], [3, 250]]);
  const all = siteSurveys([visit(1, [[10, 100], [11, 110]]), visit(2, [[20, 200], [21, 210]]), visit(3, [[30, 300]])]);
  const cases = [
    // [name, surveys, cut short (not complete), measured nothing, pair]
    ['latest against the earlier visit\'s last', all, [], [], { before: 21, after: 30 }],
    ['a cut-short survey is never the default baseline', all, [21, 20], [], { before: 11, after: 30 }],
    ['the latest may be cut short itself', all, [30], [], { before: 21, after: 30 }],
    ['a latest that measured nothing is passed over', all, [], [30], { before: 11, after: 21 }],
    ['no earlier visit: the same visit\'s complete one before it', siteSurveys([visit(2, [[20, 200], [21, 210]])]), [], [], { before: 20, after: 21 }],
    ['nothing complete to compare with', all, [10, 11, 20, 21], [], null],
    ['one survey', siteSurveys([visit(1, [[10, 100]])]), [], [], null],
  ];
  for (const [name, surveys, cut, empty, pair] of cases) {
    const describe = async (id) => ({ complete: !cut.includes(id), measured: !empty.includes(id) });
    assert.deepEqual(await defaultPair(surveys, starts, describe), pair, name);
  }
  // A visit another program began later (recording at the same time) is no earlier visit, even with an older survey.
  const concurrent = siteSurveys([visit(1, [[10, 100]]), visit(3, [[30, 300]]), visit(2, [[20, 290]])]);
  assert.deepEqual(await defaultPair(concurrent, new Map([[1, 50], [2, 280], [3, 250]]), async () => ({ complete: true, measured: true })), { before: 10, after: 30 });
});

test('a stored survey is named by the registration it was measured with, never one loaded after it', () => {
  const reg = (id, at, contentId = `c${id}`) => ({ kind: 'registration', id, at, contentId });
  const own = { visit: { id: 2, startedAt: 200 }, records: [reg(5, 205), reg(6, 260), { kind: 'site-survey', id: 7, at: 250 }] };
  const older = { visit: { id: 1, startedAt: 100 }, records: [reg(3, 110), reg(4, 120)] };
  const survey = (extra = {}) => ({ id: 7, visitId: 2, startedAt: 250, ...extra });
  const cases = [
    // [name, record, visits, {named, ids}]
    ['named by record id', survey({ registrationId: 6 }), [own], { named: true, ids: [6] }],
    ['named by content id', survey({ registrationContentId: 'c5' }), [own, older], { named: true, ids: [5] }],
    ['named but not among the visits read', survey({ registrationContentId: 'zz' }), [own], { named: true, ids: [] }],
    ['kept without one: in force at its start, own visit first', survey(), [older, own], { named: false, ids: [5, 4, 3] }],
    ['nothing taken before it', { id: 8, visitId: 2, startedAt: 201 }, [own], { named: false, ids: [] }],
  ];
  for (const [name, record, visits, expected] of cases) assert.deepEqual(snapshotCandidates(record, visits), expected, name);
});

test('trend series: one point per survey (a repeater’s routes merged), a gap where the unit never answered', () => {
  const s = trendSeries([
    { visitId: 2, surveyId: 4, surveyStartedAt: 9000, sent: 2, answered: 0, levelAvg: null, battery: null },
    { visitId: 1, surveyId: 3, surveyStartedAt: 1000, sent: 2, answered: 2, levelMin: 110, levelAvg: 117.5, battery: 80 },
    { visitId: 1, surveyId: 3, surveyStartedAt: 1000, sent: 4, answered: 1, levelMin: 100, levelAvg: 102.5, battery: 79 },
    { visitId: 1, surveyId: 3, surveyStartedAt: 1000, sent: 1, answered: 0, levelMin: null, levelAvg: null, battery: null },
  ]);
  assert.deepEqual([s.x, s.level, s.battery, s.visits], [[1, 9], [112.5, null], [79, null], 2]);
  assert.deepEqual([s.points[0].sent, s.points[0].answered, s.points[0].levelMin], [7, 3, 100]);
  const units = trendUnits([surveyFromRecord(record(1, 1000, 117), { site, regInfo })]);
  assert.deepEqual(units.map((u) => u.label), ['G1 FIELD-TH', 'G1 HOUSE-1', 'G1 PEAR-3', 'G1 R1', 'G1 R2']);
  assert.deepEqual([changeText(-21), changeText(3), changeText(0), changeText(null)], ['−21', '+3', '0', '—']);
});

test('the history texts carry the same keys and placeholders in both languages', () => {
  const holes = (text) => (text.match(/\{\w+\}/g) || []).sort().join();
  assert.deepEqual(Object.keys(HISTORY_TEXTS.ja).sort(), Object.keys(HISTORY_TEXTS.en).sort());
  for (const key of Object.keys(HISTORY_TEXTS.en)) assert.equal(holes(HISTORY_TEXTS.ja[key]), holes(HISTORY_TEXTS.en[key]), key);
});

const dom = loadDom();
test('any record opens read-only, dated, from the records, never current; each kind in its own form', { skip: !dom && 'no DOM module' }, async () => {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node });
  const { recordView } = await import('../../web/linkmeter/src/records/historyviewer.js');
  const at = new Date(2026, 11, 9, 4, 15, 0).getTime();
  const state = { unit: { serial: '009A0011' } }; // the same site connected now
  const survey = surveyFromRecord(record(7, at, 117), { site, regInfo });
  const logs = [{ localtime: 100, utctime: 100, category: 2, number: 7, str: 'old' }, { localtime: 200, utctime: 200, category: 3, number: 1, str: 'new' }];
  const cases = [
    // [record, options, selector of its body, rows in it]
    [{ id: 7, kind: 'site-survey', startedAt: at }, { survey }, '[data-test=history-survey-row]', 3],
    [{ id: 3, kind: 'event-log', takenAt: at, unit: site.serial, decoded: { logs }, raw: '' }, {}, '[data-test=history-log-row]', 2],
    [{ id: 4, kind: 'settings-write', writtenAt: at, unit: 0x00c20104, succeeded: false, message: 'refused', changes: [{ key: 'Interval', old: 60, new: 30 }, { key: 'clock', new: 'x' }] }, {}, '[data-test=history-write-key]', 2],
    [{ id: 5, kind: 'channel-scan', startedAt: at, rounds: [{ round: 0, at, raw: '', decoded: { readings: [] } }] }, {}, '[data-test=history-scan-round]', 1],
    [{ id: 6, kind: 'registration', takenAt: at, unit: site.serial, source: 'unit', raw: bytesToBase64([1, 2, 3]), decoded: null }, {}, '[data-test=history-decoded]', 1],
  ];
  for (const [rec, options, body, count] of cases) {
    const el = recordView(rec, { site, state, ...options });
    assert.deepEqual([el.dataset.readonly, el.dataset.source, el.dataset.taken, el.dataset.kind], ['true', 'records', String(at), rec.kind], rec.kind);
    assert.match(el.querySelector('[data-test=history-viewer-title]').textContent, /recorded 2026-12-09 04:15:00/, rec.kind);
    assert.equal(el.querySelector('[data-test=provenance]').dataset.current, 'false', rec.kind);
    assert.equal(el.querySelectorAll(body).length, count, rec.kind);
    assert.equal(el.querySelectorAll('button').length, 0, rec.kind + ': nothing in it acts on a unit');
  }
  const write = recordView(cases[2][0], { site, state });
  assert.equal(write.querySelector('[data-test=history-write-outcome]').dataset.succeeded, 'false');
  assert.match(write.querySelector('[data-test=history-write-outcome]').textContent, /refused/);
  assert.deepEqual([...write.querySelectorAll('[data-test=history-write-key] td')].map((td) => td.textContent), ['Interval', '60', '30', 'clock', '—', '"x"']);
});

test("a visit's records by kind: the kinds it holds, counted, and the rows of the one chosen", () => {
  const records = [['map-edit', 5], ['site-survey', 1], ['map-edit', 6], ['plan', 4], ['registration', 2], ['map-edit', 7]]
    .map(([kind, id]) => ({ kind, id, at: id * 10 }));
  const rows = recordRows({ records, settingsWrites: [{ id: 3, writtenAt: 30, unit: 5, succeeded: true, changes: [] }] });
  assert.deepEqual(kindCounts(rows), [
    { kind: 'site-survey', count: 1 }, { kind: 'registration', count: 1 }, { kind: 'settings-write', count: 1 },
    { kind: 'map-edit', count: 3 }, { kind: 'plan', count: 1 }]);
  const cases = [['', 7], ['map-edit', 3], ['settings-write', 1], ['download', 0]];
  for (const [kind, n] of cases) {
    const shown = rowsOfKind(rows, kind);
    assert.equal(shown.length, n, kind);
    assert.ok(shown.every((r) => !kind || r.kind === kind), kind);
  }
});

test('a map edit to a plan is listed by what it did, in both languages; a unit\'s move stays a map edit', async () => {
  const { t } = await import('../../web/linkmeter/src/i18n/i18n.js');
  await import('../../web/linkmeter/src/site/maptexts.js');
  const records = [5, 6, 7, 8, 9, 10].map((id) => ({ kind: 'map-edit', id, at: id * 10 }));
  const edits = [
    [5, { action: 'place', serial: 1, plan: 'P' }, 'map-edit'],
    [6, { action: 'plan-rename', plan: 'P', name: 'Yard' }, 'plan-rename'],
    [7, { action: 'plan-hide', plan: 'P', hidden: true }, 'plan-hide'],
    [8, { action: 'plan-hide', plan: 'P', hidden: false }, 'plan-show'],
    [9, { action: 'plan-remove', plan: 'P' }, 'plan-remove'],
    [10, { action: 'scale', plan: 'P' }, 'map-edit'],
  ];
  const rows = withPlanEdits(recordRows({ records, settingsWrites: [] }), [...edits.map(([id, decoded]) => ({ id, decoded })), { id: 99, decoded: { action: 'plan-remove' } }]);
  assert.deepEqual(kindCounts(rows), [{ kind: 'map-edit', count: 6 }], 'the filter still groups every map edit');
  const byId = new Map(rows.map((r) => [r.id, kindKey(r)]));
  for (const lang of ['en', 'ja']) {
    setLanguage(lang);
    const texts = new Set();
    for (const [id, , kind] of edits) {
      assert.equal(byId.get(id), 'history.kind.' + kind, `${id}`);
      const text = t(byId.get(id));
      assert.notEqual(text, byId.get(id), `${lang} ${kind}: a text of its own`);
      texts.add(text);
    }
    assert.equal(texts.size, 5, `${lang}: one text for each thing done`);
  }
  setLanguage('en');
});
