// Where the words of a plan go: each link's note (distance, other plan) and
// each pin's label are put where they cover no pin, no other label and no
// note, trying a few places around their anchor, nearest first. Sizes are
// estimated from the characters (a full-width one about as wide as the
// font is high, others about 0.6 of it), with a margin, so a placement never
// depends on the fonts of the machine that draws it. Pure logic, no DOM.

// Width of `text` at `size`, by character.
export function textWidth(text, size) {
  let w = 0;
  for (const ch of String(text)) w += ch.codePointAt(0) > 0x2e7f ? size : size * 0.6;
  return w;
}

// A box {x1, y1, x2, y2} of text drawn at (x, y) with its anchor.
function textBox(text, size, x, y, anchor) {
  const w = textWidth(text, size);
  const x1 = anchor === 'end' ? x - w : anchor === 'middle' ? x - w / 2 : x;
  return { x1, y1: y - size, x2: x1 + w, y2: y + size * 0.3 };
}

function overlap(a, b) {
  const w = Math.min(a.x2, b.x2) - Math.max(a.x1, b.x1);
  const h = Math.min(a.y2, b.y2) - Math.max(a.y1, b.y1);
  return w > 0 && h > 0 ? w * h : 0;
}

const covered = (box, taken) => taken.reduce((sum, t) => sum + overlap(box, t), 0);

// The first candidate that covers nothing taken, else the one covering
// least; its box is taken.
function choose(candidates, taken) {
  let best = null;
  for (const c of candidates) {
    const cost = covered(c.box, taken);
    if (!best || cost < best.cost) best = { ...c, cost };
    if (cost === 0) break;
  }
  taken.push(best.box);
  return best;
}

// Pin label places around a pin of radius r: right, left, above, below,
// then the corners. [dx, dy, anchor] in units of `u`.
const PIN_PLACES = [[11, 4, 'start'], [-11, 4, 'end'], [0, -11, 'middle'], [0, 20, 'middle'],
  [9, -9, 'start'], [9, 17, 'start'], [-9, -9, 'end'], [-9, 17, 'end']];

// Note places around a link's middle: above, below, beside, further off.
const NOTE_PLACES = [[0, -4, 'middle'], [0, 14, 'middle'], [12, 4, 'start'], [-12, 4, 'end'], [0, -16, 'middle'], [0, 26, 'middle'],
  [24, 4, 'start'], [-24, 4, 'end']];

export const PIN_FONT = 12;
export const NOTE_FONT = 11;

// pins: [{key, at: {x, y}, text}]; notes: [{key, x1, y1, x2, y2, text}] (a
// link's ends and its note). u: the plan's size unit. Returns {pins: key →
// {dx, dy, anchor}, notes: key → {x, y, anchor}}.
export function placeLabels({ pins, notes = [], u }) {
  const taken = pins.map((p) => ({ x1: p.at.x - 9 * u, y1: p.at.y - 9 * u, x2: p.at.x + 9 * u, y2: p.at.y + 9 * u }));
  const notePlaces = new Map();
  for (const n of [...notes].sort((a, b) => (a.key < b.key ? -1 : a.key > b.key ? 1 : 0))) {
    const mx = (n.x1 + n.x2) / 2;
    const my = (n.y1 + n.y2) / 2;
    const candidates = NOTE_PLACES.map(([dx, dy, anchor]) => ({ x: mx + dx * u, y: my + dy * u, anchor }))
      .map((c) => ({ ...c, box: textBox(n.text, NOTE_FONT * u, c.x, c.y, c.anchor) }));
    const best = choose(candidates, taken);
    notePlaces.set(n.key, { x: best.x, y: best.y, anchor: best.anchor });
  }
  const pinPlaces = new Map();
  for (const p of [...pins].sort((a, b) => a.at.y - b.at.y || a.at.x - b.at.x)) {
    const candidates = PIN_PLACES.map(([dx, dy, anchor]) => ({ dx: dx * u, dy: dy * u, anchor,
      box: textBox(p.text, PIN_FONT * u, p.at.x + dx * u, p.at.y + dy * u, anchor) }));
    const best = choose(candidates, taken);
    pinPlaces.set(p.key, { dx: best.dx, dy: best.dy, anchor: best.anchor });
  }
  return { pins: pinPlaces, notes: notePlaces };
}

// The boxes of placed labels, for checks: [{key, box}].
export function labelBoxes({ pins, notes = [], u }, places) {
  const boxes = [];
  for (const n of notes) {
    const at = places.notes.get(n.key);
    if (at) boxes.push({ key: 'note:' + n.key, box: textBox(n.text, NOTE_FONT * u, at.x, at.y, at.anchor) });
  }
  for (const p of pins) {
    const at = places.pins.get(p.key);
    if (at) boxes.push({ key: 'pin:' + p.key, box: textBox(p.text, PIN_FONT * u, p.at.x + at.dx, p.at.y + at.dy, at.anchor) });
  }
  return boxes;
}

export const boxesOverlap = (a, b) => overlap(a, b) > 0;
