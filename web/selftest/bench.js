// Measures the bridge against a bare user-message ping-pong in the same run,
// and against the floor: the same ping answered after the two thread
// hand-offs every query makes (to a waiting thread and back to the window
// thread), with nothing of the router or a handler. Times come from the
// microsecond clock of the page process (app.selftest.now). The three
// alternate in rounds, so drift in the machine's load hits all alike; ratios
// are medians of the rounds' ratios. Also the cost of a synchronous native
// call. Each figure goes to the benchmark program as
// app.sendProcessMessage("lmtest.result", name, true, json).
(function () {
  'use strict';
  var now = app.selftest.now;
  var ROUNDS = 8, SEQUENTIAL = 250, BURST = 1000, IN_FLIGHT = 16, NATIVE_CALLS = 200000, WARMUP = 300;
  var KINDS = ['bare', 'floor', 'bridge'];

  var kinds = {
    bare: app.selftest.rawPing,
    floor: app.selftest.handOffPing,
    bridge: function (done) { app.jsQuery('SelfTestPing', null, done, done); }
  };
  function ping(kind) { return new Promise(function (r) { kinds[kind](r); }); }

  async function sequential(kind, n, into) {
    for (var i = 0; i < n; i++) {
      var t0 = now();
      await ping(kind);
      into.push(now() - t0);
    }
  }

  function burst(kind, total) {
    return new Promise(function (resolve) {
      var sent = 0, done = 0, t0 = now();
      function one() {
        if (sent >= total) return;
        sent++;
        kinds[kind](function () {
          if (++done === total) resolve(total / ((now() - t0) / 1e6));
          else one();
        });
      }
      for (var i = 0; i < IN_FLIGHT; i++) one();
    });
  }

  function sorted(v) { return v.slice().sort(function (a, b) { return a - b; }); }
  function percentile(s, p) { return s[Math.min(s.length - 1, Math.floor(s.length * p))]; }
  function median(v) { return percentile(sorted(v), 0.5); }
  function round2(x) { return Math.round(x * 100) / 100; }

  function report(name, figures) {
    document.getElementById('out').textContent += name + ' ' + JSON.stringify(figures) + '\n';
    app.sendProcessMessage('lmtest.result', name, true, JSON.stringify(figures));
  }

  async function measure() {
    var lat = {}, p50 = {}, rate = {};
    KINDS.forEach(function (k) { lat[k] = []; p50[k] = []; rate[k] = []; });
    for (var round = 0; round < ROUNDS; round++) {
      for (var j = 0; j < KINDS.length; j++) {
        var kind = KINDS[(j + round) % KINDS.length];  // each goes first in turn
        var these = [];
        await sequential(kind, SEQUENTIAL, these);
        lat[kind] = lat[kind].concat(these);
        p50[kind].push(percentile(sorted(these), 0.5));
        rate[kind].push(await burst(kind, BURST));
      }
    }
    KINDS.forEach(function (kind) {
      var s = sorted(lat[kind]);
      report(kind, {p50_us: percentile(s, 0.5), p99_us: percentile(s, 0.99), samples: s.length,
                    per_s_16_in_flight: Math.round(median(rate[kind]))});
    });
    function ratios(of, to) {
      var p = [], t = [];
      for (var r = 0; r < ROUNDS; r++) {
        p.push(p50[of][r] / p50[to][r]);
        t.push(rate[of][r] / rate[to][r]);
      }
      return {p50: round2(median(p)), throughput_16_in_flight: round2(median(t)), rounds: ROUNDS};
    }
    report('bridge/bare', ratios('bridge', 'bare'));
    report('floor/bare', ratios('floor', 'bare'));
    report('bridge/floor', ratios('bridge', 'floor'));
  }

  // bench.html?only=KIND: that kind alone, one at a time, for a profiler;
  // with &burst, 16 in flight.
  async function only(kind) {
    var params = new URLSearchParams(location.search);
    if (params.has('burst')) {
      var rates = [];
      var bursts = Number(params.get('bursts')) || 40;
      for (var b = 0; b < bursts; b++) rates.push(await burst(kind, BURST));
      report(kind, {per_s_16_in_flight: Math.round(median(rates)), bursts: rates.length});
      return app.sendProcessMessage('lmtest.done', 1);
    }
    var these = [];
    await sequential(kind, 20 * SEQUENTIAL, these);
    report(kind, {p50_us: median(these), samples: these.length});
    app.sendProcessMessage('lmtest.done', 1);
  }

  async function run() {
    var alone = new URLSearchParams(location.search).get('only');
    if (alone) return only(alone);
    for (var k = 0; k < KINDS.length; k++) await sequential(KINDS[k], WARMUP, []);
    await measure();
    var t0 = now();
    for (var i = 0; i < NATIVE_CALLS; i++) app.selftest.nop();
    var nop = (now() - t0) / NATIVE_CALLS;
    t0 = now();
    for (i = 0; i < NATIVE_CALLS; i++) app.selftest.nativeEcho(i);
    var echo = (now() - t0) / NATIVE_CALLS;
    report('native', {nop_us: round2(nop), echo_us: round2(echo), calls: NATIVE_CALLS});
    app.sendProcessMessage('lmtest.done', 3);
  }

  window.addEventListener('load', function () { setTimeout(run, 100); });
})();
