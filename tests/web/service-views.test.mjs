// The settings block and the hand-entered routes view against a stand-in
// program (a fake api) in a small DOM: what is sent, what is asked, what
// is kept, and whose the shown values are.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createStore } from '../../web/linkmeter/src/page/state.js';
import { CancelledError } from '../../web/linkmeter/src/device/api.js';
import { loadDom } from './dom-support.mjs';

const dom = loadDom();
let window;
if (dom) {
  ({ window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>'));
  Object.assign(globalThis, { document: window.document, Node: window.Node });
}
const skip = !dom && 'no DOM module';

const LAN = { com: 2, serial: '009C0021', name: 'RIVERSIDE', model: 'VL-B7', ipAddr: '127.0.0.1', port: 40000 };
const USB = { com: 1, serial: '009A0011', name: 'GREENHOUSE', model: 'VL-B1' };
const text = (key) => ({ key, reader: 'text', need: 'optional', check: { kind: 'length', lo: 1, hi: 15 } });
const WNETP = { name: 'WNETP', args: [text('IP'), text('MASK'), text('GW'), text('DNS1'), { key: 'DHCP', reader: 'integer', check: { kind: 'range', lo: 0, hi: 1 } }] };

// A base unit that keeps its network block and answers the message box.
function fakeUnit(answerBox) {
  const held = { IP: '192.168.1.10', MASK: '255.255.255.0', GW: '192.168.1.1', DNS1: '192.168.1.1', DHCP: 0 };
  const sent = [];
  const api = {
    CancelledError,
    query: async (name, arg) => {
      sent.push([name, arg]);
      return name === 'JsMsgbox' ? answerBox() : null;
    },
    command: async (name, arg) => {
      sent.push([name, arg]);
      if (name === 'RNETP') return { isSuccess: true, ...held };
      if (name === 'WNETP') {
        const { comInfo, ...values } = arg;
        Object.assign(held, values);
        return { isSuccess: true };
      }
      throw new Error('unexpected ' + name);
    },
  };
  return { held, sent, api, names: () => sent.map(([n]) => n) };
}

function type(el, value) {
  el.value = value;
  el.dispatchEvent(new window.Event('input'));
}

test('a settings block: refused before sending, a LAN unit asked first, read back, cleared for another unit', { skip }, async () => {
  const { SettingsBlock } = await import('../../web/linkmeter/src/settings/settingsblock.js');
  let box = 4; // No
  const unit = fakeUnit(() => box);
  const store = createStore({ unit: LAN, linkLost: false });
  const block = new SettingsBlock({ store, api: unit.api }, { id: 'network', read: 'RNETP', write: 'WNETP' }, WNETP);
  const card = block.element();
  document.body.append(card);
  block.forUnit(store.get());
  await block.read();
  const ip = card.querySelector('#set-network-IP');
  assert.equal(ip.value, '192.168.1.10');
  assert.equal(card.dataset.current, 'true');
  assert.equal(card.dataset.base, '009C0021');

  const steps = [
    // [what, IP typed, box answer, commands sent by the write, IP held after, IP field unsaved]
    ['an impossible address', '192.168.1.300', 4, [], '192.168.1.10', 'true'],
    ['a new address, No in the box', '192.168.1.20', 4, ['JsMsgbox'], '192.168.1.10', 'true'],
    ['a new address, Yes in the box', '192.168.1.20', 3, ['JsMsgbox', 'WNETP', 'RNETP'], '192.168.1.20', 'false'],
  ];
  for (const [what, value, answer, commands, held, unsaved] of steps) {
    box = answer;
    type(ip, value);
    unit.sent.length = 0;
    await block.write();
    assert.deepEqual(unit.names(), commands, what);
    assert.equal(unit.held.IP, held, what);
    assert.equal(ip.dataset.unsaved, unsaved, what);
  }
  const written = unit.sent.find(([n]) => n === 'WNETP')[1];
  assert.deepEqual(Object.keys(written), ['comInfo', 'IP'], 'only the changed key is written');
  assert.equal(card.querySelector('[data-test=readback-row][data-key=IP]').dataset.ok, 'true');

  const failing = unit.api.command;
  unit.api.command = async () => { throw new Error('no answer'); };
  await block.read();
  assert.equal(card.dataset.current, 'false', 'a failed read: what is shown is earlier');
  unit.api.command = failing;
  await block.read();
  assert.equal(card.dataset.current, 'true');
  store.set({ linkLost: true });
  block.forUnit(store.get());
  assert.equal(card.dataset.current, 'false', 'a lost link: no longer current');
  store.set({ unit: USB, linkLost: false });
  block.forUnit(store.get());
  assert.equal(ip.value, '', "another unit: the last unit's values are gone");
  assert.equal(card.dataset.base, '');
  assert.equal(block.writeButton.disabled, true);
});

function memoryStorage() {
  const m = new Map();
  return { getItem: (k) => (m.has(k) ? m.get(k) : null), setItem: (k, v) => m.set(k, String(v)), m };
}

test('routes by hand: entered, kept for their base unit, surveyed from', { skip }, async () => {
  const routes = (await import('../../web/linkmeter/src/views/routes.js')).default;
  const storage = memoryStorage();
  const went = [];
  const store = createStore({ unit: USB, linkLost: false, manualReg: null, routesFrom: 'unit', siblingReg: null });
  const ctx = { store, storage, go: (id) => went.push(id) };
  const view = routes.create(ctx).element;
  const set = (id, value) => { view.querySelector('#route-' + id).value = value; };
  const click = (el) => el.dispatchEvent(new window.Event('click'));

  for (const [id, value] of Object.entries({ freq: '12', band: '0', relays: '1 2', num: '3', serial: '00BC0103', name: 'FIELD-TH' })) set(id, value);
  click(view.querySelector('#route-save'));
  const reg = store.get().manualReg;
  assert.equal(reg.prov.source, 'manual');
  assert.equal(reg.prov.base.serial, '009A0011');
  assert.deepEqual(reg.regInfo.groups[0].remoteUnits.map((u) => [u.num, u.parent, u.serial, u.model]), [[3, 2, '00BC0103', 'VL-RC']]);
  assert.ok(storage.m.has('linkmeter.routes.009A0011'));
  assert.equal(view.querySelectorAll('[data-test=manual-route]').length, 1);
  assert.equal(view.querySelector('#routes-table').dataset.current, 'true');

  // A clash is refused and nothing changes.
  for (const [id, value] of Object.entries({ freq: '12', band: '0', relays: '2', num: '4', serial: '00BC0104', name: '' })) set(id, value);
  click(view.querySelector('#route-save'));
  assert.ok(view.querySelector('#route-relays').classList.contains('invalid'));
  assert.equal(store.get().manualReg, reg);

  click(view.querySelector('[data-test=route-survey]'));
  assert.deepEqual([store.get().routesFrom, store.get().surveyTarget, went], ['manual', { group: 0, kind: 'remote', num: 3 }, ['survey']]);

  // Another base unit has none of these routes; the first one's come back with it.
  store.set({ unit: LAN });
  assert.equal(store.get().manualReg, null);
  assert.equal(view.querySelectorAll('[data-test=manual-route]').length, 0);
  const again = routes.create({ store: createStore({ unit: USB, linkLost: false, manualReg: null, routesFrom: 'unit' }), storage, go() {} }).element;
  assert.equal(again.querySelector('[data-test=manual-route]').dataset.serial, '00BC0103', 'kept across a restart');
});
