// Event log rows, filter and CSV; registration edits and the conversion's
// error numbers on fields; the sibling application's registration compared.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { logRows, filterLogs, logTable, categories } from '../../web/linkmeter/src/eventlog.js';
import { csvText } from '../../web/linkmeter/src/csv.js';
import {
  conversionError, errorTargets, changedPaths, pathCode, setPath, readField, unitFields, GROUP_FIELDS,
} from '../../web/linkmeter/src/regedit.js';
import { compareRegistrations, compareSummary } from '../../web/linkmeter/src/siblingdiff.js';
import { siblingFailureText } from '../../web/linkmeter/src/errors.js';
import { setLanguage } from '../../web/linkmeter/src/i18n.js';
import '../../web/linkmeter/src/servicetexts.js';

const logs = [
  { number: 12, category: 1, utctime: 1700000000, localtime: 1700032400, str: 'Power on' },
  { number: 40, category: 3, utctime: 1700003600, localtime: 1700036000, str: 'Mail sent, "report"' },
  { number: 41, category: 3, utctime: '18446744073709551615', localtime: '18446744073709551615', str: 'clock lost' },
];

test('log rows newest first, times in the unit\'s own zone, huge times kept as text', () => {
  const rows = logRows(logs);
  assert.deepEqual(rows.map((r) => r.number), [40, 12, 41]);
  assert.equal(rows[1].time, '2023-11-15 07:13:20');
  assert.equal(rows[2].time, '18446744073709551615');
  assert.deepEqual(categories(rows), [1, 3]);
});

test('log filter: every word, any case, in time, number or text; and the category', () => {
  const rows = logRows(logs);
  assert.deepEqual(filterLogs(rows, { text: 'MAIL report' }).map((r) => r.number), [40]);
  assert.deepEqual(filterLogs(rows, { text: '2023-11-15' }).map((r) => r.number), [40, 12]);
  assert.deepEqual(filterLogs(rows, { category: '3' }).map((r) => r.number), [40, 41]);
  assert.deepEqual(filterLogs(rows, { text: '41', category: 1 }), []);
  assert.equal(filterLogs(rows, {}).length, 3);
});

test('log CSV text', () => {
  const { header, rows } = logTable(filterLogs(logRows(logs), { category: 3 }));
  assert.equal(csvText(header, rows),
    'time,utc,category,number,text\r\n2023-11-15 08:13:20,1700003600,3,40,"Mail sent, ""report"""\r\n' +
    '18446744073709551615,18446744073709551615,3,41,clock lost\r\n');
});

const types = { fromReal: (c, real) => Math.round(real * 10) & 0xffff, format: (c, raw) => (raw / 10).toFixed(1) };
const reg = {
  serial: '00A00001',
  groups: [{ name: 'G1', freq: 12, band: 0, repeaters: [{ num: 1, parent: 0, serial: '00C00001' }],
    remoteUnits: [{ num: 2, parent: 1, serial: '00B80002', model: 'VL-RA', name: 'HOUSE', record: { interval: 10, onetime: false },
      ch1: { chType: 13, lowerLimit: 0, upperLimit: 300, enableLowerLimit: false, enableUpperLimit: true } }] }],
};

test('registration edits: fields of a record, limits from display units, paths of what changed', () => {
  const fields = unitFields(reg.groups[0].remoteUnits[0]).map((f) => f.member);
  assert.deepEqual(fields, ['name', 'record.interval', 'ch1.enableLowerLimit', 'ch1.lowerLimit', 'ch1.enableUpperLimit', 'ch1.upperLimit']);
  const limit = unitFields(reg.groups[0].remoteUnits[0]).find((f) => f.member === 'ch1.upperLimit');
  assert.deepEqual(readField(limit, '25,5', types), { value: 255 });
  assert.deepEqual(readField(limit, 'warm', types), { error: 'reg.notNumber', code: 3039 });
  assert.deepEqual(readField({ kind: 'int', lo: 0, hi: 255, code: 3047 }, '256', types), { error: 'reg.outOfRange', code: 3047 });
  // Names are 8 bytes in the unit's code page; a group's too-long name has a number of its own.
  const [unitName, groupName] = [unitFields(reg.groups[0].remoteUnits[0])[0], GROUP_FIELDS[0]];
  assert.deepEqual(readField(unitName, '設定室ｱｲ', types), { value: '設定室ｱｲ' });
  assert.deepEqual(readField(unitName, '設定室内', types), { value: '設定室内' });
  assert.deepEqual(readField(unitName, 'ABCDEFGHI', types), { error: 'reg.tooLong', code: 3056 });
  assert.deepEqual(readField(groupName, '設定室内1', types), { error: 'reg.tooLong', code: 3018 });
  assert.deepEqual(readField(groupName, '😀', types), { error: 'reg.charset', code: 3017 });
  const edited = setPath(setPath(reg, 'groups.0.remoteUnits.0.ch1.upperLimit', 255), 'groups.0.freq', 20);
  assert.equal(reg.groups[0].freq, 12, 'the registration as read stays');
  assert.deepEqual(changedPaths(reg, edited), ['groups[0].freq', 'groups[0].remoteUnits[0].ch1.upperLimit']);
});

test('a refused WSETF marks the field its number or path names', () => {
  const changed = ['groups[0].freq', 'groups[0].remoteUnits[0].ch1.upperLimit', 'groups[0].remoteUnits[0].name'];
  const byNumber = conversionError({ code1: 3039, msg: "Invalid arguments : 'regInfo'" });
  assert.deepEqual(byNumber, { code: 3039, path: null });
  assert.deepEqual(errorTargets(byNumber, changed, pathCode), ['groups[0].remoteUnits[0].ch1.upperLimit']);
  const byPath = conversionError({ code1: 3038, msg: "Invalid arguments : 'regInfo' groups[1].remoteUnits[4].ch2.lowerLimit" });
  assert.deepEqual(errorTargets(byPath, changed, pathCode), ['groups[1].remoteUnits[4].ch2.lowerLimit']);
  assert.equal(conversionError({ code1: 0, msg: 'x' }), null);
  assert.deepEqual(['groups[0].freq', 'groups[0].name', 'groups[0].repeaters[1].parent', 'groups[0].remoteUnits[3].name',
    'groups[0].remoteUnits[3].ch2.lowerLimit', 'serial'].map(pathCode), [[3013], [3017, 3018], [3206], [3056], [3038], []]);
  assert.deepEqual(errorTargets({ code: 3018, path: null }, ['groups[0].name', 'groups[0].freq'], pathCode), ['groups[0].name']);
});

test('sibling registration against the unit\'s: same, different, only on one side', () => {
  const sibling = structuredClone(reg);
  sibling.groups[0].remoteUnits[0].name = 'BARN';
  sibling.groups[0].remoteUnits.push({ num: 3, parent: 0, serial: '00B80003', model: 'VL-RA', name: 'NEW' });
  sibling.groups[0].repeaters = [];
  const rows = compareRegistrations(reg, sibling);
  assert.deepEqual(rows.map((r) => [r.serial, r.status, r.differs]), [
    ['00B80002', 'changed', ['name']], ['00B80003', 'siblingOnly', []], ['00C00001', 'unitOnly', []]]);
  assert.deepEqual(compareSummary(rows), { same: 0, changed: 1, unitOnly: 1, siblingOnly: 1 });
  assert.ok(compareRegistrations(reg, reg).every((r) => r.status === 'same'));
  assert.deepEqual(compareRegistrations(reg, {}).map((r) => r.status), ['unitOnly', 'unitOnly']);
});

test('a failed sibling import says why in words; the program\'s own failures are left to the error box', () => {
  setLanguage('en');
  assert.match(siblingFailureText(-5), /no settings/);
  assert.match(siblingFailureText(-11), /enciphered/);
  assert.match(siblingFailureText(-42), /\(code -42\)/);
  for (const code of [-1, -2, -10, undefined]) assert.equal(siblingFailureText(code), null, String(code));
});
