// The page shell: failures told in the page's language with the program's
// text apart, plural texts, the start language, the connection flows
// (search, by address, a lost link and reconnect) against a stand-in
// program, and unit texts drawn as text.
import { test, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import { setLanguage, t, tn, addMessages, startLanguage } from '../../web/linkmeter/src/i18n/i18n.js';
import { describeError, failureCause } from '../../web/linkmeter/src/device/errors.js';
import { errorParts } from '../../web/linkmeter/src/page/ui.js';
import * as api from '../../web/linkmeter/src/device/api.js';
import { createStore } from '../../web/linkmeter/src/page/state.js';
import { createConnection, parseIPv4, parsePort, rememberedAddress, DEFAULT_LAN_PORT } from '../../web/linkmeter/src/page/connection.js';
import { RouteError } from '../../web/linkmeter/src/device/route.js';
import { loadDom } from './dom-support.mjs';

const SEND_LOST = { isSuccess: false, cmdName: 'EBSTS', STATUS: '', msg: 'STATUS= (EBSTS 1025 102 Vcomm_SendComm : SEND_ERR(-25))' };
const RECV_CLOSED = { isSuccess: false, cmdName: 'RUINF', msg: 'STATUS= (RUINF 1026 103 Vcomm_RecvComm : RECVDATA_ERR(-26))' };
const RECV_SILENT = { isSuccess: false, cmdName: 'EWLEX', msg: 'STATUS= (EWLEX 1028 103 Vcomm_RecvComm : TIMEOUT_ERR(-28))' };
const LOGIN = { code1: 1029, code2: 105, msg: 'fail to open : Vcomm_OpenLANComm : LOGIN_ERR(-29)' };
const USB_GONE = { code1: 1012, code2: 101, msg: 'fail to open : Vcomm_OpenUSBComm : SERIALNUM_ERR(-12)' };
const LAN_REFUSED = { code1: 1020, code2: 105, msg: 'fail to open : Vcomm_OpenLANComm : CONNECT_ERR(-20)' };
const UNSUPPORTED = { code1: 0, msg: 'Invalid arguments : このAPIは指定したcomInfo(VL-B1)に対応していません。' };

test('a failure is told by its cause, in the page language, with the program text only in the details', () => {
  const cases = [
    [SEND_LOST, 'linkLost', 'SEND_ERR(-25)'],
    [RECV_CLOSED, 'linkLost', 'RECVDATA_ERR(-26)'],
    [RECV_SILENT, 'linkLost', 'TIMEOUT_ERR(-28)'],
    [{ linkLost: true, cmdName: 'RSETF' }, 'linkLost', 'RSETF'],
    [LOGIN, 'password', 'LOGIN_ERR(-29)'],
    [{ code1: 1029, code2: 105, msg: 'fail to open' }, 'password', 'code 1029 / 105'],
    [USB_GONE, 'unitGone', 'SERIALNUM_ERR'],
    [{ code1: 1022, code2: 101, msg: 'fail to open : Vcomm_OpenUSBComm : COMOPEN_ERR(-22)' }, 'unitGone', 'COMOPEN_ERR'],
    [LAN_REFUSED, 'unreachable', 'CONNECT_ERR'],
    [{ code1: 1024, code2: 105, msg: 'fail to open : Vcomm_OpenLANComm : COM_IN_PROGRESS(-24)' }, 'busy', 'COM_IN_PROGRESS'],
    [{ code1: 1030, code2: 105, msg: 'fail to open : Vcomm_OpenLANComm : LOGIN_TR_ERR(-30)' }, 'open', 'LOGIN_TR_ERR'],
    [{ isSuccess: false, msg: 'STATUS= (RUINF 1027 103 Vcomm_RecvComm : RECVSIZE_ERR(-27))' }, 'retry', 'RECVSIZE_ERR'],
    [{ isSuccess: false, STATUS: '0003-0090', msg: 'STATUS=0003-0090 (EWLEX 0 0)' }, 'busy', '0003-0090'],
    [{ isSuccess: false, STATUS: '0004-0002', msg: 'STATUS=0004-0002 (EWLEX 0 0)' }, 'radio', '0004-0002'],
    [{ isSuccess: false, STATUS: '0005-0001', cmdName: 'EISUC' }, 'noLogger', 'STATUS=0005-0001'],
    [{ isSuccess: false, isTimeout: true, msg: 'timeout' }, 'timeout', 'timeout'],
    [UNSUPPORTED, 'unsupported', 'VL-B1'],
    [{ code1: -2, msg: "Invalid arguments : 'CH' value is invalid." }, 'arguments', "'CH'"],
    [{ code1: -22, msg: '通信が失敗しました。(VLB1 STATUS=0004-0001)' }, 'measure', 'STATUS=0004-0001'],
    // A channel scan whose USB unit was unplugged under it: a lost link.
    [{ code1: 1026, code2: 103, msg: 'Vcomm_RecvComm : RECVDATA_ERR(-26)' }, 'linkLost', 'RECVDATA_ERR(-26)'],
    // Other -22 failures (a PDF plan, a record) are no channel measurement.
    [{ code1: -22, msg: 'the PDF page could not be rendered: Syntax Error' }, 'retry', 'PDF page'],
    [{ code1: -5, msg: 'method error', api: 'app.fileOpen' }, 'file', 'app.fileOpen'],
    [{ code1: 7, msg: 'something else' }, 'retry', 'something else'],
  ];
  for (const lang of ['en', 'ja']) {
    setLanguage(lang);
    for (const [detail, cause, detailText] of cases) {
      const what = `${lang} ${JSON.stringify(detail)}`;
      assert.equal(failureCause(detail), cause, what);
      const d = describeError(new api.DeviceError(detail));
      assert.equal(d.title, t('failure.' + cause), what);
      assert.equal(d.advice, t('advice.' + cause), what);
      assert.ok(d.details.includes(detailText), `${what}: details "${d.details}"`);
      assert.ok(!/Vcomm|STATUS|_ERR|Invalid arguments/.test(d.title + d.advice), what);
      assert.ok(!d.advice.includes(d.title), `${what}: the advice repeats the main line`);
      // The library's own Japanese texts are said in English too.
      if (lang === 'en') assert.ok(!/[\u3040-\u30ff\u4e00-\u9fff]/.test(d.title + d.advice + d.details), `${what}: Japanese in the English page`);
    }
  }
});

test('the failure box: a plain context leads the main line, a command name goes to the details', () => {
  setLanguage('en');
  const cases = [
    [new api.DeviceError(LOGIN), 'Connect', 'Connect: The base unit refused the password.', 'fail to open'],
    [new api.DeviceError(SEND_LOST), 'RSETF', 'The connection to the base unit was lost.', 'RSETF · STATUS= (EBSTS'],
    [new api.DeviceError({ msg: 'Enter channels 0–39.' }), 'Channels', 'Channels: Enter channels 0–39.', ''],
    [new api.DeviceError({ pageText: 'The file holds no registration.', code1: -5 }), undefined, 'The file holds no registration.', ''],
    [new api.DeviceError({ msg: 'ファイルを開けません' }), 'Sibling import', 'Sibling import: The operation failed.', 'ファイル'],
    [new RouteError('loop', 3), 'Route survey', 'Route survey: The repeaters of this group form a loop at repeater 3.', ''],
    // A context the sentence already says is said once.
    [new api.DeviceError({ pageText: 'The plan could not be read as an image.' }), 'The plan could not be read as an image.', 'The plan could not be read as an image.', ''],
  ];
  for (const [error, context, main, details] of cases) {
    const parts = errorParts(error, context);
    assert.equal(parts.main, main);
    assert.ok(details ? parts.details.startsWith(details) : parts.details === '', `${main}: "${parts.details}"`);
  }
});

test('plural texts follow the language rules, the count always filled in', () => {
  addMessages('en', { 'test.values.one': '{count} value changed in {block}', 'test.values.other': '{count} values changed in {block}' });
  addMessages('ja', { 'test.values.other': '{block} の {count} 件を変更しました' });
  const cases = [
    ['en', 0, '0 values changed in NET'],
    ['en', 1, '1 value changed in NET'],
    ['en', 2, '2 values changed in NET'],
    ['en', 1.5, '1.5 values changed in NET'],
    ['ja', 1, 'NET の 1 件を変更しました'],
    ['ja', 3, 'NET の 3 件を変更しました'],
  ];
  for (const [lang, count, text] of cases) {
    setLanguage(lang);
    assert.equal(tn('test.values', count, { block: 'NET' }), text, `${lang} ${count}`);
  }
  setLanguage('en');
  assert.equal(tn('units.foundUnits', 1), '1 base unit');
  assert.equal(tn('units.foundLoggers', 1), '1 logger');
});

test('the start language: the system language the program reports, else the engine tag', () => {
  const cases = [
    ['ja', 'ja-JP', 'ja'],
    ['en', 'ja-JP', 'en'],
    [null, 'ja-JP', 'ja'],
    [null, 'en-US', 'en'],
    ['fr', 'ja-JP', 'ja'], // not a page language: the program never says it, but it is not trusted
    [undefined, 'C', 'ja'],
  ];
  for (const [system, tag, lang] of cases) assert.equal(startLanguage(system, tag), lang, `${system} ${tag}`);
});

test('addresses and ports are checked before anything is sent', () => {
  const addresses = [
    ['192.168.1.20', '192.168.1.20'], [' 10.0.0.1 ', '10.0.0.1'], ['0.0.0.0', '0.0.0.0'], ['255.255.255.255', '255.255.255.255'],
    ['192.168.1.300', null], ['192.168.1', null], ['192.168.1.2.3', null], ['1.2.3.-4', null], ['a.b.c.d', null], ['', null],
    ['1.2.3.4/24', null], ['1234.1.1.1', null],
  ];
  for (const [text, want] of addresses) assert.equal(parseIPv4(text), want, text);
  const ports = [['', DEFAULT_LAN_PORT], ['62500', 62500], ['1', 1], ['65535', 65535], ['0', null], ['65536', null], ['12a', null], ['-1', null], ['1e3', null]];
  for (const [text, want] of ports) assert.equal(parsePort(text), want, text);
});

// A stand-in program: answers[name] is a value, a function of the
// argument, or {fail: detail}; every query is recorded.
let calls;
let answers;
beforeEach(() => {
  calls = [];
  answers = {};
  globalThis.app = {
    jsQuery(name, arg, ok, fail) {
      calls.push({ name, arg });
      const a = typeof answers[name] === 'function' ? answers[name](arg) : answers[name];
      queueMicrotask(() => (a && a.fail ? fail(a.fail) : ok(a === undefined ? null : a)));
      return calls.length;
    },
  };
});

function memoryStorage(initial = {}) {
  const items = { ...initial };
  return { items, getItem: (k) => (k in items ? items[k] : null), setItem: (k, v) => { items[k] = String(v); } };
}

function setup({ password = 'vela1234', storage = memoryStorage() } = {}) {
  const store = createStore({ units: [], loggers: [], unit: null, unitInfo: null, regInfo: null, linkLost: false, busy: 0 });
  const shown = [];
  const ask = typeof password === 'function' ? password : () => password;
  const ui = { askPassword: async () => ask(), showError: (e, context) => shown.push({ e, context }), notify: () => {}, clearMessages: () => {} };
  const conn = createConnection({ store, api, ui, storage });
  const stop = conn.watchLinks();
  return { store, shown, conn, storage, stop };
}

const ok = (extra) => ({ isSuccess: true, STATUS: '0002-0000', ...extra });

test('a search that finds nothing says so; a LAN unit by its address is identified by RUINF and remembered', async () => {
  setLanguage('en');
  answers = { ComSearchUSB: [], ComSearchLAN: [], ComSearchLogger: [], ComOpen: (a) => a, ComClose: null,
    ComTcmdRUINF: ok({ SER: '009C0021', NAME: 'RIVERSIDE', DESC: 'pump house' }), ComTcmdEBSTS: ok(), ComTcmdRDTIM: ok({ TimeOffset: 2 }) };
  const { store, conn, storage, stop } = setup();
  const lines = [];
  await conn.search((done, total, text) => lines.push(text));
  assert.equal(store.get().searched, true);
  assert.equal(lines.at(-1), '0 base units, 0 loggers found');

  assert.equal(await conn.connectByAddress('10.1.2.3', 62500), true);
  const open = calls.find((c) => c.name === 'ComOpen');
  assert.deepEqual(open.arg.comInfo, { com: 3, ipAddr: '10.1.2.3', port: 62500, lanPassword: 'vela1234' });
  const unit = store.get().unit;
  assert.equal(unit.serial, '009C0021');
  assert.equal(unit.name, 'RIVERSIDE');
  assert.equal(unit.com, 3);
  assert.deepEqual(rememberedAddress(storage), { ipAddr: '10.1.2.3', port: 62500 });
  stop();
});

test('a refused address login is not remembered and the password is asked again', async () => {
  answers = { ComOpen: { fail: LOGIN }, ComClose: null };
  let asked = 0;
  const { conn, storage, shown, stop } = setup({ password: () => { asked++; return 'wrong'; } });
  assert.equal(await conn.connectByAddress('10.1.2.4', 62500), false);
  assert.equal(await conn.connectByAddress('10.1.2.4', 62500), false);
  assert.equal(asked, 2);
  assert.equal(rememberedAddress(storage), null);
  assert.equal(failureCause(shown[0].e.detail), 'password');
  stop();
});

test('connecting another unit keeps the current one until the new one is open and logged in', async () => {
  const usb = { com: 1, serial: '009A0011', model: 'VL-B1', name: 'GREENHOUSE', descr: '' };
  const lan = { com: 2, ipAddr: '127.0.0.1', port: 40003, serial: '009C0021', name: 'RIVERSIDE', model: 'VL-B7', descr: '' };
  answers = { ComOpen: (a) => a, ComClose: null, ComTcmdRUINF: ok({ SER: '009C0021' }), ComTcmdEBSTS: ok(), ComTcmdRDTIM: ok() };
  const { store, conn, shown, stop } = setup({ password: () => 'typo' });
  assert.equal(await conn.connect(usb), true);
  const steps = [
    // [what to connect, how the open answers, connected after, closes]
    [() => conn.connect(lan), { fail: LOGIN }, '009A0011', 0],
    [() => conn.connectByAddress('10.1.2.5', 62500), { fail: LAN_REFUSED }, '009A0011', 0],
    [() => conn.connect(lan), (a) => a, '009C0021', 1],
    [() => conn.connect(lan), (a) => a, '009C0021', 2], // the same unit again: closed, then opened
  ];
  for (const [act, open, serial, closes] of steps) {
    answers.ComOpen = open;
    await act();
    assert.equal(store.get().unit.serial, serial);
    assert.equal(calls.filter((c) => c.name === 'ComClose').length, closes, serial);
  }
  assert.equal(failureCause(shown[0].e.detail), 'password');
  const names = calls.map((c) => c.name);
  const opens = names.flatMap((n, i) => (n === 'ComOpen' ? [i] : []));
  assert.ok(names.indexOf('ComClose') > opens[3], 'the old unit was closed only once the new one was open');
  stop();
});

test('a unit connected by address gets its model from the serial RUINF gives', async () => {
  answers = { ComOpen: (a) => a, ComClose: null, ComTcmdRUINF: ok({ SER: '009C0021', NAME: 'RIVERSIDE' }), ComTcmdEBSTS: ok(), ComTcmdRDTIM: ok() };
  const { store, conn, stop } = setup();
  assert.equal(await conn.connectByAddress('10.1.2.6', 62500), true);
  assert.equal(store.get().unit.model, 'VL-B7');
  stop();
});

test('a lost link marks the unit, lets its connection go, stops further calls, and reconnect restores it', async () => {
  const usb = { com: 1, serial: '009A0011', model: 'VL-B1', name: 'GREENHOUSE', descr: '' };
  answers = { ComOpen: (a) => a, ComClose: null, ComTcmdRUINF: ok({ SER: '009A0011' }), ComTcmdEBSTS: { ...SEND_LOST }, ComTcmdRDTIM: ok() };
  const { store, conn, shown, stop } = setup();
  await conn.connect(usb);
  assert.equal(store.get().linkLost, true, 'EBSTS failed with the link gone');
  assert.ok(calls.some((c) => c.name === 'ComClose'), 'the connection was let go');
  assert.ok(!calls.some((c) => c.name === 'ComTcmdRDTIM'), 'nothing more was sent after the link was lost');
  assert.equal(failureCause(shown[0].e.detail), 'linkLost');

  // Repeating work fails at once, without reaching the program.
  const before = calls.length;
  await assert.rejects(api.command('EWLEX', { comInfo: usb }), (e) => failureCause(e.detail) === 'linkLost');
  assert.equal(calls.length, before);

  // Still unplugged: reconnect says so and the unit stays lost.
  answers.ComOpen = { fail: USB_GONE };
  assert.equal(await conn.reconnect(), false);
  assert.equal(store.get().linkLost, true);
  assert.equal(failureCause(shown.at(-1).e.detail), 'unitGone');

  answers.ComOpen = (a) => a;
  answers.ComTcmdEBSTS = ok();
  assert.equal(await conn.reconnect(), true);
  assert.equal(store.get().linkLost, false);
  assert.equal(store.get().unitInfo.ebsts.isSuccess, true);
  // A unit that was never lost is not held back by another's loss.
  assert.equal(api.isLost({ com: 1, serial: '009A0012' }), false);
  stop();
});

test('a device result read through query marks the link too, so a survey loop ends', async () => {
  const usb = { com: 1, serial: '009A0077' };
  answers = { ComTcmdEWLEX: { ...RECV_CLOSED }, ComClose: null };
  const answer = await api.query('ComTcmdEWLEX', { comInfo: usb });
  assert.equal(answer.isSuccess, false);
  assert.equal(api.isLost(usb), true);
  await assert.rejects(api.query('ComTcmdEWLEX', { comInfo: usb }), (e) => e.detail.linkLost === true);
  assert.equal(calls.length, 1);
});

test('a lost link of a unit that is not the connected one leaves the header alone', async () => {
  answers = { ComOpen: (a) => a, ComClose: null, ComTcmdRUINF: ok(), ComTcmdEBSTS: ok(), ComTcmdRDTIM: ok() };
  const lan = { com: 2, ipAddr: '127.0.0.1', port: 40001, serial: '009C0021', name: 'RIVERSIDE', model: 'VL-B7', descr: '', mac: '0-0-0-0-0-1' };
  const { store, conn, stop } = setup();
  await conn.connect(lan);
  answers.ComTcmdEWLEX = { ...RECV_SILENT };
  await assert.rejects(api.command('EWLEX', { comInfo: { com: 2, ipAddr: '127.0.0.1', port: 40002 } }));
  assert.equal(store.get().linkLost, false);
  await assert.rejects(api.command('EWLEX', { comInfo: lan }));
  assert.equal(store.get().linkLost, true);
  stop();
});

const dom = loadDom();
test('unit names and descriptions from the units are drawn as text, never as markup', { skip: !dom && 'no DOM module' }, async () => {
  const { window, document } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document, Node: window.Node });
  const units = (await import('../../web/linkmeter/src/views/units.js')).default;
  const hostile = '<img src=x onerror="globalThis.ran=1">';
  const store = createStore({ units: [{ com: 2, model: 'VL-B7', name: hostile, descr: '<b>bold</b>', serial: '009C0021', ipAddr: '127.0.0.1', port: 1 }],
    loggers: [], unit: null, unitInfo: null, linkLost: false, busy: 0 });
  const { element } = units.create({ store, connection: { connect() {}, disconnect() {} }, storage: memoryStorage() });
  document.body.append(element);
  assert.equal(element.querySelectorAll('img, b').length, 0);
  assert.ok(element.querySelector('[data-test=unit-row]').textContent.includes(hostile));
  store.set({ unit: { com: 2, ipAddr: '127.0.0.1', port: 1, name: hostile, serial: '009C0021', model: '' }, unitInfo: { ruinf: { NAME: hostile } } });
  assert.equal(element.querySelector('#info-name').textContent, hostile);
  assert.equal(element.querySelectorAll('img').length, 0);
  assert.equal(globalThis.ran, undefined);
  // A search that found nothing says why units may be missed.
  store.set({ units: [], searched: true });
  assert.match(element.querySelector('#search-hint').textContent, /VPN/);
  // The address form starts with the address last connected by.
  const again = units.create({ store, connection: {}, storage: memoryStorage({ 'linkmeter.address': '{"ipAddr":"10.9.8.7","port":10001}' }) });
  assert.equal(again.element.querySelector('#address-input').value, '10.9.8.7');
  assert.equal(again.element.querySelector('#port-input').value, '10001');
});

test('routes entered by hand for a base unit are ready for surveys as soon as it is connected again', async () => {
  answers = { ComOpen: (a) => a, ComClose: null, ComTcmdRUINF: ok({ SER: '00BA0001' }), ComTcmdEBSTS: ok(), ComTcmdRDTIM: ok() };
  const route = { freq: 12, band: 0, relays: [1, 2], num: 3, serial: '00BC0103', name: '' };
  const storage = memoryStorage({ 'linkmeter.routes.00BA0001': JSON.stringify({ routes: [route], time: 1765250000000 }) });
  const { store, conn, stop } = setup({ storage });
  const usb = { com: 1, serial: '00BA0001', name: 'BENCH', model: 'VL-B1' };
  const other = { com: 1, serial: '00BA0002', name: 'SHED', model: 'VL-B1' };
  for (const [entry, kept] of [[usb, true], [other, false], [usb, true]]) {
    assert.equal(await conn.connect(entry), true);
    const reg = store.get().manualReg;
    assert.equal(Boolean(reg), kept, entry.serial);
    if (!kept) continue;
    assert.equal(reg.prov.source, 'manual');
    assert.equal(reg.prov.base.serial, '00BA0001');
    const unit = reg.regInfo.groups.flatMap((g) => g.remoteUnits).find((u) => u.num === 3);
    assert.equal(unit.serial, '00BC0103');
  }
  await conn.disconnect();
  assert.equal(store.get().manualReg, null);
  stop();
});

test('a message stays on the tab where it happened; a lost link is told on every tab', { skip: !dom && 'no DOM module' }, async () => {
  const { window, document } = dom.parseHTML('<!DOCTYPE html><html><body><div id="messages"></div></body></html>');
  Object.assign(globalThis, { document, Node: window.Node });
  const ui = await import('../../web/linkmeter/src/page/ui.js');
  setLanguage('en');
  const box = document.getElementById('messages');
  ui.mountMessages(box);
  ui.showMessagesOf('map');
  ui.showError(new api.DeviceError({ pageText: 'The plan could not be read as an image.' }));
  ui.showError(new api.DeviceError({ code1: 1026, code2: 103, msg: 'Vcomm_RecvComm : RECVDATA_ERR(-26)' }), 'Channels', 'channels');
  ui.showError(new api.DeviceError({ code1: -22, msg: '通信が失敗しました。(VLB1 STATUS=0004-0001)' }), 'Channels', 'channels');
  const shown = () => [...box.children].filter((b) => !b.hidden).map((b) => b.dataset.cause);
  const cases = [['map', ['linkLost', 'page']], ['channels', ['measure', 'linkLost']], ['units', ['linkLost']]];
  for (const [tab, causes] of cases) {
    ui.showMessagesOf(tab);
    assert.deepEqual(shown(), causes, tab);
  }
  ui.clearMessages();
});
