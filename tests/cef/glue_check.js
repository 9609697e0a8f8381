// Runs the injected page script against a stand-in for the engine's router
// and checks what the page glue sends and how it delivers answers.
'use strict';
const fs = require('fs');
const vm = require('vm');
const assert = require('assert');

const script = fs.readFileSync(process.argv[2], 'utf8');
const sent = [];
const cancelled = [];
const listeners = {};
const logs = [];
const sandbox = {
  console: { log: (v) => logs.push(['log', v]), error: (v) => logs.push(['error', v]) },
  JSON, Date, Error,
};
sandbox.window = sandbox;
sandbox.cefQuery = (q) => { sent.push(q); return 100 + sent.length; };
sandbox.cefQueryCancel = (id) => cancelled.push(id);
vm.createContext(sandbox);
vm.runInContext(script, sandbox);
const app = sandbox.app;
app.addEventListener = (name, fn) => { listeners[name] = fn; };
app.removeEventListener = (name) => { delete listeners[name]; };

let failures = 0;
function check(name, fn) {
  try { fn(); console.log('ok   ' + name); }
  catch (e) { failures++; console.log('FAIL ' + name + ': ' + e.message); }
}

check('no argument sends name and one space', () => {
  const id = app.jsQuery('ComOpen');
  assert.strictEqual(sent.at(-1).request, 'jsquery:ComOpen ');
  assert.strictEqual(id, 100 + sent.length);
});
check('argument object travels as JSON', () => {
  app.com.open({ port: 1 });
  assert.strictEqual(sent.at(-1).request, 'jsquery:ComOpen {"port":1}');
});
check('a non-string name throws and sends nothing', () => {
  const before = sent.length;
  assert.throws(() => app.jsQuery(5), /Invalid arguments; 'name' is required and must have type string/);
  assert.throws(() => app.jsQuery('X', null, 3), /'onSuccess' must have type function/);
  assert.strictEqual(sent.length, before);
});
check('success text is parsed for onSuccess', () => {
  let got;
  app.com.open({}, (r) => { got = r; });
  sent.at(-1).onSuccess('{"isSuccess":true}');
  assert.deepStrictEqual(JSON.parse(JSON.stringify(got)), { isSuccess: true });
});
check('failure gets api set to the query name', () => {
  let err;
  app.com.tcmdEWLEX({}, null, (e) => { err = e; });
  sent.at(-1).onFailure(1, '{"code1":-2,"msg":"Invalid arguments"}');
  assert.deepStrictEqual(JSON.parse(JSON.stringify(err)), { code1: -2, msg: 'Invalid arguments', api: 'ComTcmdEWLEX' });
});
check('without callbacks answers go to the console', () => {
  app.jsQuery('ComOpen', null);
  sent.at(-1).onSuccess('1');
  sent.at(-1).onFailure(0, '{"code1":0,"msg":"m"}');
  assert.deepStrictEqual(logs.slice(-2).map((l) => l[0]), ['log', 'error']);
});
check('cancellable wrapper returns a cancel function, others undefined', () => {
  assert.strictEqual(app.com.open({}), undefined);
  const cancel = app.com.tcmdEWLEX({});
  const id = 100 + sent.length;
  cancel();
  assert.deepStrictEqual(cancelled.at(-1), id);
});
check('progress listener is registered and removed on the answer', () => {
  const arg = {};
  app.com.tcmdEWLEX(arg, () => {}, null, () => {});
  const name = arg.onProgressID;
  assert.match(name, /^progress-\d+$/);
  assert.ok(listeners[name]);
  assert.ok(sent.at(-1).request.includes('"onProgressID":"' + name + '"'));
  sent.at(-1).onSuccess('null');
  assert.strictEqual(listeners[name], undefined);
});

console.log(failures === 0 ? 'all glue checks passed' : failures + ' glue checks failed');
process.exit(failures === 0 ? 0 : 1);
