// A repeat route survey run for thousands of rounds in a small DOM against a
// stand-in program: what the page keeps stays the same size however long it
// runs (the history's points, the charts, the elements, the listeners on the
// run's abort signal and the store, the timers), and a cancel leaves none.
import { test, mock } from 'node:test';
import assert from 'node:assert/strict';
import { register } from 'node:module';
import { createStore } from '../../web/linkmeter/src/page/state.js';
import * as api from '../../web/linkmeter/src/device/api.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';
import { provenance } from '../../web/linkmeter/src/ui/provenance.js';
import { HISTORY_POINTS } from '../../web/linkmeter/src/ui/cappedseries.js';
import { loadDom } from './dom-support.mjs';

// The bundle's aliases: the catalogue's survey commands, and a chart that
// only counts what it is given (no canvas here).
const stubs = {
  'catalogue-rules': "export default { surveys: ['EWLEX', 'EWLRU'], commands: { EWLEX: {}, EWLRU: {} } };",
  uplot: `const live = globalThis.__charts = globalThis.__charts || new Set();
    export default class Chart {
      constructor(opts, data, el) { this.data = data; this.el = el; this.draws = 1; this.opts = opts; live.add(this); }
      setData(data) { this.data = data; this.draws++; }
      redraw() { this.draws++; }
      destroy() { live.delete(this); }
    }`,
};
const hooks = `const stubs = ${JSON.stringify(stubs)};
  export async function resolve(specifier, ctx, next) {
    return specifier in stubs ? { url: 'data:text/javascript,' + encodeURIComponent(stubs[specifier]), shortCircuit: true } : next(specifier, ctx);
  }`;
register('data:text/javascript,' + encodeURIComponent(hooks));

const dom = loadDom();
let window;
if (dom) {
  ({ window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>'));
  Object.assign(globalThis, { document: window.document, Node: window.Node, Event: window.Event });
}
const skip = !dom && 'no DOM module';
setLanguage('en');

const LAN = { com: 2, serial: '009C0021', name: 'BIG', model: 'VL-B7', ipAddr: '127.0.0.1', port: 40000 };
// Base → R1 → R2 → unit 5: three hops.
const regInfo = { groups: [{ name: 'G', freq: 25, band: 0,
  repeaters: [{ num: 1, parent: 0, serial: '00C80001' }, { num: 2, parent: 1, serial: '00C80002' }],
  remoteUnits: [{ num: 5, parent: 2, serial: '00B80005', name: 'U5', model: 'VL-RA' }] }] };

// Listeners on abort signals and live timers, counted while the survey runs.
function counters() {
  const listeners = new Set();
  const timers = new Set();
  const add = EventTarget.prototype.addEventListener;
  const remove = EventTarget.prototype.removeEventListener;
  mock.method(EventTarget.prototype, 'addEventListener', function (type, f, options) {
    if (this instanceof AbortSignal) listeners.add(f);
    return add.call(this, type, f, options);
  });
  mock.method(EventTarget.prototype, 'removeEventListener', function (type, f, options) {
    if (this instanceof AbortSignal) listeners.delete(f);
    return remove.call(this, type, f, options);
  });
  mock.timers.enable({ apis: ['setTimeout'] });
  const set = globalThis.setTimeout;
  const clear = globalThis.clearTimeout;
  mock.method(globalThis, 'setTimeout', (f, ms) => {
    const id = set(() => { timers.delete(id); f(); }, ms);
    timers.add(id);
    return id;
  });
  mock.method(globalThis, 'clearTimeout', (id) => { timers.delete(id); clear(id); });
  return { signalListeners: () => listeners.size, timers: () => timers.size };
}

// The survey view surveying unit 5 every 2 s; the stand-in answers at once,
// the far unit's level wandering and every tenth probe lost.
async function repeatSurvey() {
  const view = (await import('../../web/linkmeter/src/views/survey.js')).default;
  let asked = 0;
  const program = { ...api, query: async () => {
    asked++;
    const far = asked % 10 ? [{ number: 5, level: 90 + (asked % 40), battery: 60 }] : [];
    return { isSuccess: true, Signals: [{ number: 1, level: 150, battery: 80 }, { number: 2, level: 120, battery: 70 }, ...far] };
  } };
  const store = createStore({ unit: LAN, regInfo, regProv: provenance(LAN, { source: 'unit' }), routesFrom: 'unit', busy: 0, linkLost: false });
  let storeListeners = 0;
  const subscribe = store.subscribe;
  store.subscribe = (f) => { storeListeners++; const off = subscribe(f); return () => { storeListeners--; off(); }; };
  const { element } = view.create({ store, api: program });
  document.body.replaceChildren(element);
  const $ = (css) => element.querySelector(css);
  Object.defineProperty($('#survey-target'), 'value', { value: '0:remote:5', writable: true });
  $('#survey-repeat').checked = true;
  $('#survey-interval').value = '2';
  const settle = async () => { for (let i = 0; i < 30; i++) await Promise.resolve(); };
  return {
    store, $,
    asked: () => asked,
    start: async () => { $('#survey-start').dispatchEvent(new window.Event('click')); await settle(); },
    cancel: async () => { $('#survey-cancel').dispatchEvent(new window.Event('click')); await settle(); },
    // `n` more rounds: each waits its 2 s and probes.
    rounds: async (n) => {
      for (let i = 0; i < n; i++) {
        mock.timers.tick(2000);
        await settle();
      }
    },
    draws: () => [...globalThis.__charts].map((c) => c.draws),
    // What the page keeps of the survey.
    kept: () => ({
      elements: element.querySelectorAll('*').length,
      charts: globalThis.__charts.size,
      points: [...globalThis.__charts].map((c) => c.data[0].length),
      storeListeners,
    }),
  };
}

test('a repeat survey of thousands of rounds keeps the same state as after its first few hundred', { skip }, async (t) => {
  const count = counters();
  t.after(() => { mock.timers.reset(); mock.restoreAll(); });
  const survey = await repeatSurvey();
  await survey.start();
  const steps = [
    // [rounds run, points per history]
    [50, 51],
    [HISTORY_POINTS + 100, HISTORY_POINTS],
    [3000, HISTORY_POINTS],
    [1000, HISTORY_POINTS],
  ];
  let settled = null;
  for (const [rounds, points] of steps) {
    const drawn = survey.draws();
    await survey.rounds(rounds);
    const kept = survey.kept();
    // One drawing per chart and round: the new point's.
    assert.deepEqual(survey.draws(), drawn.map((n) => n + rounds), `${rounds} rounds drawn`);
    const what = `after ${survey.asked()} rounds`;
    assert.deepEqual(kept.points, [points, points, points], what);
    assert.equal(kept.charts, 3, what);
    assert.ok(count.signalListeners() <= 1, `${what}: ${count.signalListeners()} listeners on the run's signal`);
    assert.equal(count.timers(), 1, `${what}: only the wait for the next round`);
    // Once the history is full, nothing more is kept.
    if (settled) assert.deepEqual(kept, settled, what);
    if (points === HISTORY_POINTS) settled = kept;
  }
  assert.equal(survey.$('#survey-history').dataset.points, String(survey.asked()));
  // Changed boundaries rejudge the route and redraw each chart's bands once.
  const drawn = survey.draws();
  survey.store.set({ thresholds: { level: { good: 200, fair: 180, weak: 160 }, battery: { ok: 50, low: 20 } } });
  assert.deepEqual(survey.draws(), drawn.map((n) => n + 1));
  assert.equal(survey.$('#survey-route').dataset.verdict, 'bad');
  assert.equal(survey.$('#survey-history [data-test=history]').dataset.bands, '160,180,200');
  // Every probe is in the statistics, however few points are drawn.
  const far = survey.$('#survey-route [data-test=hop][data-num="5"]');
  assert.equal(far.dataset.asked, String(survey.asked()));
  assert.equal(far.dataset.answered, String(survey.asked() - Math.floor(survey.asked() / 10)));

  await survey.cancel();
  assert.equal(survey.$('#survey-status').dataset.state, 'cancelled');
  assert.equal(count.signalListeners(), 0, 'a cancelled survey leaves no listener');
  assert.equal(count.timers(), 0, 'nor a timer');
});

test('queries answered or failed leave no listener on the caller\'s long-lived signal', async (t) => {
  const calls = [];
  globalThis.app = { jsQuery: (name, arg, ok, fail) => { calls.push({ ok, fail }); return calls.length; } };
  t.after(() => { delete globalThis.app; });
  const cases = [
    // [what, how the program ends the call, resolves]
    ['answered', (c) => c.ok({ isSuccess: true }), true],
    ['failed', (c) => c.fail({ code1: 5, msg: 'no' }), false],
  ];
  const controller = new AbortController();
  const counted = [];
  const add = controller.signal.addEventListener.bind(controller.signal);
  const remove = controller.signal.removeEventListener.bind(controller.signal);
  controller.signal.addEventListener = (type, f, o) => { counted.push(f); add(type, f, o); };
  controller.signal.removeEventListener = (type, f, o) => { counted.splice(counted.indexOf(f), 1); remove(type, f, o); };
  for (const [what, end, resolves] of cases) {
    for (let i = 0; i < 1000; i++) {
      const p = api.query('ComTcmdEWLEX', { comInfo: LAN }, { signal: controller.signal });
      end(calls[calls.length - 1]);
      const settled = await p.then(() => true, () => false);
      assert.equal(settled, resolves, what);
    }
    assert.equal(counted.length, 0, `${what}: listeners left on the signal`);
  }
});
