// Runs the page process's query glue (window.cefQuery / cefQueryCancel over
// the three natives) against stand-ins for the natives, and checks what it
// sends, how answers reach the callbacks, and that each is delivered once.
'use strict';
const fs = require('fs');
const vm = require('vm');
const assert = require('assert');

const glue = fs.readFileSync(process.argv[2], 'utf8');
const sent = [];
const cancelled = [];
let dispatch = null;
let nextId = 1;
let refuse = false;  // the native could not send: no page
const sandbox = { Map, Error, isFinite };
sandbox.window = sandbox;
vm.createContext(sandbox);
vm.runInContext(glue, sandbox)(
  (request) => { sent.push(request); return refuse ? 0 : nextId++; },
  (id) => cancelled.push(id),
  (fn) => { dispatch = fn; });

let failures = 0;
function check(name, fn) {
  try { fn(); console.log('ok   ' + name); }
  catch (e) { failures++; console.log('FAIL ' + name + ': ' + e.message); }
}

function recorder() {
  const calls = [];
  return { calls, onSuccess: (t) => calls.push(['ok', t]), onFailure: (c, t) => calls.push(['fail', c, t]) };
}

check('bad queries throw the texts of the page contract and send nothing', () => {
  const cases = [[undefined, 'query object'], [null, 'query object'], [5, 'query object'], ['x', 'query object'],
                 [{}, 'request string'], [{ request: 7 }, 'request string']];
  for (const [query, what] of cases) {
    assert.throws(() => sandbox.cefQuery(query), (e) => e.message === 'cefQuery needs a ' + what, String(query));
  }
  assert.strictEqual(sent.length, 0);
});

check('each answer reaches the callbacks taken when the query was made, once', () => {
  const a = recorder(), b = recorder();
  const query = { request: 'jsquery:A ', onSuccess: a.onSuccess, onFailure: a.onFailure };
  const ida = sandbox.cefQuery(query);
  query.onSuccess = () => assert.fail('the later callback was called');
  const idb = sandbox.cefQuery({ request: 'jsquery:B {}', onSuccess: b.onSuccess, onFailure: b.onFailure });
  assert.deepStrictEqual(sent.slice(-2), ['jsquery:A ', 'jsquery:B {}']);
  dispatch(idb, false, 3, '{"code1":3}');
  dispatch(ida, true, 0, '"x"');
  dispatch(ida, true, 0, '"again"');
  dispatch(idb, true, 0, 'null');
  assert.deepStrictEqual(a.calls, [['ok', '"x"']]);
  assert.deepStrictEqual(b.calls, [['fail', 3, '{"code1":3}']]);
});

check('callbacks that are not functions, and answers nobody waits for, are ignored', () => {
  const id = sandbox.cefQuery({ request: 'r', onSuccess: 'no', onFailure: 5 });
  dispatch(id, true, 0, 'null');
  dispatch(id + 1000, false, 1, 'stray');
});

check('a cancelled query hears nothing and the cancel goes on; what is no id is dropped', () => {
  const a = recorder();
  const id = sandbox.cefQuery({ request: 'r', onSuccess: a.onSuccess, onFailure: a.onFailure });
  sandbox.cefQueryCancel(id);
  for (const stray of ['7', NaN, Infinity]) sandbox.cefQueryCancel(stray);
  dispatch(id, true, 0, 'late');
  assert.deepStrictEqual(a.calls, []);
  assert.deepStrictEqual(cancelled, [id]);
});

check('a query that could not be sent returns 0 and keeps nothing', () => {
  refuse = true;
  const a = recorder();
  assert.strictEqual(sandbox.cefQuery({ request: 'r', onSuccess: a.onSuccess }), 0);
  refuse = false;
  dispatch(0, true, 0, 'null');
  assert.deepStrictEqual(a.calls, []);
});

console.log(failures === 0 ? 'all query glue checks passed' : failures + ' query glue checks failed');
process.exit(failures === 0 ? 0 : 1);
