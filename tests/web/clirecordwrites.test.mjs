// The command line's records writes: a busy store is tried again until the
// run ends, what is left waits in a pending list with placeholder ids, and
// the next run writes that list first, giving later writes the real ids.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRecordWrites } from '../../web/linkmeter/src/records/clirecordwrites.js';
import { DeviceError } from '../../web/linkmeter/src/device/api.js';

const BUSY = () => new DeviceError({ code1: -20, msg: 'the site records are busy' });

// A store stand-in: busy while `busy` holds, ids counted from 100.
function store() {
  const s = { busy: false, calls: [], nextId: 100 };
  s.api = {
    query: async (name, arg) => {
      if (s.busy) throw BUSY();
      s.calls.push([name, arg]);
      if (name === 'LmRecordsRefused') throw new DeviceError({ code1: -22, msg: 'refused' });
      return { id: s.nextId++ };
    },
  };
  return s;
}

const noPause = () => Promise.resolve();

test('a busy store is tried again until it takes the write', async () => {
  const s = store();
  s.busy = true;
  let pauses = 0;
  const writes = createRecordWrites({ api: s.api, sleep: () => {
    if (++pauses === 3) s.busy = false;
    return Promise.resolve();
  } });
  assert.deepEqual(await writes.query('LmRecordsBeginVisit', { site: { serial: 1 } }), { id: 100 });
  assert.equal(pauses, 3);
  assert.deepEqual(writes.pending(), []);
  // Reads are not writes: they go straight through, busy or not.
  s.busy = true;
  await assert.rejects(writes.query('LmRecordsReadVisit', { visitId: 100 }), /busy/);
});

test('the end of the run keeps every unwritten write, in order, with placeholders', async () => {
  const s = store();
  s.busy = true;
  const writes = createRecordWrites({ api: s.api, sleep: () => new Promise(() => {}), now: () => 7 });
  const visit = writes.query('LmRecordsBeginVisit', { site: { serial: 1 }, startedAt: 5 });
  await Promise.resolve();
  writes.end();
  const { id } = await visit;
  assert.equal(id, 'pending:7:0');
  // A write naming a kept record waits with it; one after the end too.
  await writes.query('LmRecordsRecordSurvey', { visitId: id, kind: 'site' });
  await writes.query('LmRecordsEndVisit', { visitId: id, endedAt: 9 });
  assert.deepEqual(writes.pending().map((w) => [w.name, w.arg.visitId ?? null, w.stands]), [
    ['LmRecordsBeginVisit', null, 'pending:7:0'],
    ['LmRecordsRecordSurvey', 'pending:7:0', 'pending:7:1'],
    ['LmRecordsEndVisit', 'pending:7:0', 'pending:7:2'],
  ]);
  assert.deepEqual(s.calls, []);
});

test('the next run writes the pending list first and maps its placeholders to the ids given', async () => {
  const list = [
    { name: 'LmRecordsBeginVisit', arg: { site: { serial: 1 } }, stands: 'pending:7:0' },
    { name: 'LmRecordsRecordSurvey', arg: { visitId: 'pending:7:0', registrationId: 'pending:7:0', kind: 'site' }, stands: 'pending:7:1' },
    { name: 'LmRecordsSurveyProbes', arg: { surveyId: 'pending:7:1', probes: [] }, stands: 'pending:7:2' },
    { name: 'LmRecordsDropEverything', arg: {}, stands: 'pending:7:3' },
    { name: 'LmRecordsRefused', arg: {}, stands: 'pending:7:4' },
  ];
  const s = store();
  const writes = createRecordWrites({ api: s.api, sleep: noPause });
  // This run's own write waits for the replay.
  writes.replay(list);
  await writes.query('LmRecordsBeginVisit', { site: { serial: 2 } });
  assert.deepEqual(s.calls, [
    ['LmRecordsBeginVisit', { site: { serial: 1 } }],
    ['LmRecordsRecordSurvey', { visitId: 100, registrationId: 100, kind: 'site' }],
    ['LmRecordsSurveyProbes', { surveyId: 101, probes: [] }],
    ['LmRecordsBeginVisit', { site: { serial: 2 } }],
  ]);
  assert.deepEqual(writes.pending(), []);
});

test('a replay the store still refuses as busy stays pending under its own placeholders', async () => {
  const s = store();
  s.busy = true;
  const writes = createRecordWrites({ api: s.api, sleep: () => new Promise(() => {}) });
  const done = writes.replay([
    { name: 'LmRecordsBeginVisit', arg: { site: { serial: 1 } }, stands: 'pending:7:0' },
    { name: 'LmRecordsEndVisit', arg: { visitId: 'pending:7:0' }, stands: 'pending:7:1' },
  ]);
  await Promise.resolve();
  writes.end();
  await done;
  assert.deepEqual(writes.pending().map((w) => w.stands), ['pending:7:0', 'pending:7:1']);
  assert.equal(writes.pending()[1].arg.visitId, 'pending:7:0');
});
