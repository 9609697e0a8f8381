// The settings forms apply the command catalogue's own write checks (the
// rules file the build makes), counting text in device-code-page bytes.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import {
  ansiLength, checkValue, checkWrite, changedValues, compareReadBack, fieldKind, parseText, valueText, unstorableChar,
} from '../../web/linkmeter/src/settings/forms.js';
import { setLanguage, t } from '../../web/linkmeter/src/i18n/i18n.js';
import '../../web/linkmeter/src/i18n/servicetexts.js';

const rulesPath = process.env.LM_CATALOGUE_RULES;
const rules = rulesPath ? JSON.parse(readFileSync(rulesPath, 'utf8')) : null;
const arg = (mnemonic, key) => rules.commands[mnemonic].args.find((a) => a.key === key);
const code = (problem) => (problem === null ? 'ok' : problem.code);

test('values against the catalogue rows', { skip: !rules && 'LM_CATALOGUE_RULES not set' }, () => {
  const kanji = (n) => '設'.repeat(n);
  const cases = [
    ['WUINF', 'NAME', 'A'.repeat(32), 'ok'],
    ['WUINF', 'NAME', 'A'.repeat(33), 0],
    ['WUINF', 'NAME', '', 0],
    ['WUINF', 'NAME', kanji(16), 'ok'], // 32 bytes in CP932
    ['WUINF', 'NAME', kanji(17), 0],
    ['WUINF', 'NAME', 'ｱ'.repeat(32), 'ok'], // half-width katakana: one byte each
    ['WUINF', 'NAME', '😀', -2],
    ['WUINF', 'DESC', 'pump 3–4', -2], // an en dash has no CP932 form
    ['WUINF', 'DESC', 'pump 3―4 〜 ①', 'ok'],
    ['WUINF', 'NAME', 5, -2],
    ['WUINF', 'UNITS', 1, 'ok'],
    ['WUINF', 'UNITS', 2, 0],
    ['WUINF', 'UNITS', 1.5, -2],
    ['WUINF', 'UNITS', '1', -2],
    ['WUINF', 'UNITS', 2 ** 31, -2],
    ['EIREG', 'ID', [1, 2, 3, 4, 5, 6, 7, 8], 'ok'],
    ['EIREG', 'ID', [1, 2, 3, 4, 5, 6, 7], 0],
    ['EIREG', 'ID', [1, 2, 3, 4, 5, 6, 7, 256], -2],
    ['EINIT', 'MODE', 'GSM', 'ok'],
    ['EINIT', 'MODE', 'gsm', 0],
    ['ELOGS', 'NUM', -1, 'ok'],
    ['ELOGS', 'NUM', -2, 0],
    ['ELOGS', 'Limit', 1e9, 'ok'], // no upper limit
    ['WSUCP', 'EVT0', { enable: 1, week: 7, hour: 23, minute: 59 }, 'ok'], // a packed report event
    ['WSUCP', 'EVT0', { enable: 1, week: 7, hour: 24, minute: 0 }, 0],
    ['WSUCP', 'EVT0', { enable: 1, week: 0, hour: 1 }, 0],
  ];
  for (const [mnemonic, key, value, expected] of cases) {
    assert.equal(code(checkValue(arg(mnemonic, key), value)), expected, `${mnemonic}.${key} = ${JSON.stringify(value)}`);
  }
});

test('every settings write key gets a field whose empty value the form leaves out', { skip: !rules && 'LM_CATALOGUE_RULES not set' }, () => {
  for (const [name, row] of Object.entries(rules.commands)) {
    if (!/^W/.test(name)) continue;
    for (const a of row.args) {
      assert.ok(['switch', 'number', 'text', 'choice', 'bytes', 'members', 'none'].includes(fieldKind(a)), `${name}.${a.key}`);
    }
  }
});

test('a write is checked key by key; required keys must be there', () => {
  const row = { args: [
    { key: 'A', reader: 'integer', need: 'required', check: { kind: 'range', lo: 0, hi: 9 } },
    { key: 'B', reader: 'text', need: 'optional', check: { kind: 'length', lo: 1, hi: 4 } },
    { key: 'C', reader: 'integer', need: 'optional', check: { kind: 'range', lo: 0, hi: null } },
  ] };
  assert.deepEqual(Object.keys(checkWrite(row, { B: 'toolong' })), ['A', 'B']);
  assert.equal(checkWrite(row, {}).A.code, -1);
  assert.deepEqual(checkWrite(row, { A: 3, C: 123456 }), {});
  assert.deepEqual(checkWrite(row, { A: 3, C: -1 }).C.rule, ['form.atLeast', { lo: 0 }]);
});

test('only changed keys are written, and the read-back says which took', () => {
  const read = { NAME: 'old', DESC: 'same', UNITS: 0, STATUS: '0002-0000' };
  const changed = changedValues(read, { NAME: 'new', DESC: 'same', UNITS: 1, ID: undefined });
  assert.deepEqual(changed, { NAME: 'new', UNITS: 1 });
  assert.deepEqual(compareReadBack(changed, { NAME: 'new', UNITS: 0 }).map((e) => [e.key, e.ok]), [['NAME', true], ['UNITS', false]]);
  assert.deepEqual(compareReadBack({ ID: [1, 2] }, { ID: [1, 2] })[0].ok, true);
});

test('form texts to values and back', () => {
  const int = { reader: 'integer' };
  const bytes = { reader: 'bytes' };
  assert.equal(parseText(int, ' 42 '), 42);
  assert.equal(parseText(int, '-7'), -7);
  assert.equal(code(checkValue({ ...int, check: { kind: 'any' } }, parseText(int, '4x'))), -2);
  assert.deepEqual(parseText(bytes, '0a ff,1'), [10, 255, 1]);
  assert.equal(code(checkValue({ ...bytes, check: { kind: 'any' } }, parseText(bytes, '0a zz'))), -2);
  assert.equal(valueText(bytes, [10, 255]), '0A FF');
  assert.equal(ansiLength('aｱ設'), 4);
  assert.equal(ansiLength('\ud800'), -1);
});

test('a text the unit cannot store is refused before sending, naming the character', () => {
  const desc = { key: 'DESC', reader: 'text', check: { kind: 'length', lo: 0, hi: 64 } };
  const cases = [
    ['Tank 3–4', '–', 'U+2013'],
    ['café', 'é', 'U+00E9'],
    ['水位 €', '€', 'U+20AC'],
    ['😀', '😀', 'U+1F600'],
    // CP932 has these, also in the forms the program's converter takes.
    ['Tank 3-4 ― — ～ 〜 − ① ¥ ｱ 髙', null, null],
  ];
  for (const [text, char, name] of cases) {
    assert.equal(unstorableChar(text), char, text);
    const problem = checkValue(desc, text);
    if (char === null) assert.equal(problem, null, text);
    else assert.deepEqual(problem, { code: -2, rule: ['form.charset', { char, code: name }] }, text);
  }
  for (const lang of ['en', 'ja']) {
    setLanguage(lang);
    assert.ok(t('form.charset', { char: '–', code: 'U+2013' }).includes('"–" (U+2013)') || t('form.charset', { char: '–', code: 'U+2013' }).includes('「–」(U+2013)'), lang);
  }
});
