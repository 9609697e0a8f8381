// The report laid out as print pages, in a small DOM whose elements measure
// as tall as their data-h says (or their children together): every row
// once and in order on a page within its height, the header copied onto
// every page its table goes on to, numbered lists numbered on, page
// numbers, and copies fit for paper (no ids, what was typed as text,
// screen-only parts left out, collapsed rows shown).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { loadDom } from './dom-support.mjs';

const dom = loadDom();
const skip = !dom && 'no DOM module';
let layoutPages = null;
let h = null;
if (dom) {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node });
  const height = (el) => (el.dataset && el.dataset.h ? Number(el.dataset.h) : [...el.children].reduce((n, c) => n + height(c), 0));
  window.Element.prototype.getBoundingClientRect = function rect() {
    return { width: 100, height: height(this) };
  };
  ({ layoutPages } = await import('../../web/linkmeter/src/views/reportprint.js'));
  ({ h } = await import('../../web/linkmeter/src/ui/dom.js'));
}

const SIZE = { width: 600, sheet: 300, box: 290, footer: 20 };
const BODY = SIZE.box - SIZE.footer;

const row = (k, height = 25, props = {}) => h('tr', { dataset: { h: String(height), k }, ...props }, h('td', { text: `row ${k}` }));

function report({ rows = 30, items = 12, tall = 0 } = {}) {
  const typed = h('input', { id: 'report-technician', type: 'text' });
  typed.value = 'K. Sato';
  const routes = h('table', { id: 'report-routes', class: 'list' },
    h('thead', {}, h('tr', { dataset: { h: '20', head: 'routes' } }, h('th', { text: 'Unit' }))),
    h('tbody', {}, Array.from({ length: rows }, (_, i) => row(`r${i}`, i === 5 ? 40 + tall : 25, i === 3 ? { hidden: true } : {}))));
  return h('div', { id: 'report' },
    h('h2', { dataset: { h: '30' }, text: 'Radio survey report' }),
    h('table', { class: 'facts' }, h('tr', { dataset: { h: '22', k: 'tech' } }, h('th', { text: 'Technician' }), h('td', {}, typed))),
    h('div', { class: 'toolbar no-print', dataset: { h: '30' }, text: 'screen only' }),
    h('h3', { dataset: { h: '28' }, text: 'Routes' }), routes,
    h('h3', { dataset: { h: '28' }, text: 'Weakest hops' }),
    h('ol', { id: 'report-weakest' }, Array.from({ length: items }, (_, i) => h('li', { dataset: { h: '20', k: `l${i}` }, text: `link ${i}` }))),
    h('section', { id: 'report-comparison', class: 'print-flow' },
      h('h3', { dataset: { h: '28' }, text: 'Compared' }),
      h('table', { id: 'report-compare', class: 'list' }, h('thead', {}, h('tr', { dataset: { h: '20', head: 'compare' } }, h('th', { text: 'Hop' }))),
        h('tbody', {}, Array.from({ length: 8 }, (_, i) => row(`c${i}`, 22))))));
}

function laidOut(options) {
  const target = h('div', { id: 'report-pages' });
  const total = layoutPages(report(options), target, (n, of) => `${n} / ${of}`, SIZE);
  const boxes = [...target.querySelectorAll('[data-test=print-page]')];
  return { target, total, boxes };
}

test('every row once, in order, on pages within their height', { skip }, () => {
  for (const options of [{}, { rows: 1, items: 1 }, { rows: 80, items: 40 }]) {
    const { total, boxes } = laidOut(options);
    const order = boxes.flatMap((b) => [...b.querySelectorAll('[data-k]')].map((e) => e.dataset.k));
    const expected = ['tech', ...Array.from({ length: options.rows ?? 30 }, (_, i) => `r${i}`),
      ...Array.from({ length: options.items ?? 12 }, (_, i) => `l${i}`), ...Array.from({ length: 8 }, (_, i) => `c${i}`)];
    assert.deepEqual(order, expected);
    for (const b of boxes) assert.ok(b.querySelector('.print-body').getBoundingClientRect().height <= BODY, 'within the page');
    assert.equal(boxes.length, total);
    assert.ok(options.rows !== 80 || total > 5, `a long report makes many pages: ${total}`);
  }
});

test('headers repeat, lists number on, pages are numbered', { skip }, () => {
  const { target, total, boxes } = laidOut({ rows: 40, items: 30 });
  assert.equal(target.dataset.pages, String(total));
  assert.deepEqual(boxes.map((b) => [...b.querySelectorAll('[data-test=print-footer]')].map((f) => f.textContent)),
    boxes.map((_, i) => [`${i + 1} / ${total}`]));
  for (const table of target.querySelectorAll('table')) {
    const rows = table.querySelectorAll('tbody tr[data-k]');
    const first = rows.length ? rows[0].dataset.k : '';
    if (first.startsWith('r')) assert.equal(table.querySelector('thead tr').dataset.head, 'routes', `header above ${first}`);
    if (first.startsWith('c')) assert.equal(table.querySelector('thead tr').dataset.head, 'compare', `header above ${first}`);
  }
  for (const list of target.querySelectorAll('ol')) {
    const first = Number(list.querySelector('li').dataset.k.slice(1));
    assert.equal(list.getAttribute('start'), String(first + 1));
  }
  // A heading never ends a page.
  for (const b of boxes) assert.notEqual(b.querySelector('.print-body').lastElementChild.tagName, 'H3');
});

test('copies fit for paper', { skip }, () => {
  const { target } = laidOut({});
  assert.equal(target.querySelectorAll('[id]').length, 0, 'no ids: the screen keeps them');
  assert.equal(target.querySelector('.print-field').textContent, 'K. Sato', 'what was typed, as text');
  assert.ok(!target.textContent.includes('screen only'), 'no screen-only parts');
  assert.ok(!target.querySelector('[data-k=r3]').hidden, 'a collapsed row is printed');
});

test('a row taller than a page runs over sheets of its own, each numbered', { skip }, () => {
  const { total, boxes } = laidOut({ tall: 600 });
  const tall = boxes.find((b) => b.querySelector('[data-k=r5]'));
  assert.equal(tall.dataset.sheets, '3');
  assert.equal(tall.style.height, `${2 * SIZE.sheet + SIZE.box}px`);
  const first = Number(tall.dataset.page);
  assert.deepEqual([...tall.querySelectorAll('[data-test=print-footer]')].map((f) => [f.textContent, f.style.top]),
    [0, 1, 2].map((k) => [`${first + k} / ${total}`, `${k * SIZE.sheet + SIZE.box - SIZE.footer}px`]));
  assert.deepEqual([...tall.querySelectorAll('[data-k]')].map((e) => e.dataset.k), ['r5'], 'alone on its pages');
  assert.equal(boxes.reduce((n, b) => n + Number(b.dataset.sheets), 0), total);
});
