// The promise wrapper over app.jsQuery: answers, failures and cancel.
import { test, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import { query, command, nativeError, CancelledError, DeviceError } from '../../web/linkmeter/src/device/api.js';

// A stand-in for the program's glue: records each query and lets the test
// answer it later.
let calls;
beforeEach(() => {
  calls = [];
  let nextId = 1;
  globalThis.app = {
    jsQuery(name, arg, onSuccess, onFailure) {
      const id = nextId++;
      calls.push({ id, name, arg, ok: onSuccess, fail: onFailure });
      if (name === 'cancel') onSuccess(null);
      return id;
    },
  };
});
const named = (name) => calls.filter((c) => c.name === name);

test('answers resolve, failures reject with the program object', async () => {
  const p = query('ComOpen', { comInfo: { com: 1 } });
  calls[0].ok({ comInfo: { com: 1 } });
  assert.deepEqual(await p, { comInfo: { com: 1 } });

  const f = query('ComOpen', {});
  calls[1].fail({ code1: 104, code2: 0, msg: 'fail to open : ExecutorVela::Open', api: 'ComOpen' });
  await assert.rejects(f, (e) => e instanceof DeviceError && e.detail.code1 === 104 && e.message.startsWith('fail to open'));
});

test('device results: isSuccess resolves, isCancel and failures reject', async () => {
  const cases = [
    [{ isSuccess: true, STATUS: '0002-0000' }, null],
    [{ isSuccess: false, isCancel: true, msg: 'cancel' }, CancelledError],
    [{ isSuccess: false, STATUS: '0002-0001', msg: 'STATUS=0002-0001 (EBSTS 0 0)' }, DeviceError],
    [null, DeviceError],
  ];
  for (const [answer, error] of cases) {
    const p = command('EBSTS', { comInfo: {} });
    const call = calls[calls.length - 1];
    assert.equal(call.name, 'ComTcmdEBSTS');
    call.ok(answer);
    if (error) await assert.rejects(p, error);
    else assert.deepEqual(await p, answer);
  }
});

test('cancel names the running query and waits for its own answer', async () => {
  const controller = new AbortController();
  const p = query('ComTcmdEWLEX', { CH: 1 }, { signal: controller.signal });
  let settled = false;
  p.catch(() => {}).finally(() => { settled = true; });
  controller.abort();
  assert.deepEqual(named('cancel').map((c) => c.arg), [calls[0].id]);
  await new Promise((r) => setTimeout(r, 10));
  assert.equal(settled, false, 'rejects only once the unit has stopped');
  calls[0].ok({ isSuccess: false, isCancel: true }); // the program's answer after the cancel
  await assert.rejects(p, CancelledError);
  controller.abort(); // a second abort sends nothing more
  assert.equal(named('cancel').length, 1);
});

test('a cancelled call whose answer is a failure still reads as cancelled', async () => {
  const controller = new AbortController();
  const p = query('ComTcmdGetRsLevel', {}, { signal: controller.signal });
  controller.abort();
  calls[0].fail({ code1: 0, msg: 'method error' });
  await assert.rejects(p, CancelledError);
});

test('an already aborted signal sends nothing; a lost answer gives up after the grace time', async () => {
  const controller = new AbortController();
  controller.abort();
  await assert.rejects(query('ComTcmdEWLEX', {}, { signal: controller.signal }), CancelledError);
  assert.equal(calls.length, 0);

  const late = new AbortController();
  const p = query('ComTcmdEWLEX', {}, { signal: late.signal, graceMs: 20 });
  late.abort();
  await assert.rejects(p, CancelledError);
  calls[0].ok({ isSuccess: true }); // arriving afterwards changes nothing
});

test('an answer before any cancel is kept; aborting later sends no cancel', async () => {
  const controller = new AbortController();
  const p = query('ComTcmdRUINF', {}, { signal: controller.signal });
  calls[0].ok({ isSuccess: true, NAME: 'N' });
  assert.equal((await p).NAME, 'N');
  controller.abort();
  assert.equal(named('cancel').length, 0);
});

test('without the program bridge the call fails clearly', async () => {
  delete globalThis.app;
  await assert.rejects(query('ComOpen', {}), (e) => e instanceof DeviceError && /bridge/.test(e.message));
});

test('native throws become DeviceErrors carrying the failure object', () => {
  const json = new Error('{"api":"app.fileOpen","code1":-5,"msg":"method error"}');
  assert.deepEqual(nativeError(json).detail, { api: 'app.fileOpen', code1: -5, msg: 'method error' });
  assert.deepEqual(nativeError(new Error('plain words')).detail, { msg: 'plain words' });
  assert.deepEqual(nativeError(new Error('42')).detail, { msg: '42' });
  const same = new DeviceError({ msg: 'x' });
  assert.equal(nativeError(same), same);
});
