// The guide says what every remedy the acceptance can give means, has the
// same sections in both languages, and a section for every tab.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { messageTable } from '../../web/linkmeter/src/i18n/i18n.js';
import { STEPS, REMEDIES } from '../../web/linkmeter/src/views/guide.js';
import '../../web/linkmeter/src/site/acceptancetexts.js';

const keys = (lang, prefix) => Object.keys(messageTable(lang)).filter((k) => k.startsWith(prefix)).map((k) => k.slice(prefix.length)).sort();

test('every remedy of the acceptance is explained, in both languages', () => {
  const given = keys('en', 'acceptance.remedy.').filter((k) => k !== 'changeChannelNoScan');
  assert.deepEqual([...REMEDIES].sort(), given);
  for (const lang of ['en', 'ja']) {
    assert.deepEqual(keys(lang, 'guide.remedy.'), [...REMEDIES].sort(), lang);
    assert.deepEqual(keys(lang, 'guide.step.'), [...STEPS].sort(), lang);
  }
});

test('a section for every tab the page has, the same in both languages', () => {
  const index = readFileSync(new URL('../../web/linkmeter/src/views/index.js', import.meta.url), 'utf8');
  const flows = index.match(/const FLOWS = \[([^\]]+)\]/)[1].split(',').map((s) => s.trim());
  assert.ok(flows.length > 10, 'the flows were read');
  const missing = (lang) => flows.filter((id) => !keys(lang, 'guide.tab.').includes(id));
  assert.deepEqual([missing('en'), missing('ja')], [[], []]);
  assert.deepEqual(keys('ja', 'guide.tab.'), keys('en', 'guide.tab.'));
});
