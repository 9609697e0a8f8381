// Lays a measured report out on pages, without the DOM: the print engine
// neither keeps a table row on one page nor numbers the pages, so the page
// decides where each page ends.
//
// The report is a list of sections, in order, each one of
//   { height, keepWithNext }        a block that never splits (a heading, a paragraph);
//                                   with newPage it starts a page (a plan page)
//   { header, rows: [height, …] }   rows of a table or list; `header` (0 for none)
//                                   is printed again on every page the rows go on to;
//                                   a row may be { height, keepWithNext } (a group's
//                                   heading row goes with the row under it)
// with heights in the same unit as `body` (the height a page has for the
// report, below it the page number) and `sheet` (a whole sheet, margins
// included). A row never splits across pages, and a table header is never
// left at the bottom of a page without a row under it; a block marked
// keepWithNext (a heading) goes to the next page with whatever follows it.
// The one exception: a row (or block) taller than a page. It starts a page
// of its own, which then runs over as many sheets as it needs; the engine
// splits it where the sheets end.

const rowHeight = (row) => (typeof row === 'number' ? row : row.height);

// A row and, while it is kept with the next, the rows after it.
function rowRun(rows, from) {
  let need = 0;
  for (let k = from; k < rows.length; k++) {
    need += rowHeight(rows[k]);
    if (typeof rows[k] === 'number' || !rows[k].keepWithNext) break;
  }
  return need;
}

function firstHeight(section) {
  if (!section) return 0;
  if (!section.rows) return section.height;
  return section.header + rowRun(section.rows, 0);
}

// The height a block needs on its page: itself and, for a heading, the start
// of what follows (a chain of headings counts whole).
function neededHeight(sections, i) {
  let need = 0;
  for (let k = i; k < sections.length; k++) {
    const s = sections[k];
    if (s.rows || !s.keepWithNext) return need + firstHeight(s);
    need += s.height;
  }
  return need;
}

// How many sheets a page whose content is `height` tall runs over.
export function sheetsFor(height, body, sheet) {
  return height <= body ? 1 : 1 + Math.ceil((height - body) / sheet);
}

class Layout {
  constructor(body, sheet) {
    this.body = body;
    this.sheet = sheet;
    this.pages = [];
    this.start();
  }

  start() {
    this.page = { pieces: [], height: 0 };
    this.pages.push(this.page);
  }

  // A new page unless this one is still empty.
  next() {
    if (this.page.pieces.length) this.start();
  }

  fits(height) {
    return this.page.height + height <= this.body;
  }

  add(piece, height) {
    this.page.pieces.push(piece);
    this.page.height += height;
  }

  // A page that went over its height holds one over-tall piece: close it.
  closeIfOver() {
    if (this.page.height > this.body) this.start();
  }

  block(section, index, need) {
    if (section.newPage || !this.fits(need <= this.body ? need : section.height)) this.next();
    this.add({ section: index }, section.height);
    this.closeIfOver();
  }

  rows(section, index) {
    let piece = null;
    section.rows.forEach((entry, row) => {
      const height = rowHeight(entry);
      const header = piece ? 0 : section.header;
      const run = rowRun(section.rows, row);
      if (!this.fits(header + (section.header + run <= this.body ? run : height))) {
        this.next();
        piece = null;
      }
      if (!piece) {
        piece = { section: index, from: row, to: row, header: section.header > 0 };
        this.add(piece, section.header);
      }
      piece.to = row + 1;
      this.page.height += height;
      if (this.page.height > this.body) {
        this.start();
        piece = null;
      }
    });
  }
}

// → { pages: [{ pieces, height, first, sheets }], total }: each page's pieces
// ({section} for a block, {section, from, to, header} for the rows from..to-1
// with the header above them when header is true), the number of its first
// sheet and how many sheets it runs over; total is the number of sheets.
export function paginate(sections, { body, sheet }) {
  if (!(body > 0) || !(sheet >= body)) throw new RangeError('paginate needs 0 < body <= sheet');
  const layout = new Layout(body, sheet);
  sections.forEach((s, i) => {
    if (s.rows && s.rows.length) layout.rows(s, i);
    else layout.block(s.rows ? { height: s.header } : s, i, neededHeight(sections, i));
  });
  const pages = layout.pages.filter((p) => p.pieces.length);
  let first = 1;
  for (const p of pages) {
    p.first = first;
    p.sheets = sheetsFor(p.height, body, sheet);
    first += p.sheets;
  }
  return { pages, total: first - 1 };
}

// The page numbers printed on a page: one per sheet it runs over.
export function sheetNumbers(page, total) {
  return Array.from({ length: page.sheets }, (_, k) => ({ page: page.first + k, pages: total }));
}
