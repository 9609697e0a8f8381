// The registration editor on a large registration, in a small DOM against a
// stand-in program: groups are built when opened, a group holding what
// blocks the write opens by itself, and what is written is the edit alone,
// whichever groups were opened.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { dirname, join } from 'node:path';
import { createStore } from '../../web/linkmeter/src/page/state.js';
import { CancelledError } from '../../web/linkmeter/src/device/api.js';
import { provenance } from '../../web/linkmeter/src/ui/provenance.js';
import { loadDom } from './dom-support.mjs';

const dom = loadDom();
if (dom) {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node, Event: window.Event });
  globalThis.linkmeter = { chtype: { describe: () => ({ unit: '' }), toReal: (c, r) => r, fromReal: (c, v) => v, format: (c, r) => String(r) } };
}
const skip = !dom && 'no DOM module';
// A <details> is open by its attribute or, once set from script, its property.
const isOpen = (el) => el.open === true || el.hasAttribute('open');

const LAN = { com: 2, serial: '009C0021', name: 'BIG', model: 'VL-B7', ipAddr: '127.0.0.1', port: 40000 };

// `groups` groups of 4 chained repeaters and `units` remote units each.
function registration(groups, units) {
  return { groups: Array.from({ length: groups }, (_, g) => ({
    name: `G-${g}`, freq: 40 + g, band: 0,
    repeaters: [1, 2, 3, 4].map((num) => ({ num, parent: num - 1, serial: `00C8${String(g).padStart(2, '0')}0${num}` })),
    remoteUnits: Array.from({ length: units }, (_, u) => ({ num: u + 1, parent: u % 5, serial: `00B8${String(g).padStart(2, '0')}${String(u).padStart(2, '0')}`, model: 'VL-RA', name: `U${g}-${u}`, record: { interval: 10 } })),
  })) };
}

async function editor(reg) {
  const view = (await import('../../web/linkmeter/src/views/registration.js')).default;
  const sent = [];
  const api = {
    CancelledError,
    query: async (name) => (name === 'JsMsgbox' ? 3 : null),
    command: async (name, arg) => {
      sent.push([name, arg]);
      return name === 'RSETF' ? { isSuccess: true, regInfo: sent.length > 1 ? sent[sent.length - 2][1].regInfo : reg } : { isSuccess: true };
    },
  };
  const store = createStore({ unit: LAN, regInfo: reg, regProv: provenance(LAN, { source: 'unit' }), linkLost: false, routesFrom: 'unit' });
  const { element } = view.create({ store, api, go: () => {} });
  document.body.append(element);
  const cards = () => [...element.querySelectorAll('[data-test=reg-group]')];
  const open = (gi) => {
    const card = cards()[gi];
    card.open = true;
    card.dispatchEvent(new Event('toggle'));
  };
  const fields = (gi) => element.querySelectorAll(`[data-test=reg-field][data-path^="groups[${gi}]"]`).length;
  return { element, sent, cards, open, fields, store };
}

test('a large registration shows its groups closed and builds one when it opens', { skip }, async () => {
  const cases = [
    { what: '8 groups of 32', groups: 8, units: 32, openAtFirst: false },
    { what: '3 groups of 20', groups: 3, units: 20, openAtFirst: true },
  ];
  for (const c of cases) {
    const e = await editor(registration(c.groups, c.units));
    assert.equal(e.cards().length, c.groups, c.what);
    assert.equal(e.cards().every((x) => isOpen(x) === c.openAtFirst), true, `${c.what}: open at first`);
    assert.equal(e.fields(1) > 0, c.openAtFirst, `${c.what}: fields made at first`);
    e.open(1);
    assert.equal(e.element.querySelectorAll('[data-test=reg-unit][data-group="1"]').length, c.units, `${c.what}: group 2 built`);
    e.element.remove();
  }
});

test('what is written is the edit alone, whichever groups were opened', { skip }, async () => {
  const reg = registration(8, 32);
  const e = await editor(reg);
  e.open(6);
  const name = e.element.querySelector('[data-path="groups[6].remoteUnits[3].name"]');
  name.value = 'TANK-B';
  name.dispatchEvent(new Event('change'));
  assert.equal(e.element.querySelector('#reg-status').dataset.changes, '1');
  e.element.querySelector('#reg-write').dispatchEvent(new Event('click'));
  await new Promise((ok) => setTimeout(ok, 10));
  const write = e.sent.find(([n]) => n === 'WSETF');
  assert.ok(write, 'written');
  const want = structuredClone(reg);
  want.groups[6].remoteUnits[3].name = 'TANK-B';
  assert.deepEqual(write[1].regInfo, want);
});

test('a looping parent in a closed group opens it and blocks the write', { skip }, async () => {
  const reg = registration(8, 32);
  reg.groups[5].repeaters[0].parent = 4; // R1 → R4 → R3 → R2 → R1
  const e = await editor(reg);
  const card = e.cards()[5];
  assert.equal(isOpen(card), true, 'the group holding the loop is open');
  assert.ok(e.fields(5) > 0, 'and built');
  assert.equal(e.cards().filter(isOpen).length, 1, 'the others stay closed');
  const marked = [...card.querySelectorAll('[data-test=reg-field].invalid')].map((x) => x.dataset.path);
  assert.ok(marked.includes('groups[5].repeaters[0].parent'), marked.join(' '));
  assert.notEqual(e.element.querySelector('#reg-status').dataset.refused, '0');
  assert.equal(e.element.querySelector('#reg-write').disabled, true);
});

test('a model that cannot give its registration is not offered the read; the note points at routes by hand', { skip }, async () => {
  const { element, store } = await editor(registration(1, 2));
  const read = element.querySelector('#reg-read');
  const note = element.querySelector('#reg-cannot');
  const cases = [
    [LAN, false],
    [{ com: 1, serial: '009A0011', name: 'GREENHOUSE', model: 'VL-B1' }, true],
  ];
  for (const [unit, cannot] of cases) {
    store.set({ unit });
    assert.equal(read.disabled, cannot, unit.model);
    assert.equal(note.hidden, !cannot, unit.model);
    assert.equal(read.title.includes(unit.model), cannot, read.title);
  }
  assert.ok(note.querySelector('button.primary'), 'routes by hand is the primary button');
});
