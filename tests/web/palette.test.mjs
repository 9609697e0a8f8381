// One palette: the style sheet declares exactly ui/palette.js's colours,
// no other file of the page writes one of them out again, and every
// colour name a rule uses is declared.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, readdirSync, statSync } from 'node:fs';
import { dirname, join, relative } from 'node:path';
import { fileURLToPath } from 'node:url';
import { PALETTE, cssProperties } from '../../web/linkmeter/src/ui/palette.js';

const src = join(dirname(fileURLToPath(import.meta.url)), '../../web/linkmeter/src');
const walk = (d) => readdirSync(d).flatMap((n) => (statSync(join(d, n)).isDirectory() ? walk(join(d, n)) : [join(d, n)]));
const style = readFileSync(join(src, 'style.css'), 'utf8');

// The :root blocks of the style sheet: the palette's is the one that holds --good.
const roots = [...style.matchAll(/:root\s*\{([^}]*)\}/g)].map((m) => ({ at: m.index, text: m[0], body: m[1] }));
const paletteRoot = roots.find((r) => /--good:/.test(r.body));
const declared = (body) => Object.fromEntries([...body.matchAll(/(--[\w-]+)\s*:\s*([^;]+);/g)].map((m) => [m[1], m[2].replace(/\s+/g, '')]));

test('style.css declares the palette as custom properties, value for value', () => {
  assert.ok(paletteRoot, 'a :root block with the palette');
  const want = Object.fromEntries(Object.entries(cssProperties()).map(([k, v]) => [k, v.replace(/\s+/g, '')]));
  assert.deepEqual(declared(paletteRoot.body), want);
});

test('no file of the page writes a palette colour out again', () => {
  const values = Object.values(PALETTE).map((hex) => {
    const n = parseInt(hex.slice(1), 16);
    return { hex, pattern: new RegExp(`${hex}\\b|rgba?\\(\\s*${(n >> 16) & 255}\\s*,\\s*${(n >> 8) & 255}\\s*,\\s*${n & 255}\\s*[,)]`, 'i') };
  });
  const copies = [];
  for (const file of walk(src).filter((f) => /\.(js|css)$/.test(f) && !f.endsWith('palette.js'))) {
    let text = readFileSync(file, 'utf8');
    if (file.endsWith('style.css')) text = text.replace(paletteRoot.text, '');
    for (const { hex, pattern } of values) if (pattern.test(text)) copies.push(`${relative(src, file)}: ${hex}`);
  }
  assert.deepEqual(copies, []);
});

test('every colour name the style sheets use is declared', () => {
  const names = new Set(roots.flatMap((r) => Object.keys(declared(r.body))));
  const sheets = walk(src).filter((f) => f.endsWith('.css')).map((f) => readFileSync(f, 'utf8')).join('\n');
  const unknown = [...new Set([...sheets.matchAll(/var\((--[\w-]+)\)/g)].map((m) => m[1]))].filter((n) => !names.has(n));
  assert.deepEqual(unknown, []);
});
