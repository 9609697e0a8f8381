// Runs every bridge case in turn and reports each by name to the test
// program through app.sendProcessMessage("lmtest.result", name, ok, detail).
(function () {
  'use strict';

  var cases = [];
  function test(name, body) { cases.push({name: name, body: body}); }

  function sleep(ms) { return new Promise(function (r) { setTimeout(r, ms); }); }
  function check(cond, what) { if (!cond) throw new Error(what); }
  function same(a, b, what) {
    var ja = JSON.stringify(a), jb = JSON.stringify(b);
    if (ja !== jb) throw new Error((what || 'value') + ': ' + ja + ' != ' + jb);
  }
  async function until(cond, what, ms) {
    var end = Date.now() + (ms || 3000);
    while (!cond()) {
      if (Date.now() > end) throw new Error('timed out waiting for ' + what);
      await sleep(10);
    }
  }
  // A query as a promise of {ok, value}.
  function query(fn) {
    return new Promise(function (resolve) {
      fn(function (v) { resolve({ok: true, value: v}); }, function (e) { resolve({ok: false, value: e}); });
    });
  }
  function status() { return query(function (s, f) { app.selftest.status(null, s, f); }).then(function (r) { return r.value; }); }
  function thrown(fn) {
    try { fn(); } catch (e) { return e; }
    throw new Error('nothing was thrown');
  }

  test('query success through app.jsQuery', async function () {
    var r = await query(function (s, f) { app.jsQuery('SelfTestEcho', {a: 1, b: 'x', c: [true, null]}, s, f); });
    check(r.ok, 'failed: ' + JSON.stringify(r.value));
    same(r.value, {a: 1, b: 'x', c: [true, null]});
  });

  test('query success through a wrapper, without argument', async function () {
    var r = await query(function (s, f) { app.selftest.echo({n: 2}, s, f); });
    same(r, {ok: true, value: {n: 2}});
    r = await query(function (s, f) { app.selftest.echo(undefined, s, f); });
    same(r, {ok: true, value: null});
    check(typeof app.jsQuery('SelfTestEcho', null) === 'number', 'app.jsQuery returns the request id');
  });

  test('query failure carries code1, msg and api', async function () {
    var r = await query(function (s, f) { app.selftest.fail({code: -3}, s, f); });
    same(r, {ok: false, value: {code1: -3, msg: 'Invalid arguments : bad code', api: 'SelfTestFail'}});
    r = await query(function (s, f) { app.jsQuery('NoSuchQuery', null, s, f); });
    check(!r.ok && r.value.api === 'NoSuchQuery' && r.value.code1 === -1, 'unknown query: ' + JSON.stringify(r.value));
    var e = thrown(function () { app.jsQuery(5); });
    same(e.message, "Invalid arguments; 'name' is required and must have type string");
  });

  test('query cancelled by its wrapper', async function () {
    var before = await status();
    var called = false;
    var cancel = app.selftest.slow({ms: 2000}, function () { called = true; }, function () { called = true; });
    check(typeof cancel === 'function', 'a cancellable wrapper returns a function');
    check(app.selftest.echo(1) === undefined, 'other wrappers return undefined');
    cancel();
    var after;
    var end = Date.now() + 3000;
    do { after = await status(); await sleep(20); } while (after.finished === before.finished && Date.now() < end);
    check(after.routerCancels === before.routerCancels + 1, 'Cancel(true) was called once');
    await sleep(100);
    check(!called, 'a cancelled query is not answered');
  });

  test('jsquery:cancel reaches the handler', async function () {
    var before = await status();
    var done = query(function (s, f) { window.slowId = app.jsQuery('SelfTestSlow', {ms: 2000}, s, f); });
    var r = await query(function (s, f) { app.jsQuery('cancel', window.slowId, s, f); });
    same(r, {ok: true, value: null});
    var answer = await done;
    same(answer, {ok: false, value: {code1: -10, msg: 'cancelled', api: 'SelfTestSlow'}});
    var after = await status();
    check(after.explicitCancels === before.explicitCancels + 1, 'Cancel(false) was called once');
    r = await query(function (s, f) { app.jsQuery('cancel', 'word', s, f); });
    check(!r.ok, 'a cancel with a word is not handled');
  });

  test('native function returns a value', function () {
    same(app.selftest.nativeEcho({x: [1, 'a', true, null], y: 1.5}), {x: [1, 'a', true, null], y: 1.5});
    same(app.selftest.nativeEcho(), null);
    check(typeof app.selftest.now() === 'number', 'the clock is a number');
  });

  test('native function throws JSON with api', function () {
    var e = thrown(function () { app.selftest.nativeFail(); });
    same(JSON.parse(e.message), {api: 'app.selftest.nativeFail', code1: -5, msg: 'Invalid arguments : native failed'});
    e = thrown(function () { app.addEventListener(5, function () {}); });
    same(JSON.parse(e.message),
         {api: 'app.addEventListener', code1: -1, msg: "Invalid arguments : 'name' must have type string."});
    e = thrown(function () { app.addEventListener('x', 5); });
    same(JSON.parse(e.message).msg, "Invalid arguments : 'listener' must have type function.");
  });

  test('listeners in two windows reached by one execEventListener', async function () {
    window.popupReady = false;
    window.popupReceived = null;
    var popup = window.open('popup.html', 'popup');
    await until(function () { return window.popupReady; }, 'the popup');
    var got = null;
    app.addEventListener('progress-1', function () { got = Array.prototype.slice.call(arguments); });
    app.execEventListener('progress-1', {a: 1}, undefined, 2);
    await until(function () { return got && window.popupReceived; }, 'both listeners');
    same(got, [{a: 1}, null, 2], 'main window');
    same(window.popupReceived, [{a: 1}, null, 2], 'popup');
    popup.close();
    app.removeEventListener('progress-1');
  });

  test('a popup of another origin goes to the desktop browser', async function () {
    var w = window.open('app://other/selftest/blank.html', 'foreign');
    check(!w, 'no window opened here');
    var r = await query(function (s, f) { app.selftest.external(null, s, f); });
    check(r.ok && r.value.indexOf('app://other/selftest/blank.html') >= 0, JSON.stringify(r.value));
  });

  test('duplicate listener warns and replaces', async function () {
    var warnings = [];
    var warn = console.warn;
    console.warn = function (text) { warnings.push(String(text)); };
    var calls = [];
    try {
      app.addEventListener('dup', function () { calls.push('first'); });
      app.addEventListener('dup', function () { calls.push('second'); });
    } finally {
      console.warn = warn;
    }
    same(warnings, ["Overwrite 'dup' eventlistener."]);
    app.execEventListener('dup');
    await until(function () { return calls.length > 0; }, 'the listener');
    same(calls, ['second']);
    app.removeEventListener('dup');
    app.execEventListener('dup');
    await sleep(150);
    same(calls, ['second'], 'after removal');
  });

  test('values keep their kinds both ways', async function () {
    var value = {i: 7, d: 1.5, neg: -2147483648, big: 3000000000, s: 'テキスト', b: false, n: null,
                 l: [1, [2, 'x']], o: {p: {}}};
    var got = null;
    app.addEventListener('kinds', function (v, t) { got = [v, t]; });
    app.execEventListener('kinds', value, 'tail');
    await until(function () { return got; }, 'the listener');
    same(got, [value, 'tail']);
    app.removeEventListener('kinds');
  });

  test('sendProcessMessage answers a CallbackTable entry once', async function () {
    var id = (await query(function (s, f) { app.selftest.addCallback(null, s, f); })).value;
    check(typeof id === 'number', 'callback id');
    app.sendProcessMessage('cefmsg.execcallback.r2b', {id: id, args: [true, 'x']});
    app.sendProcessMessage('cefmsg.execcallback.r2b', {id: id, args: [false]});
    await sleep(50);
    var r = await query(function (s, f) { app.selftest.callbackStatus({id: id}, s, f); });
    check(r.ok, JSON.stringify(r.value));
    same(r.value.count, 1, 'calls');
    same(r.value.args, [true, 'x'], 'arguments');
    var e = thrown(function () { app.sendProcessMessage(1); });
    same(JSON.parse(e.message).api, 'app.sendProcessMessage');
  });

  test('cefmsg.eval.b2r evaluates in the page', async function () {
    window.evalHit = 0;
    var r = await query(function (s, f) { app.selftest.eval({script: 'window.evalHit = 40 + 2;'}, s, f); });
    check(r.ok, JSON.stringify(r.value));
    await until(function () { return window.evalHit === 42; }, 'the script');
  });

  test('an answer is dropped after its frame navigated', async function () {
    var before = await status();
    window.slowDelivered = false;
    window.slowStarted = false;
    var frame = document.createElement('iframe');
    frame.src = 'slow.html';
    document.body.appendChild(frame);
    await until(function () { return window.slowStarted; }, 'the slow query');
    frame.src = 'blank.html';
    await until(function () { return frame.contentDocument && frame.contentDocument.title === 'blank'; }, 'navigation');
    // Given up by the browser side, the slow handler stops long before its 2.5 s.
    var after;
    var end = Date.now() + 2000;
    do { after = await status(); await sleep(20); } while (after.finished === before.finished && Date.now() < end);
    check(after.finished === before.finished + 1, 'the slow query stopped when given up');
    check(after.routerCancels === before.routerCancels + 1, 'the browser side gave the query up');
    await sleep(100);
    check(!window.slowDelivered, 'the answer was delivered');
    frame.remove();
  });

  test('a page from another origin has no app', async function () {
    var got = null;
    function onMessage(e) { got = e.data; }
    window.addEventListener('message', onMessage);
    // The app scheme serves no other host, so the foreign page comes inline.
    var frame = document.createElement('iframe');
    frame.src = 'data:text/html,<script>parent.postMessage(' +
        '{app: typeof window.app, cefQuery: typeof window.cefQuery}, "*")</' + 'script>';
    document.body.appendChild(frame);
    await until(function () { return got; }, 'the foreign page');
    window.removeEventListener('message', onMessage);
    same(got, {app: 'undefined', cefQuery: 'undefined'});
    frame.remove();
  });

  // Each refused at once with an argument error naming the function; the
  // page stays responsive.
  test('values that contain themselves or never end are refused', async function () {
    var cyclic = {n: null, p: null};
    cyclic.n = cyclic;
    cyclic.p = cyclic;
    var pairs = {};  // shared, not cyclic: 2^60 paths through 61 objects
    for (var i = 0; i < 60; i++) pairs = {n: pairs, p: pairs};
    var huge = [];
    huge.length = 4294967295;
    var wide = [];
    wide.length = 2147483647;
    var calls = [
      ['app.selftest.nativeEcho', function (v) { return app.selftest.nativeEcho(v); }],
      ['app.sendProcessMessage', function (v) { return app.sendProcessMessage('lmtest.ignored', 1, v); }],
      ['app.execEventListener', function (v) { return app.execEventListener('nobody', v); }],
    ];
    var values = [['cyclic', cyclic, 'contains itself'], ['in a list', [1, [cyclic]], 'contains itself'],
                  ['shared pairs', pairs, 'values in all'], ['huge length', huge, 'values in all'],
                  ['wide length', wide, 'values in all'], ['a DOM node', document.body, ''],
                  ['an event', new Event('x'), '']];
    for (var c of calls) {
      for (var v of values) {
        var start = performance.now();
        var e;
        try { c[1](v[1]); e = null; } catch (x) { e = x; }
        var took = performance.now() - start;
        var what = c[0] + ' with ' + v[0];
        if (v[2] === '' && e === null) continue;  // small enough to convert: fine, as long as it was quick
        check(e, what + ' was not refused');
        var err = JSON.parse(e.message);
        same([err.api, err.code1 < 0, err.msg.indexOf('Invalid arguments : ') === 0], [c[0], true, true], what);
        check(v[2] === '' || err.msg.indexOf(v[2]) > 0, what + ': ' + err.msg);
        // Bounded, not timed: an unbounded walk of these would take hours,
        // a loaded machine only makes the bounded one a few times slower.
        check(took < 15000, what + ' took ' + took + ' ms');
      }
    }
    // Shared members that do not loop are fine.
    var leaf = {x: 1};
    same(app.selftest.nativeEcho({a: leaf, b: [leaf, leaf]}), {a: {x: 1}, b: [{x: 1}, {x: 1}]});
    var sparse = [];
    sparse.length = 3;
    same(app.selftest.nativeEcho(sparse), [null, null, null]);
  });

  test('console messages reach standard error', function () {
    // test-gui --console checks the line: source, line and level.
    console.log('lmtest console probe ' + location.pathname);
  });

  test('the app scheme answers fetch with types and 404', async function () {
    var r = await fetch('selftest.js?x=1#top');
    same(r.status, 200);
    same(r.headers.get('Content-Type'), 'text/javascript');
    r = await fetch('nosuch.html');
    same(r.status, 404);
    var body = await r.text();
    check(body.indexOf('resource not found.<br>app://res/selftest/nosuch.html') >= 0, body);
  });

  function report(name, ok, detail) {
    var li = document.createElement('li');
    li.textContent = (ok ? 'ok ' : 'FAILED ') + name + (detail ? ': ' + detail : '');
    document.getElementById('log').appendChild(li);
    app.sendProcessMessage('lmtest.result', name, ok, detail || '');
  }

  async function run() {
    var filter = new URLSearchParams(location.search).get('only');
    var count = 0;
    for (var c of cases) {
      if (filter && c.name.indexOf(filter) < 0) continue;
      count++;
      try {
        await Promise.race([Promise.resolve().then(c.body), sleep(8000).then(function () { throw new Error('case timed out'); })]);
        report(c.name, true);
      } catch (e) {
        report(c.name, false, String(e && e.message || e));
      }
    }
    app.sendProcessMessage('lmtest.done', count);
  }

  if (typeof app !== 'object') {
    document.title = 'no app';
    return;
  }
  window.addEventListener('load', function () { setTimeout(run, 0); });
})();
