// What the settings and registration forms refuse before anything is sent:
// address, mask, port, host-name and e-mail forms, network consistency,
// the confirmation of a LAN unit's own link, and repeater trees.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { ipv4Parts, maskPrefix, isHostName, isEmail, checkForm, checkNetwork } from '../../web/linkmeter/src/settings/fieldchecks.js';
import { planWrite } from '../../web/linkmeter/src/settings/forms.js';
import { treeProblems, parentLoops, durationText, pathCode, readField, unitFields, parseDuration } from '../../web/linkmeter/src/settings/regedit.js';
import { codeChoices } from '../../web/linkmeter/src/settings/settingcodes.js';

test('IPv4 addresses: four numbers 0..255, nothing else', () => {
  const cases = [
    ['192.168.1.10', [192, 168, 1, 10]],
    ['0.0.0.0', [0, 0, 0, 0]],
    ['255.255.255.255', [255, 255, 255, 255]],
    ['192.168.1.300', null],
    ['192.168.1.256', null],
    ['192.168.1', null],
    ['192.168.1.1.1', null],
    ['192.168.01.1', null], // leading zero: octal to some readers
    [' 192.168.1.1', null],
    ['192.168.1.1 ', null],
    ['192.168.1.-1', null],
    ['192.168.1.+1', null],
    ['192.168..1', null],
    ['1e2.1.1.1', null],
    ['０.1.1.1', null], // full-width digit
    ['', null],
    [undefined, null],
  ];
  for (const [text, want] of cases) assert.deepEqual(ipv4Parts(text), want, String(text));
});

test('masks: contiguous ones, prefix length', () => {
  const cases = [
    ['255.255.255.0', 24], ['255.255.255.255', 32], ['128.0.0.0', 1], ['255.255.254.0', 23], ['0.0.0.0', 0],
    ['255.0.255.0', -1], ['255.255.255.1', -1], ['0.255.255.255', -1], ['255.255.255.256', -1], ['24', -1],
  ];
  for (const [text, want] of cases) assert.equal(maskPrefix(text), want, text);
});

test('host names and e-mail addresses', () => {
  const hosts = [
    ['pool.ntp.org', true], ['smtp', true], ['mail-1.example.co.jp', true], ['example.com.', true], ['10.0.0.1', true],
    ['10.0.0.300', false], ['-bad.example', false], ['bad-.example', false], ['a..b', false], ['under_score.example', false],
    ['spa ce.example', false], ['x'.repeat(64) + '.example', false], ['', false], ['サーバ.example', false],
  ];
  for (const [text, want] of hosts) assert.equal(isHostName(text), want, text);
  const mails = [
    ['tech@example.com', true], ['first.last+tag@mail.example.co.jp', true], ['a@10.0.0.1', true],
    ['noat.example.com', false], ['@example.com', false], ['a@', false], ['a@localhost', false], ['a..b@example.com', false],
    ['.a@example.com', false], ['a b@example.com', false], ['a@b@example.com', false], ['a@-x.example', false],
    ['x'.repeat(65) + '@example.com', false],
  ];
  for (const [text, want] of mails) assert.equal(isEmail(text), want, text);
});

test('each key is checked in its own form; empty optional texts pass', () => {
  const rule = (key, value) => (checkForm(key, value) || ['ok'])[0];
  const cases = [
    ['IP', '192.168.1.300', 'check.address'], ['IP', '192.168.1.10', 'ok'], ['IP', '0.0.0.0', 'check.address'],
    ['IP', '127.0.0.1', 'check.address'], ['IP', '224.0.0.1', 'check.address'], ['IP', '255.255.255.255', 'check.address'],
    ['GW', '10.0.0.1x', 'check.address'], ['DNS2', '', 'check.address'],
    ['MASK', '255.255.0.255', 'check.mask'], ['MASK', '0.0.0.0', 'check.mask'], ['MASK', '255.255.255.0', 'ok'],
    ['SMTPPT', 0, 'check.port'], ['SMTPPT', 25, 'ok'], ['HTTPPT', 65535, 'ok'],
    ['SMTPSV', '', 'ok'], ['SMTPSV', 'smtp..example', 'check.host'], ['SNTP1', '192.168.1.300', 'check.host'],
    ['TO1', '', 'ok'], ['TO1', 'tech@example.com', 'ok'], ['FROM', 'tech(at)example.com', 'check.email'],
    ['NAME', '192.168.1.300', 'ok'], // not an address key
  ];
  for (const [key, value, want] of cases) assert.equal(rule(key, value), want, `${key} ${value}`);
});

test('network keys against each other, on what the unit will hold', () => {
  const base = { IP: '192.168.1.10', MASK: '255.255.255.0', GW: '192.168.1.1', DHCP: 0 };
  const cases = [
    [{}, {}],
    [{ IP: '192.168.1.0' }, { IP: 'check.hostPart' }],
    [{ IP: '192.168.1.255' }, { IP: 'check.hostPart' }],
    [{ GW: '192.168.2.1' }, { GW: 'check.gateway' }],
    [{ IP: '10.0.0.5' }, { GW: 'check.gateway' }], // the old gateway is now on another subnet
    [{ MASK: '255.255.0.0', GW: '192.168.2.1' }, {}],
    [{ DHCP: 1, GW: '10.1.1.1' }, {}], // the unit takes its address from DHCP
    [{ MASK: '255.255.255.254', IP: '192.168.1.10' }, { GW: 'check.gateway' }],
  ];
  for (const [edit, want] of cases) {
    const got = Object.fromEntries(Object.entries(checkNetwork({ ...base, ...edit })).map(([k, r]) => [k, r[0]]));
    assert.deepEqual(got, want, JSON.stringify(edit));
  }
});

const WNETP = { args: ['IP', 'MASK', 'GW', 'DNS1', 'DNS2'].map((key) => ({ key, reader: 'text', need: 'optional', check: { kind: 'length', lo: 1, hi: 15 } }))
  .concat([{ key: 'DHCP', reader: 'integer', check: { kind: 'range', lo: 0, hi: 1 } }, { key: 'PW', reader: 'text', check: { kind: 'length', lo: 6, hi: 64 } }]) };
const READ = { IP: '192.168.1.10', MASK: '255.255.255.0', GW: '192.168.1.1', DNS1: '192.168.1.1', DNS2: '', DHCP: 0, PW: 'vela1234' };
const checks = { form: checkForm, network: checkNetwork };
const LAN = { com: 2, serial: '009C0021', ipAddr: '127.0.0.1', port: 40000 };
const USB = { com: 1, serial: '009A0011' };

test('a write plan: what is sent, what is refused, when to ask first', () => {
  const cases = [
    ['unchanged: nothing to send', {}, LAN, [], [], null],
    ['192.168.1.300 refused, nothing asked', { IP: '192.168.1.300' }, LAN, ['IP'], ['IP'], null],
    ['a 16-byte address: the catalogue answers first', { IP: '192.168.100.100.' }, LAN, ['IP'], ['IP'], null],
    ['a new address on the connected LAN unit asks first', { IP: '192.168.1.20' }, LAN, ['IP'], [], ['IP']],
    ['the LAN password asks first', { PW: 'newpass1' }, LAN, ['PW'], [], ['PW']],
    ['a USB unit is not reached through its network settings', { IP: '192.168.1.20' }, USB, ['IP'], [], null],
    ['only DNS2 emptied is refused (1..15 bytes)', { DNS2: 'x' }, LAN, ['DNS2'], ['DNS2'], null],
  ];
  const WWLAN = { args: [{ key: 'SSID', reader: 'text', check: { kind: 'length', lo: 0, hi: 32 } }, { key: 'SEC', reader: 'integer', check: { kind: 'range', lo: 0, hi: 4 } }] };
  assert.deepEqual(planWrite(WWLAN, { SSID: 'a', SEC: 0 }, { SSID: 'b', SEC: 0 }, { unit: LAN, checks }).confirm, ['SSID'], 'the wireless LAN of a LAN unit asks first');
  for (const [what, edit, unit, sent, refused, confirm] of cases) {
    const plan = planWrite(WNETP, READ, { ...READ, ...edit }, { unit, checks });
    assert.deepEqual(Object.keys(plan.changed), sent, what);
    assert.deepEqual(Object.keys(plan.problems), refused, what);
    assert.deepEqual(plan.confirm, confirm, what);
  }
});

const group = (repeaters, remoteUnits = []) => ({ groups: [{ freq: 1, band: 0, repeaters, remoteUnits }] });
const rep = (num, parent) => ({ num, parent, serial: '00C8000' + num });

test('repeater trees: loops and missing parents are found, each field named', () => {
  const cases = [
    ['a sound chain', group([rep(1, 0), rep(2, 1), rep(3, 2)], [{ num: 1, parent: 3 }]), []],
    ['R1→R3→R2→R1', group([rep(1, 2), rep(2, 3), rep(3, 1)]),
      ['groups[0].repeaters[0].parent reg.loop', 'groups[0].repeaters[1].parent reg.loop', 'groups[0].repeaters[2].parent reg.loop']],
    ['a repeater its own parent', group([rep(1, 1)]), ['groups[0].repeaters[0].parent reg.loop']],
    ['a loop below a sound repeater', group([rep(1, 0), rep(2, 3), rep(3, 2)]),
      ['groups[0].repeaters[1].parent reg.loop', 'groups[0].repeaters[2].parent reg.loop']],
    ['a repeater hanging from a missing one', group([rep(1, 0), rep(2, 5)]), ['groups[0].repeaters[1].parent reg.noParent']],
    ['a remote unit hanging from a missing one', group([rep(1, 0)], [{ num: 4, parent: 2 }]), ['groups[0].remoteUnits[0].parent reg.noParent']],
    ['no registration', null, []],
  ];
  for (const [what, reg, want] of cases) {
    assert.deepEqual(treeProblems(reg).map((p) => `${p.path} ${p.error}`).sort(), want.sort(), what);
  }
  assert.equal(treeProblems(group([rep(1, 2), rep(2, 3), rep(3, 1)]))[0].params.loop, 'R1→R2→R3→R1');
  assert.deepEqual(parentLoops([rep(1, 2), rep(2, 1), rep(3, 4), rep(4, 3)]), [[1, 2], [3, 4]]);
  assert.deepEqual(pathCode('groups[0].remoteUnits[2].parent'), [3043]);
});

test('intervals read as seconds, minutes and hours', () => {
  const cases = [[0, '0 s'], [45, '45 s'], [90, '90 s'], [60, '1 min'], [600, '10 min'], [3600, '1 h'], [5400, '1 h 30 min'],
    [65535, '65535 s'], [-1, ''], [1.5, ''], [undefined, '']];
  for (const [s, want] of cases) assert.equal(durationText(s), want, String(s));
});

test('codes by name within the range the write accepts', () => {
  const cases = [
    [{ key: 'ROUTE', reader: 'integer', check: { kind: 'range', lo: 0, hi: 2 } }, [0, 1, 2]],
    [{ key: 'ROUTE', reader: 'integer', check: { kind: 'range', lo: 0, hi: 1 } }, [0, 1]], // WSUCP: still by name, not a checkbox
    [{ key: 'SEC', reader: 'integer', check: { kind: 'range', lo: 0, hi: 4 } }, [0, 1, 2, 3, 4]],
    [{ key: 'INT', reader: 'integer', check: { kind: 'range', lo: 0, hi: 1439 } }, null],
  ];
  for (const [arg, want] of cases) {
    const got = codeChoices(arg);
    assert.deepEqual(got && got.map((c) => c.value), want, arg.key);
  }
});

test('a monitoring interval in seconds or minutes, as the model can store it', () => {
  const field = (serial) => unitFields({ serial, monitorInterval: 60 }).find((f) => f.member === 'monitorInterval');
  const VLRA = field('00B80101'); // model 92: minutes, 0 meaning 30 s
  const VLRD = field('00C20104'); // model 97: seconds below 128, else minutes
  const VLRF = field('00C00301'); // model 96: a 16-bit number
  const read = (f, text) => { const r = readField(f, text); return r.error ? r.error : r.value; };
  const cases = [
    [VLRA, '30', 30], [VLRA, '600', 600], [VLRA, '10 min', 600], [VLRA, '255 min', 15300], [VLRA, '256 min', 'reg.outOfRange'],
    [VLRA, '90', 'reg.outOfRange'], [VLRA, '0', 'reg.outOfRange'], [VLRA, '1 h', 3600],
    [VLRD, '45', 45], [VLRD, '127 s', 127], [VLRD, '128', 'reg.outOfRange'], [VLRD, '180', 180], [VLRD, '128 min', 'reg.outOfRange'],
    [VLRF, '0', 0], [VLRF, '65535', 65535], [VLRF, '65536', 'reg.outOfRange'],
    [VLRA, 'ten', 'reg.notDuration'], [VLRA, '-30', 'reg.notDuration'], [VLRA, '1.5 min', 'reg.notDuration'], [VLRA, '', 'reg.notDuration'],
  ];
  for (const [f, text, want] of cases) assert.equal(read(f, text), want, `${f.rule} ${text}`);
  assert.equal(parseDuration('5 分'), 300);
});
