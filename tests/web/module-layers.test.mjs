// The page's folders are layers: a module imports from its own folder or
// from a folder below it, never from one above (src/README.md has the map).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, readdirSync, statSync } from 'node:fs';
import { dirname, join, posix, relative } from 'node:path';
import { fileURLToPath } from 'node:url';

const src = join(dirname(fileURLToPath(import.meta.url)), '../../web/linkmeter/src');
// Lowest first; the entry points at the top of src/ may import anything.
const LAYERS = ['i18n', 'ui', 'device', 'site', 'page', ['settings', 'records'], 'report', 'views'];
const rankOf = new Map(LAYERS.flatMap((l, i) => [l].flat().map((name) => [name, i])));
const ENTRIES = new Set(['main.js', 'sitelogic.js', 'cliflows.js', 'cli.js']);

const walk = (d) => readdirSync(d).flatMap((n) => {
  const p = join(d, n);
  return statSync(p).isDirectory() ? walk(p) : [p];
});
const modules = walk(src).filter((f) => f.endsWith('.js')).map((f) => relative(src, f).split('\\').join('/'));
const importRe = /(?:from\s+|import\s*\(\s*|import\s+)(['"])(\.{1,2}\/[^'"]+)\1/g;

function importsOf(module) {
  const text = readFileSync(join(src, module), 'utf8');
  return [...text.matchAll(importRe)].map((m) => posix.normalize(posix.join(posix.dirname(module), m[2])));
}
const folderOf = (module) => (module.includes('/') ? module.split('/')[0] : '');

test('every module lives in a known layer or is an entry point', () => {
  const stray = modules.filter((m) => !rankOf.has(folderOf(m)) && !ENTRIES.has(m));
  assert.deepEqual(stray, []);
});

test('imports only go downwards (or stay in their folder)', () => {
  const upward = [];
  for (const m of modules) {
    if (ENTRIES.has(m)) continue;
    for (const target of importsOf(m)) {
      const from = folderOf(m);
      const to = folderOf(target);
      if (from === to) continue;
      if (!rankOf.has(to) || rankOf.get(to) >= rankOf.get(from)) upward.push(`${m} -> ${target}`);
    }
  }
  assert.deepEqual(upward, []);
});

test('every import names a module that exists', () => {
  const known = new Set(walk(src).map((f) => relative(src, f).split('\\').join('/')));
  const missing = modules.flatMap((m) => importsOf(m).filter((t) => !known.has(t)).map((t) => `${m} -> ${t}`));
  assert.deepEqual(missing, []);
});
