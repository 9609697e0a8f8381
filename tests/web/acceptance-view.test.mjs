// The Acceptance tab under Node: findings, causes and remedies in columns of
// their own, "failing only" keeping the failing rows, the waive form opening
// under the unit it is for (not at the top of the tab), and "Fix these
// first" naming each action once with its units.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createStore } from '../../web/linkmeter/src/page/state.js';
import { siteTargets } from '../../web/linkmeter/src/site/sitesurveybook.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';
import { loadDom } from './dom-support.mjs';
import { northSite, resultOfProbes } from './site-fixture.mjs';

const dom = loadDom();
const regInfo = northSite();
const targets = siteTargets(regInfo);
const steady = (n, ...hops) => Array.from({ length: n }, () => hops);

// HOUSE-1 passes; FIELD's R1 battery is low; SOIL never answers.
function survey() {
  const of = (num, probes) => resultOfProbes(regInfo, targets.find((x) => x.num === num), probes);
  return {
    targets, regInfo, complete: true, running: false, started: 1000, finished: 2000,
    prov: { base: { serial: '10092561', name: 'BASE', model: 'VL-B7' }, source: 'unit', time: 1000 },
    results: [of(1, steady(20, [140, 80])), of(2, steady(20, [140, 9], [140, 80], [140, 80])), of(3, steady(20, [140, 80], null))],
  };
}

test('columns of their own, failing only, and the waive form at the unit', { skip: !dom && 'linkedom missing' }, async () => {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node, Event: window.Event });
  // linkedom's select has no value setter: the profile editor sets one.
  const proto = Object.getPrototypeOf(window.document.createElement('select'));
  Object.defineProperty(proto, 'value', { configurable: true, get() { return this._value ?? ''; }, set(v) { this._value = v; } });
  setLanguage('en');
  const { default: view } = await import('../../web/linkmeter/src/views/acceptance.js');
  const s = survey();
  const store = createStore({ unit: { serial: '10092561' }, thresholds: DEFAULT_THRESHOLDS, siteSurvey: s, siteSurveyDone: s, regInfo, regProv: s.prov });
  const ctx = { store, storage: { getItem: () => null, setItem: () => {} }, recorder: null, go: () => {} };
  const made = view.create(ctx);
  document.body.append(made.element);
  made.show();
  const el = made.element;
  const heads = [...el.querySelectorAll('#acceptance-units thead th')].map((th) => th.textContent);
  assert.deepEqual(heads, ['Unit', 'Serial', 'Verdict', 'Deciding rule', 'Cause', 'Findings', 'Remedy', 'Waiver']);
  const row = (serial) => el.querySelector(`#acceptance-units tr[data-serial="${serial}"]`);
  const soil = row('00BC0103');
  const cells = [...soil.children];
  assert.ok(cells[5].querySelector('[data-test=acceptance-finding]') && !cells[5].querySelector('[data-test=acceptance-remedy]'), 'findings alone in their column');
  assert.ok(cells[6].querySelector('[data-test=acceptance-remedy]') && !cells[6].querySelector('[data-test=acceptance-finding]'), 'remedies alone in theirs');
  assert.equal(cells[4].dataset.cause, 'unknown', 'a silent unit with no map: not known yet, with what would tell');
  assert.ok([...cells[4].querySelectorAll('[data-fact]')].some((li) => li.dataset.fact === 'tellPlaceOnMap'));

  // Fix these first: the battery (cheapest) before the silent unit's check.
  const actions = [...el.querySelectorAll('#acceptance-fix-first [data-test=acceptance-action]')].map((li) => [li.dataset.kind, li.dataset.units]);
  assert.deepEqual(actions, [['replaceBattery', '00BC0102'], ['checkUnit', '00BC0103']]);

  el.querySelector('#acceptance-failing-only').checked = true;
  el.querySelector('#acceptance-failing-only').dispatchEvent(new Event('change'));
  const shown = [...el.querySelectorAll('#acceptance-units tr[data-test=acceptance-unit]')].map((tr) => tr.dataset.serial);
  assert.deepEqual(shown, ['00BC0102', '00BC0103'], 'only the failing units');

  // The last unit's Waive… opens the form in the row right under it.
  row('00BC0103').querySelector('[data-test=acceptance-waive]').dispatchEvent(new Event('click'));
  const form = el.querySelector('#acceptance-waive-form');
  assert.equal(form.hidden, false);
  assert.equal(row('00BC0103').nextElementSibling.id, 'acceptance-waive-row', 'the form opens under the unit');
  assert.ok(row('00BC0103').nextElementSibling.contains(form));
  assert.match(el.querySelector('label[for=acceptance-waive-reason]').textContent, /G1 SOIL/);
  el.querySelector('#acceptance-waive-cancel').dispatchEvent(new Event('click'));
  assert.equal(el.querySelector('#acceptance-waive-row'), null, 'closed again');
});
