// The page's records module over a fake query function: query names,
// arguments, answers, failures and the byte helpers.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  createRecords, recordsQueryName, recordsFailure, bytesToBase64, base64ToBytes, RECORDS_FUNCTIONS, RECORDS_FAILURE, unstorableText,
} from '../../web/linkmeter/src/records/records.js';

// Answers each query from `answers` (a function of name and arg); a thrown
// value becomes a rejection, as api.query rejects with the program's failure.
function fakeCtx(answers) {
  const calls = [];
  const api = {
    query(name, arg, options) {
      calls.push({ name, arg, options });
      try {
        return Promise.resolve(answers(name, arg));
      } catch (e) {
        return Promise.reject(e);
      }
    },
  };
  return { ctx: { api }, calls };
}

test('each function calls its own query with the argument given', async () => {
  const { ctx, calls } = fakeCtx((name) => ({ answered: name }));
  const records = createRecords(ctx);
  for (const name of RECORDS_FUNCTIONS) {
    assert.deepEqual(await records[name]({ visitId: 3 }), { answered: recordsQueryName(name) });
  }
  assert.equal(calls.length, RECORDS_FUNCTIONS.length);
  assert.ok(calls.every((c) => c.arg.visitId === 3));
  assert.deepEqual(new Set(calls.map((c) => c.name)).size, RECORDS_FUNCTIONS.length);
});

test('query names raise only the first letter', () => {
  const cases = [
    ['listSites', 'LmRecordsListSites'],
    ['import', 'LmRecordsImport'],
    ['recordSettingsWrite', 'LmRecordsRecordSettingsWrite'],
  ];
  for (const [name, query] of cases) assert.equal(recordsQueryName(name), query);
});

test('a call without an argument sends an empty object, and options go through', async () => {
  const { ctx, calls } = fakeCtx(() => []);
  const signal = new AbortController().signal;
  await createRecords(ctx).listSites(undefined, { signal });
  assert.deepEqual(calls[0].arg, {});
  assert.equal(calls[0].options.signal, signal);
});

test('failures reject with the program object and its code is read back', async () => {
  const cases = [
    [{ code1: -21, msg: 'method error : no visit 9' }, RECORDS_FAILURE.notFound],
    [{ code1: -24, msg: 'method error : damaged' }, RECORDS_FAILURE.damagedFile],
    [{ code1: -1, msg: "Invalid arguments : 'path' is not found." }, RECORDS_FAILURE.missing],
  ];
  for (const [detail, code] of cases) {
    const { ctx } = fakeCtx(() => {
      const e = new Error(detail.msg);
      e.detail = detail;
      throw e;
    });
    await assert.rejects(createRecords(ctx).import({ path: '/x' }), (e) => recordsFailure(e) === code);
  }
  assert.equal(recordsFailure(new Error('plain')), null);
});

test('visit history lists the newest record first without changing the answer', async () => {
  const answer = { visit: { id: 1 }, records: [{ id: 1, at: 10 }, { id: 2, at: 30 }, { id: 3, at: 20 }] };
  const { ctx, calls } = fakeCtx(() => answer);
  const history = await createRecords(ctx).visitHistory(1);
  assert.deepEqual(history.records.map((r) => r.id), [2, 3, 1]);
  assert.deepEqual(answer.records.map((r) => r.id), [1, 2, 3]);
  assert.deepEqual(calls[0], { name: 'LmRecordsReadVisit', arg: { visitId: 1 }, options: undefined });
});

test('bytes and base64 round trip at every padding length', () => {
  const cases = [[[], ''], [[102], 'Zg=='], [[102, 111], 'Zm8='], [[102, 111, 111], 'Zm9v'], [[255, 254, 253, 0], '//79AA==']];
  for (const [bytes, text] of cases) {
    assert.equal(bytesToBase64(bytes), text);
    assert.deepEqual([...base64ToBytes(text)], bytes);
  }
});

test('a context without an api is refused at once', () => {
  assert.throws(() => createRecords({}), TypeError);
});

test('base64 by hand where the engine has no btoa or atob (the command line), the same text', async () => {
  const { bytesToBase64, base64ToBytes } = await import('../../web/linkmeter/src/records/records.js');
  const engine = { atob: globalThis.atob, btoa: globalThis.btoa };
  try {
    delete globalThis.atob;
    delete globalThis.btoa;
    for (const n of [0, 1, 2, 3, 4, 5, 257, 10001]) {
      const bytes = Uint8Array.from({ length: n }, (_, i) => (i * 37 + 11) & 255);
      const text = bytesToBase64(bytes);
      assert.equal(text, Buffer.from(bytes).toString('base64'), `${n} bytes`);
      assert.deepEqual([...base64ToBytes(text)], [...bytes], `${n} bytes back`);
    }
  } finally {
    Object.assign(globalThis, engine);
  }
});

test('text the team records cannot keep: U+0000 and lone surrogates; everything else is kept', () => {
  const cases = [
    ['', false], ['gate code 4711\ttab', false], ['  spaces  ', false], ['備考 \u{1F4E1} \u{2000B}', false],
    ['a\u0000b', true], ['\u0000', true], ['\ud83d', true], ['x\udce1y', true], ['\udce1\ud83d', true],
  ];
  for (const [text, unstorable] of cases) assert.equal(unstorableText(text), unstorable, JSON.stringify(text));
});
