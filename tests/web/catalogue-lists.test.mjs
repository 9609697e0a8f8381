// The page's settings blocks and survey commands come from the catalogue's
// rules (the file the page build makes), and equal the lists the page kept
// by hand before.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { settingsBlocks, surveyCommands } from '../../web/linkmeter/src/device/cataloguelists.js';

const rulesPath = process.env.LM_CATALOGUE_RULES;
const rules = rulesPath ? JSON.parse(readFileSync(rulesPath, 'utf8')) : null;
const skip = !rules && 'LM_CATALOGUE_RULES not set';

test('the built rules give the blocks and surveys the page listed by hand', { skip }, () => {
  const before = [
    { id: 'unit', read: 'RUINF', write: 'WUINF' },
    { id: 'network', read: 'RNETP', write: 'WNETP' },
    { id: 'servers', read: 'RNSRV', write: 'WNSRV' },
    { id: 'proxy', read: 'RPRXY', write: 'WPRXY' },
    { id: 'clock', read: 'RDTIM', write: 'WDTIM', skip: ['TimeOffset'] },
    { id: 'wlan', read: 'RWLAN', write: 'WWLAN' },
    { id: 'current', read: 'RCURP', write: 'WCURP' },
    { id: 'recorded', read: 'RSUCP', write: 'WSUCP' },
    { id: 'encoding', read: 'RENCD', write: 'WENCD' },
    { id: 'warnings', read: 'RWARP', write: 'WWARP' },
  ];
  assert.deepEqual(settingsBlocks(rules), before);
  assert.deepEqual(surveyCommands(rules), ['EWLEX', 'EWLRU']);
});

test('every key a form offers is one its write sends', { skip }, () => {
  for (const b of settingsBlocks(rules)) {
    for (const a of rules.commands[b.write].args) {
      assert.equal((b.skip || []).includes(a.key), a.sent === false, `${b.write}.${a.key}`);
    }
  }
});

// Rules of a different catalogue: what the lists keep and what they drop.
test('lists from other rules', () => {
  const row = (...keys) => ({ args: keys.map(([key, sent]) => ({ key, sent })) });
  const commands = { RA: row(), WA: row(['X', true]), RB: row(), WB: row(['Y', true], ['Z', false]), RC: row(), S1: row(), S2: row() };
  const cases = [
    ['a form block', { commands, blocks: [{ name: 'a', read: 'RA', write: 'WA', form: true }] }, [{ id: 'a', read: 'RA', write: 'WA' }]],
    ['an unsent key is skipped', { commands, blocks: [{ name: 'b', read: 'RB', write: 'WB', form: true }] },
      [{ id: 'b', read: 'RB', write: 'WB', skip: ['Z'] }]],
    ['not a form', { commands, blocks: [{ name: 'a', read: 'RA', write: 'WA', form: false }] }, []],
    ['a write without a row', { commands, blocks: [{ name: 'c', read: 'RC', write: 'WC', form: true }] }, []],
    ['no blocks at all', { commands }, []],
  ];
  for (const [what, r, blocks] of cases) assert.deepEqual(settingsBlocks(r), blocks, what);
  assert.deepEqual(surveyCommands({ commands, surveys: ['S2', 'S1', 'S3'] }), ['S2', 'S1'], 'kept in order, unknown dropped');
  assert.deepEqual(surveyCommands({ commands }), []);
});
