// Event log rows, filter and CSV; registration edits and the conversion's
// error numbers on fields; the sibling application's registration compared.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { logRows, filterLogs, logTable, categories, categoryText } from '../../web/linkmeter/src/device/eventlog.js';
import { csvText } from '../../web/linkmeter/src/page/csv.js';
import {
  conversionError, errorTargets, changedPaths, pathCode, setPath, readField, unitFields, GROUP_FIELDS,
} from '../../web/linkmeter/src/settings/regedit.js';
import { compareRegistrations, compareSummary } from '../../web/linkmeter/src/settings/siblingdiff.js';
import { siblingFailureText } from '../../web/linkmeter/src/device/errors.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';
import '../../web/linkmeter/src/i18n/servicetexts.js';

const logs = [
  { number: 12, category: 1, utctime: 1700000000, localtime: 1700032400, str: 'Power on' },
  { number: 40, category: 3, utctime: 1700003600, localtime: 1700036000, str: 'Mail sent, "report"' },
  { number: 41, category: 3, utctime: '18446744073709551615', localtime: '18446744073709551615', str: 'clock lost' },
];

// Node reads TZ again whenever it changes: each case runs in its own zone.
function inZone(zone, f) {
  const saved = process.env.TZ;
  process.env.TZ = zone;
  try {
    return f();
  } finally {
    if (saved === undefined) delete process.env.TZ;
    else process.env.TZ = saved;
  }
}

test('log rows newest first, in this computer\'s zone from UTC, the unit\'s own clock beside with its offset', () => {
  const cases = [
    ['UTC', '2023-11-14 22:13:20'],
    ['Asia/Tokyo', '2023-11-15 07:13:20'],
    ['America/New_York', '2023-11-14 17:13:20'],
  ];
  for (const [zone, computer] of cases) {
    const rows = inZone(zone, () => logRows(logs));
    assert.deepEqual(rows.map((r) => r.number), [40, 12, 41]);
    assert.equal(rows[1].time, computer, zone);
    assert.equal(rows[1].unitTime, '2023-11-15 07:13:20', zone);
    assert.equal(rows[1].offset, 'UTC+09:00');
  }
  const rows = logRows([...logs, { number: 7, category: 2, utctime: 1700000000, localtime: 1700000000 - 12600, str: '' }]);
  assert.equal(rows.find((r) => r.number === 7).offset, 'UTC-03:30');
  assert.equal(rows[3].time, '18446744073709551615');
  assert.equal(rows[3].offset, '');
  assert.deepEqual(categories(rows), [1, 2, 3]);
});

test('log categories in words in both languages, unknown ones by number', () => {
  for (const lang of ['en', 'ja']) {
    setLanguage(lang);
    for (const c of [1, 2, 3, 4, 5]) assert.match(categoryText(c), new RegExp(`^\\D+ \\(${c}\\)$`), `${lang} ${c}`);
    assert.match(categoryText(9), /9$/);
  }
  setLanguage('en');
});

test('log filter: every word, any case, in either time, number, text or category; and the category', () => {
  const rows = inZone('UTC', () => logRows(logs));
  assert.deepEqual(filterLogs(rows, { text: 'MAIL report' }).map((r) => r.number), [40]);
  assert.deepEqual(filterLogs(rows, { text: '2023-11-15' }).map((r) => r.number), [40, 12]);
  assert.deepEqual(filterLogs(rows, { text: 'registration' }).map((r) => r.number), [40, 41]);
  assert.deepEqual(filterLogs(rows, { category: '3' }).map((r) => r.number), [40, 41]);
  assert.deepEqual(filterLogs(rows, { text: '41', category: 1 }), []);
  assert.equal(filterLogs(rows, {}).length, 3);
});

test('log CSV text names which time is which', () => {
  const { header, rows } = inZone('UTC', () => logTable(filterLogs(logRows(logs), { category: 3 })));
  assert.equal(csvText(header, rows),
    'time (this computer),unit local time,unit utc offset,utc,category,number,text\r\n' +
    '2023-11-14 23:13:20,2023-11-15 08:13:20,UTC+09:00,1700003600,3,40,"Mail sent, ""report"""\r\n' +
    '18446744073709551615,18446744073709551615,,18446744073709551615,3,41,clock lost\r\n');
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
  assert.deepEqual(readField(groupName, '😀', types), { error: 'reg.charset', code: 3017, params: { char: '😀', code: 'U+1F600' } });
  assert.deepEqual(readField(groupName, 'G–1', types).params, { char: '–', code: 'U+2013' });
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
