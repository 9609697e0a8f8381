// Measures the bridge against a bare user-message ping-pong in the same run,
// with the microsecond clock of the page process (app.selftest.now), and the
// cost of a synchronous native call. Each figure goes to the benchmark
// program as app.sendProcessMessage("lmtest.result", name, true, json).
(function () {
  'use strict';
  var now = app.selftest.now;
  var SEQUENTIAL = 2000, BURST = 4000, IN_FLIGHT = 16, NATIVE_CALLS = 200000, WARMUP = 300;

  function rawPing() { return new Promise(function (r) { app.selftest.rawPing(r); }); }
  function bridgePing() { return new Promise(function (r) { app.jsQuery('SelfTestPing', null, r, r); }); }
  var kinds = {bare: app.selftest.rawPing, bridge: function (done) { app.jsQuery('SelfTestPing', null, done, done); }};

  async function sequential(ping, n, into) {
    for (var i = 0; i < n; i++) {
      var t0 = now();
      await ping();
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

  function percentile(sorted, p) { return sorted[Math.min(sorted.length - 1, Math.floor(sorted.length * p))]; }

  function report(name, figures) {
    document.getElementById('out').textContent += name + ' ' + JSON.stringify(figures) + '\n';
    app.sendProcessMessage('lmtest.result', name, true, JSON.stringify(figures));
  }

  async function run() {
    await sequential(rawPing, WARMUP, []);
    await sequential(bridgePing, WARMUP, []);
    // Alternate the two so drift in the machine's load hits both alike.
    var lat = {bare: [], bridge: []};
    for (var round = 0; round < 4; round++) {
      await sequential(rawPing, SEQUENTIAL / 4, lat.bare);
      await sequential(bridgePing, SEQUENTIAL / 4, lat.bridge);
    }
    var rate = {bare: [], bridge: []};
    for (round = 0; round < 2; round++) {
      rate.bare.push(await burst('bare', BURST / 2));
      rate.bridge.push(await burst('bridge', BURST / 2));
    }
    ['bare', 'bridge'].forEach(function (kind) {
      var sorted = lat[kind].slice().sort(function (a, b) { return a - b; });
      report(kind, {p50_us: percentile(sorted, 0.5), p99_us: percentile(sorted, 0.99), samples: sorted.length,
                    per_s_16_in_flight: Math.round((rate[kind][0] + rate[kind][1]) / 2)});
    });

    var t0 = now();
    for (var i = 0; i < NATIVE_CALLS; i++) app.selftest.nop();
    var nop = (now() - t0) / NATIVE_CALLS;
    t0 = now();
    for (i = 0; i < NATIVE_CALLS; i++) app.selftest.nativeEcho(i);
    var echo = (now() - t0) / NATIVE_CALLS;
    report('native', {nop_us: Math.round(nop * 100) / 100, echo_us: Math.round(echo * 100) / 100, calls: NATIVE_CALLS});
    app.sendProcessMessage('lmtest.done', 3);
  }

  window.addEventListener('load', function () { setTimeout(run, 100); });
})();
