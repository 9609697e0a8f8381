// The report's comparison reads the right survey from the site records: by
// default the newest complete site survey of an earlier visit, never the
// reported survey's own visit (known by its id, also when another program
// recorded the same site at the same time), never one cut short unless
// picked, and never one taken after the reported survey.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { visitAt, earlierVisits, siteSurveysBefore, previousSiteSurvey } from '../../web/linkmeter/src/report/reportprevious.js';

const visit = (id, startedAt, endedAt = startedAt + 50) => ({ id, startedAt, endedAt });
const VISITS = [visit(1, 100), visit(2, 200), visit(3, 300, null)];
// The window's visit 4 began at 400; a command line's visit 5 at 450, while it was open.
const CONCURRENT = [...VISITS, visit(4, 400, null), visit(5, 450, 470)];

test('the visit a survey was taken in, and the ones before it', () => {
  const cases = [
    // [visits, own visit id (null: by time), survey started, earlier visits newest first]
    [VISITS, null, 310, [2, 1]],
    [VISITS, null, 300, [2, 1]],
    [VISITS, null, 299, [1]],
    [VISITS, null, 120, []],
    [VISITS, null, 50, []],
    [VISITS, 3, 310, [2, 1]],
    // By time the command line's visit would pass for the survey's own, and the window's own for an earlier one.
    [CONCURRENT, null, 460, [4, 3, 2, 1]],
    [CONCURRENT, 4, 460, [3, 2, 1]],
  ];
  for (const [visits, visitId, at, earlier] of cases) {
    assert.deepEqual(earlierVisits(visits, { visitId, startedAt: at }).map((v) => v.id), earlier, `${visitId}@${at}`);
  }
  assert.equal(visitAt(VISITS, 299).id, 2);
  assert.deepEqual(earlierVisits(undefined, { startedAt: 10 }), []);
});

test('a visit\'s site surveys before the reported one, newest first', () => {
  const rec = (kind, id, at) => ({ kind, id, at });
  const records = [rec('site-survey', 1, 10), rec('route-survey', 2, 20), rec('site-survey', 4, 30), rec('site-survey', 5, 30), rec('site-survey', 6, 150)];
  assert.deepEqual(siteSurveysBefore(records, 100).map((r) => r.id), [5, 4, 1]);
  assert.deepEqual(siteSurveysBefore([], 100), []);
});

// A store that answers from tables and notes the surveys read in full.
// surveys: id → {visitId, at, complete, probes}.
function fakeRecords(visits, surveys) {
  const read = [];
  const byVisit = (visitId) => Object.entries(surveys).filter(([, s]) => s.visitId === visitId).map(([id, s]) => ({ kind: 'site-survey', id: Number(id), at: s.at }));
  return {
    read,
    listVisits: async ({ serial }) => (serial === 0x9c0021 ? visits : []),
    readVisit: async ({ visitId }) => ({ visit: visits.find((v) => v.id === visitId), records: byVisit(visitId), settingsWrites: [] }),
    readRecord: async ({ kind, id }) => {
      if (kind === 'registration') return { id, decoded: null };
      read.push(id);
      const s = surveys[id];
      const probes = s.probes === 0 ? [] : [{ route: 0, seq: 0, at: s.at, answered: true, raw: '' }];
      return { id, visitId: s.visitId, kind: 'site-survey', startedAt: s.at, endedAt: s.complete ? s.at + 5 : null, probesPerRoute: 1, routes: [[1]], probes, hops: [] };
    },
  };
}

const reported = (started, serial = '009C0021') => ({ prov: { base: { serial, name: 'RIVERSIDE', model: 'VL-B7' } }, started, results: [] });

test('the default baseline is the newest complete survey of an earlier visit; one cut short only when picked', async () => {
  const surveys = {
    11: { visitId: 1, at: 110, complete: true },
    21: { visitId: 2, at: 210, complete: true },
    22: { visitId: 2, at: 220, complete: false }, // cancelled, window closed or killed
    31: { visitId: 3, at: 310, complete: false },
    41: { visitId: 4, at: 410, complete: true }, // the window's own visit
    51: { visitId: 5, at: 455, complete: true }, // the command line's, at the same time
    52: { visitId: 5, at: 460, complete: true, probes: 0 },
  };
  const cases = [
    // [name, options, reported started, baseline survey (null: none complete), surveys passed over]
    ['skips the cut-short ones', { visitId: 3 }, 320, 21, [22]],
    ['only earlier visits, not its own', { visitId: 4 }, 470, 21, [31, 22]],
    ['by time alone the window\'s own visit would be taken', { visitId: null }, 470, 41, []],
    ['picked by the technician: taken even cut short', { visitId: 3, pick: 22 }, 320, 22, []],
    ['a pick that is not a candidate is ignored', { visitId: 3, pick: 41 }, 320, 21, [22]],
    ['none complete', { visitId: 2 }, 225, 11, []],
  ];
  for (const [name, options, at, baseline, passed] of cases) {
    const records = fakeRecords(CONCURRENT, surveys);
    const found = await previousSiteSurvey(records, reported(at), options);
    assert.equal(found.survey ? found.survey.recordId : null, baseline, name);
    assert.deepEqual(found.incomplete, passed, name);
    if (found.survey) {
      assert.equal(found.survey.prov.source, 'records', 'the earlier survey is never current');
      assert.equal(found.visit.id, surveys[baseline].visitId, name);
    }
  }
  const allCut = { 31: { visitId: 3, at: 310, complete: false } };
  const none = await previousSiteSurvey(fakeRecords(CONCURRENT, allCut), reported(470), { visitId: 4 });
  assert.deepEqual([none.survey, none.candidates.map((c) => c.id)], [null, [31]]);
});

test('no site, no start time or no earlier survey: nothing to compare with', async () => {
  const records = fakeRecords(VISITS, { 31: { visitId: 3, at: 310, complete: true } });
  for (const survey of [null, { prov: { base: null }, started: 5 }, reported(undefined), reported(320, '00000001'), reported(250)]) {
    assert.equal(await previousSiteSurvey(records, survey, { visitId: 2 }), null);
  }
});
