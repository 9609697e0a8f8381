// The guide says what every remedy the acceptance can give means, has the
// same sections in both languages, a section for every tab, and its
// pictures with their captions, at the size the page gives them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { messageTable, setLanguage, language } from '../../web/linkmeter/src/i18n/i18n.js';
import { STEPS, REMEDIES, PICTURES, PICTURE_SIZE, guideView } from '../../web/linkmeter/src/views/guide.js';
import { loadDom } from './dom-support.mjs';
import '../../web/linkmeter/src/site/acceptancetexts.js';

const dom = loadDom();
if (dom) {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node, Event: window.Event });
}

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

test('every picture of the guide is committed in both languages at the size the page gives it, with a caption', () => {
  const names = Object.values(PICTURES);
  for (const lang of ['en', 'ja']) {
    assert.deepEqual(keys(lang, 'guide.picture.'), [...names].sort(), lang);
    assert.ok(messageTable(lang)['guide.pictureAlt'].includes('{tab}'), lang);
    for (const name of names) {
      // A PNG's size is in its IHDR chunk, right after the signature.
      const png = readFileSync(new URL(`../../web/linkmeter/guide-pictures/${name}-${lang}.png`, import.meta.url));
      assert.equal(png.toString('latin1', 1, 4), 'PNG', name);
      assert.deepEqual({ width: png.readUInt32BE(16), height: png.readUInt32BE(20) }, PICTURE_SIZE, `${name}-${lang}.png`);
    }
  }
});

test('a section shows its tab\'s picture in the page\'s language, English when that one fails to load', { skip: !dom && 'no DOM module' }, () => {
  const before = language();
  setLanguage('ja');
  try {
    const { element } = guideView([{ id: 'site', title: 'tab.site' }, { id: 'map', title: 'tab.map' }]).create();
    assert.equal(element.querySelector('#guide-map [data-test=guide-picture]'), null, 'no picture for the map');
    const figure = element.querySelector('#guide-site [data-test=guide-picture]');
    assert.equal(figure.dataset.picture, 'site-tree');
    const img = figure.querySelector('img');
    assert.deepEqual([img.getAttribute('src'), img.getAttribute('loading')], ['guide/site-tree-ja.png', 'lazy']);
    assert.equal(img.getAttribute('alt'), 'デモサイトのサイトタブ');
    assert.equal(figure.querySelector('figcaption').textContent, messageTable('ja')['guide.picture.site-tree']);
    // A missing picture falls back to English once; a missing English one stays missing.
    for (let i = 0; i < 2; i++) {
      img.dispatchEvent(new Event('error'));
      assert.equal(img.getAttribute('src'), 'guide/site-tree-en.png');
    }
  } finally {
    setLanguage(before);
  }
});
