// The report laid out as A4 pages for printing to PDF. The print engine
// splits table rows across pages and draws no page numbers, so the page
// does it itself: the report's parts are copied into a sheet as wide as the
// print's, measured there, laid out by reportpages.js and put into boxes one
// sheet high, each with its page number at the bottom. Only the PDF print
// uses them (html.paged-print); the screen and the print dialog keep the
// report as it is.
import { h, fill } from '../ui/dom.js';
import { paginate, sheetNumbers } from '../report/reportpages.js';

// The print lays A4 with 15 mm margins (510 × 757 pt to print on) out at
// 1.25 CSS px per point as long as nothing is wider: 637.8 × 946 px a sheet.
// Measured: 94 blocks of 10 px fill a sheet, the 95th starts the next; a
// document wider than 638 px is shrunk, which would change every height.
// So the pages are a little narrower and the boxes a little lower than a
// sheet: rounding never carries a box onto the next sheet.
export const PRINT_PAGE = Object.freeze({ width: 630, sheet: 946, box: 936, footer: 24 });

const HEADINGS = new Set(['H1', 'H2', 'H3', 'H4']);

// A copy fit for paper: no ids (the screen keeps them), what was typed as
// text, buttons as their words, hidden rows and screen-only parts gone.
const FIELDS = 'input, textarea, select';

function fieldText(field) {
  if (field.tagName !== 'SELECT') return field.value;
  const chosen = [...field.querySelectorAll('option')].find((o) => o.value === field.value);
  return chosen ? chosen.textContent : '';
}

function printable(el) {
  const copy = el.cloneNode(true);
  // A copy loses what was typed: read it from the fields copied, in order.
  const typed = [...el.querySelectorAll(FIELDS)].map(fieldText);
  [...copy.querySelectorAll(FIELDS)].forEach((x, i) => x.replaceWith(h('span', { class: 'print-field', text: typed[i] })));
  for (const x of copy.querySelectorAll('.no-print')) x.remove();
  for (const x of copy.querySelectorAll('button')) x.replaceWith(h('span', { text: x.textContent }));
  for (const x of [copy, ...copy.querySelectorAll('*')]) {
    x.removeAttribute('id');
    if (x !== copy && x.hidden && x.tagName !== 'TR') x.remove();
    else x.hidden = false;
  }
  return copy;
}

// A table's heading row and its other rows, whether in sections or not.
function headRow(table) {
  const head = [...table.children].find((c) => c.tagName === 'THEAD');
  return head ? head.firstElementChild : null;
}

function tableRows(table) {
  return [...table.children].filter((c) => c.tagName !== 'THEAD' && c.tagName !== 'COLGROUP')
    .flatMap((c) => (c.tagName === 'TR' ? [c] : [...c.children]))
    .filter((r) => r.tagName === 'TR' && !r.classList.contains('no-print'));
}

// The parts of the report in order: blocks, and tables and lists whose rows
// may go on different pages; a .print-flow box is taken apart likewise; a
// .print-new-page block starts a page.
function partsOf(source, parts = []) {
  for (const el of source.children) {
    if (el.classList.contains('no-print') || el.hidden) continue;
    if (el.classList.contains('print-flow')) {
      partsOf(el, parts);
    } else if (el.tagName === 'TABLE') {
      const head = headRow(el);
      parts.push({ kind: 'table', shell: el.cloneNode(false), header: head ? printable(head) : null, rows: tableRows(el).map((r) => printable(r)) });
    } else if ((el.tagName === 'UL' || el.tagName === 'OL') && el.children.length) {
      parts.push({ kind: 'list', shell: el.cloneNode(false), header: null, rows: [...el.children].map((li) => printable(li)) });
    } else {
      parts.push({ kind: 'block', el: printable(el), keepWithNext: HEADINGS.has(el.tagName), newPage: el.classList.contains('print-new-page') });
    }
  }
  for (const p of parts) if (p.shell) p.shell.removeAttribute('id');
  return parts;
}

// All parts in one long sheet, off screen, to be measured.
function measure(parts, sheet) {
  for (const p of parts) {
    if (p.kind === 'block') sheet.append(p.el);
    else if (p.kind === 'table') sheet.append(h('table', { class: p.shell.className }, p.header ? h('thead', {}, p.header) : null, h('tbody', {}, p.rows)));
    else sheet.append(h(p.shell.tagName.toLowerCase(), { class: p.shell.className }, p.rows));
  }
  const height = (el) => el.getBoundingClientRect().height;
  return parts.map((p) => {
    if (p.kind === 'block') return { height: height(p.el), keepWithNext: p.keepWithNext, newPage: p.newPage };
    if (p.kind === 'table') {
      const first = p.header || p.rows[0];
      p.widths = first ? [...first.children].map((c) => c.getBoundingClientRect().width) : [];
    }
    // A group's heading row stays with the group's first row.
    const row = (r) => (r.classList.contains('group-head') ? { height: height(r), keepWithNext: true } : height(r));
    return { header: p.header ? height(p.header) : 0, rows: p.rows.map(row) };
  });
}

// The rows from..to of a part, in a table or list of their own; a table
// keeps the columns it was measured with, so its rows keep their heights.
function rowsPiece(part, piece) {
  const rows = part.rows.slice(piece.from, piece.to);
  if (part.kind === 'list') {
    const list = h(part.shell.tagName.toLowerCase(), { class: part.shell.className }, rows);
    if (part.shell.tagName === 'OL') list.setAttribute('start', String(piece.from + 1));
    return list;
  }
  const cols = part.widths.map((w) => {
    const col = h('col');
    col.style.width = `${w}px`;
    return col;
  });
  const table = h('table', { class: `${part.shell.className} print-fixed` }, h('colgroup', {}, cols),
    piece.header && part.header ? h('thead', {}, part.header.cloneNode(true)) : null, h('tbody', {}, rows));
  return table;
}

function pageBox(page, parts, total, footerText, size) {
  const body = h('div', { class: 'print-body' }, page.pieces.map((piece) =>
    (piece.from === undefined ? parts[piece.section].el || rowsPiece(parts[piece.section], { from: 0, to: 0, header: true }) : rowsPiece(parts[piece.section], piece))));
  const box = h('div', { class: 'print-page', test: 'print-page', dataset: { page: String(page.first), sheets: String(page.sheets) } }, body);
  box.style.height = `${(page.sheets - 1) * size.sheet + size.box}px`;
  for (const [k, n] of sheetNumbers(page, total).entries()) {
    const footer = h('div', { class: 'print-footer', test: 'print-footer', text: footerText(n.page, n.pages) });
    footer.style.top = `${k * size.sheet + size.box - size.footer}px`;
    footer.style.height = `${size.footer}px`;
    footer.style.lineHeight = `${size.footer}px`;
    box.append(footer);
  }
  return box;
}

function sheetElement(className, size) {
  const el = h('div', { class: `print-sheet ${className}` });
  el.style.width = `${size.width}px`;
  return el;
}

// Lays the report in `source` out as pages into `target` (emptied first);
// footerText(page, pages) words the page number. → the number of sheets.
// A page whose content came out taller than measured (a rounding the
// layout cannot see) is laid out again with that much less room.
export function layoutPages(source, target, footerText, size = PRINT_PAGE) {
  let room = size.box - size.footer;
  for (let attempt = 0; ; attempt++) {
    const parts = partsOf(source);
    const scratch = sheetElement('print-measure', size);
    document.body.append(scratch);
    const layout = paginate(measure(parts, scratch), { body: room, sheet: size.sheet });
    fill(scratch);
    const boxes = layout.pages.map((p) => pageBox(p, parts, layout.total, footerText, size));
    scratch.append(...boxes);
    const over = Math.max(0, ...boxes.map((b, i) => (layout.pages[i].sheets > 1 ? 0 : b.firstChild.getBoundingClientRect().height - room)));
    scratch.remove();
    if (over <= 0.5 || attempt === 2) {
      fill(target, sheetElement('', size));
      target.firstChild.append(...boxes);
      target.dataset.pages = String(layout.total);
      return layout.total;
    }
    room -= Math.ceil(over);
  }
}

// Resolves once every image of the laid-out pages can be drawn (a plan's
// image printed before it is decoded would be left blank).
export async function imagesReady(target) {
  await Promise.all([...target.querySelectorAll('img')].map((img) => img.decode().catch(() => undefined)));
}
