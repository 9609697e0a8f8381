// The printed report's pages worked out from measured heights: no row split
// across pages, the table header again on every page its rows go on to,
// headings kept with what follows, the page numbers, and a row taller than a
// page running over sheets of its own.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { paginate, sheetNumbers, sheetsFor } from '../../web/linkmeter/src/report/reportpages.js';

const SIZE = { body: 100, sheet: 120 };
const block = (height, keepWithNext = false) => ({ height, keepWithNext });
const rows = (header, ...heights) => ({ header, rows: heights });
const heading = (height) => block(height, true);
const groupRow = (height) => ({ height, keepWithNext: true });
const heightOf = (row) => (typeof row === 'number' ? row : row.height);

// What every layout must hold, whatever the input: each row and block once,
// in order; a page's content (header repeats included) within the body
// unless it holds one over-tall row or block; a header above every run of
// rows of a table that has one.
function checkLayout(sections, { pages, total }) {
  const seen = [];
  for (const p of pages) {
    let height = 0;
    let units = 0;
    for (const piece of p.pieces) {
      const s = sections[piece.section];
      if (piece.from === undefined) {
        seen.push(`${piece.section}`);
        height += s.rows ? s.header : s.height;
        units++;
        continue;
      }
      assert.equal(piece.header, s.header > 0, 'the header repeats with the rows');
      height += s.header;
      for (let r = piece.from; r < piece.to; r++) {
        seen.push(`${piece.section}.${r}`);
        height += heightOf(s.rows[r]);
        units++;
      }
    }
    assert.equal(p.height, height, 'the page height is its pieces');
    if (height > SIZE.body) assert.equal(units, 1, 'only a lone over-tall row runs over its page');
    assert.equal(p.sheets, sheetsFor(height, SIZE.body, SIZE.sheet));
  }
  const expected = sections.flatMap((s, i) => (s.rows && s.rows.length ? s.rows.map((_, r) => `${i}.${r}`) : [`${i}`]));
  assert.deepEqual(seen, expected, 'every row once, in order');
  assert.equal(total, pages.reduce((n, p) => n + p.sheets, 0));
}

// A page as text: "0 1.0-2 h" = block 0, then rows 0..1 of section 1 under its header.
const pageText = (p) => p.pieces.map((x) => (x.from === undefined ? `${x.section}` : `${x.section}.${x.from}-${x.to}${x.header ? ' h' : ''}`)).join(' ');

test('pages: rows never split, headers repeat, headings stay with what follows', () => {
  const cases = [
    ['fits on one page', [block(30), rows(10, 20, 20)], ['0 1.0-2 h']],
    ['exactly full', [block(40), rows(10, 25, 25)], ['0 1.0-2 h']],
    ['one unit over moves the row', [block(40), rows(10, 25, 26)], ['0 1.0-1 h', '1.1-2 h']],
    ['long table repeats its header', [rows(10, ...Array(10).fill(30))],
      ['0.0-3 h', '0.3-6 h', '0.6-9 h', '0.9-10 h']],
    ['a list has no header to repeat', [rows(0, 40, 40, 40)], ['0.0-2', '0.2-3']],
    ['header not left alone at the bottom', [block(85), rows(10, 20)], ['0', '1.0-1 h']],
    ['heading goes with the first row', [block(60), heading(20), rows(10, 20)], ['0', '1 2.0-1 h']],
    ['heading goes with the next block', [block(60), heading(20), block(30)], ['0', '1 2']],
    ['a chain of headings moves whole', [block(50), heading(20), heading(20), block(20)], ['0', '1 2 3']],
    ['heading before an over-tall block stays', [block(10), heading(20), block(150)], ['0 1', '2']],
    ['empty table prints its header', [block(95), rows(10)], ['0', '1']],
    ['blocks in order', [block(60), block(60), block(60)], ['0', '1', '2']],
    ['a group row goes with its first row', [rows(10, 40, groupRow(20), 40)], ['0.0-1 h', '0.1-3 h']],
    ['a group row that fits with its row stays', [rows(10, 30, groupRow(20), 40)], ['0.0-3 h']],
    ['group rows in a chain move together', [rows(10, 30, groupRow(20), groupRow(20), 30)], ['0.0-1 h', '0.1-4 h']],
    ['a group row before an over-tall row stays', [rows(10, 30, groupRow(20), 150)], ['0.0-2 h', '0.2-3 h']],
    ['a new-page block starts a page, even with room', [block(10), { height: 20, newPage: true }, { height: 20, newPage: true }, block(10)], ['0', '1', '2 3']],
    ['a new-page block first takes the first page', [{ height: 20, newPage: true }, block(10)], ['0 1']],
  ];
  for (const [name, sections, expected] of cases) {
    const layout = paginate(sections, SIZE);
    assert.deepEqual(layout.pages.map(pageText), expected, name);
    checkLayout(sections, layout);
  }
});

test('a row taller than a page gets pages of its own and runs over sheets', () => {
  const cases = [
    // [sections, pages, sheets per page, total]
    [[block(20), rows(10, 20, 200, 20)], ['0 1.0-1 h', '1.1-2 h', '1.2-3 h'], [1, 2, 1], 4],
    [[rows(0, 101)], ['0.0-1'], [2], 2],
    [[rows(0, 220)], ['0.0-1'], [2], 2],
    [[rows(0, 221)], ['0.0-1'], [3], 3],
    [[block(300), block(10)], ['0', '1'], [3, 1], 4], [[block(340)], ['0'], [3], 3], [[block(341)], ['0'], [4], 4],
  ];
  for (const [sections, expected, sheets, total] of cases) {
    const layout = paginate(sections, SIZE);
    assert.deepEqual(layout.pages.map(pageText), expected);
    assert.deepEqual(layout.pages.map((p) => p.sheets), sheets);
    assert.equal(layout.total, total);
    checkLayout(sections, layout);
  }
});

test('page numbers run over every sheet, "n / total"', () => {
  const { pages, total } = paginate([block(50), rows(10, 30, 250, 30), block(90)], SIZE);
  const numbers = pages.flatMap((p) => sheetNumbers(p, total).map((n) => `${n.page} / ${n.pages}`));
  assert.deepEqual(numbers, ['1 / 6', '2 / 6', '3 / 6', '4 / 6', '5 / 6', '6 / 6']);
  assert.deepEqual(pages.map((p) => p.first), [1, 2, 5, 6]);
});

test('random reports keep every rule', () => {
  let seed = 7;
  const next = (n) => {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return seed % n;
  };
  for (let round = 0; round < 300; round++) {
    const sections = Array.from({ length: 1 + next(8) }, () => {
      if (next(3) === 0) return block(1 + next(130), next(2) === 0);
      const row = () => (next(6) === 0 ? groupRow(1 + next(30)) : 1 + next(next(10) === 0 ? 260 : 60));
      return rows(next(2) * (5 + next(10)), ...Array.from({ length: next(12) }, row));
    });
    checkLayout(sections, paginate(sections, SIZE));
  }
});

test('sizes that cannot make pages are refused', () => {
  for (const size of [{ body: 0, sheet: 10 }, { body: 20, sheet: 10 }, { body: NaN, sheet: 10 }, {}]) {
    assert.throws(() => paginate([block(1)], size), RangeError);
  }
});
