// One word for one thing: every text of a language, from every table the
// page adds, uses the glossary's word for a domain term and never a variant.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import { join, dirname } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { messageTable } from '../../web/linkmeter/src/i18n/i18n.js';
import { glossary as ja } from '../../web/linkmeter/src/i18n/ja.js';
import { glossary as en } from '../../web/linkmeter/src/i18n/en.js';

const SRC = join(dirname(fileURLToPath(import.meta.url)), '../../web/linkmeter/src');

// Every module that adds texts of its own, so none escapes the check.
async function loadAllTables() {
  const walk = (dir) => readdirSync(dir, { withFileTypes: true }).flatMap((e) => (e.isDirectory() ? walk(join(dir, e.name)) : [join(dir, e.name)]));
  for (const file of walk(SRC).filter((f) => f.endsWith('.js'))) {
    if (/addMessages\(\s*'(ja|en)'/.test(readFileSync(file, 'utf8'))) await import(pathToFileURL(file).href);
  }
}

// Where `variant` is written in `text`: Japanese anywhere, English as a
// whole word in any case.
function writes(lang, text, variant) {
  if (lang === 'ja') return text.includes(variant);
  const escaped = variant.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
  return new RegExp(`(^|[^A-Za-z])${escaped}(?![A-Za-z])`, 'i').test(text);
}

test('each domain term is written one way in each language, in every table', async () => {
  await loadAllTables();
  for (const [lang, glossary] of [['ja', ja], ['en', en]]) {
    const texts = Object.entries(messageTable(lang));
    assert.ok(texts.length > 300, `${lang}: the tables were loaded`);
    const found = [];
    for (const [term, { word, not }] of Object.entries(glossary)) {
      assert.ok(texts.some(([, text]) => writes(lang, text, word)), `${lang}: the glossary word "${word}" (${term}) is used`);
      for (const variant of not) {
        for (const [key, text] of texts) if (writes(lang, text, variant)) found.push(`${lang} ${key}: "${variant}" for "${word}"`);
      }
    }
    assert.deepEqual(found, [], found.join('\n'));
  }
});

test('the check finds a term written two ways', () => {
  assert.equal(writes('ja', 'サイトサーベイの結果', 'サイトサーベイ'), true);
  assert.equal(writes('en', 'Every Field survey row', 'field survey'), true);
  assert.equal(writes('en', 'keeping the stopping point', 'ping'), false);
});
