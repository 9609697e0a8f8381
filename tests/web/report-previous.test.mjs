// The report's comparison reads the right survey from the site records: the
// last site survey of the visit before the one the reported survey was
// taken in, never the reported survey itself nor one taken after it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { visitAt, earlierVisits, lastSiteSurvey, previousSiteSurvey } from '../../web/linkmeter/src/reportprevious.js';

const visit = (id, startedAt, endedAt = startedAt + 50) => ({ id, startedAt, endedAt });
const VISITS = [visit(1, 100), visit(2, 200), visit(3, 300, null)];

test('the visit a survey was taken in, and the ones before it', () => {
  const cases = [
    // [survey started, its visit, earlier visits newest first]
    [310, 3, [2, 1]],
    [300, 3, [2, 1]],
    [299, 2, [1]],
    [120, 1, []],
    [50, null, []],
  ];
  for (const [at, own, earlier] of cases) {
    assert.equal(visitAt(VISITS, at)?.id ?? null, own, `visit at ${at}`);
    assert.deepEqual(earlierVisits(VISITS, at).map((v) => v.id), earlier, `earlier than ${at}`);
  }
  assert.deepEqual(earlierVisits([], 10), []);
  assert.deepEqual(earlierVisits(undefined, 10), []);
});

test('a visit\'s last site survey before the reported one', () => {
  const rec = (kind, id, at) => ({ kind, id, at });
  const cases = [
    ['latest site survey', [rec('site-survey', 1, 10), rec('site-survey', 2, 20)], 100, 2],
    ['route surveys do not count', [rec('site-survey', 1, 10), rec('route-survey', 2, 20)], 100, 1],
    ['none taken before', [rec('site-survey', 1, 150)], 100, null],
    ['same time: the later id', [rec('site-survey', 4, 10), rec('site-survey', 5, 10)], 100, 5],
    ['no records', [], 100, null],
  ];
  for (const [name, records, at, id] of cases) assert.equal(lastSiteSurvey(records, at)?.id ?? null, id, name);
});

// A store that answers from tables and notes what was read.
function fakeRecords(visits, byVisit) {
  const read = [];
  return {
    read,
    listVisits: async ({ serial }) => (serial === 0x9c0021 ? visits : []),
    readVisit: async ({ visitId }) => ({ visit: visits.find((v) => v.id === visitId), records: byVisit[visitId] || [], settingsWrites: [] }),
    readRecord: async ({ kind, id }) => {
      read.push(`${kind}:${id}`);
      if (kind === 'registration') return { id, decoded: null };
      return { id, kind: 'site', startedAt: id * 10, endedAt: id * 10 + 5, probesPerRoute: 1, routes: [], probes: [], hops: [] };
    },
  };
}

const reported = (started, serial = '009C0021') => ({ prov: { base: { serial, name: 'RIVERSIDE', model: 'VL-B7' } }, started, results: [] });

test('the previous visit\'s survey is read, skipping visits without one', async () => {
  const byVisit = {
    1: [{ kind: 'site-survey', id: 11, at: 110 }, { kind: 'registration', id: 5, at: 105 }],
    2: [{ kind: 'route-survey', id: 21, at: 210 }],
    3: [{ kind: 'site-survey', id: 31, at: 310 }],
  };
  const cases = [
    // [reported survey started, visit found, record read]
    [320, 1, 'site-survey:11'],
    [250, 1, 'site-survey:11'],
    [150, null, null],
  ];
  for (const [at, visitId, record] of cases) {
    const records = fakeRecords(VISITS, byVisit);
    const found = await previousSiteSurvey(records, reported(at));
    assert.equal(found ? found.visit.id : null, visitId, `reported at ${at}`);
    assert.equal(records.read.find((r) => r.startsWith('site-survey')) || null, record);
    if (found) {
      assert.equal(found.survey.prov.source, 'records', 'the earlier survey is never current');
      assert.equal(found.survey.started, 110);
    }
  }
});

test('no site or no start time: nothing to compare with', async () => {
  const records = fakeRecords(VISITS, {});
  for (const survey of [null, { prov: { base: null }, started: 5 }, reported(undefined), reported(320, '00000001')]) {
    assert.equal(await previousSiteSurvey(records, survey), null);
  }
});
