// The SVG of one plan: its image, the links and the pins, in the plan's own
// coordinates (pixels of its image), so the view pans and zooms by its
// viewBox alone and the report prints the same drawing.
import { t } from '../i18n/i18n.js';
import { placeLabels, PIN_FONT, NOTE_FONT } from './maplabels.js';

const SVG = 'http://www.w3.org/2000/svg';

export function svg(tag, attrs = {}, ...children) {
  const el = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attrs)) if (v !== null && v !== undefined && v !== false) el.setAttribute(k, String(v));
  for (const c of children.flat()) if (c) el.append(c);
  return el;
}

// Sizes on the plan follow the plan's size, so a pin reads the same on a
// small sketch and on a large photo.
export const planUnit = (plan) => Math.max(plan.width, plan.height) / 800;

const fmt = (v) => Math.round(v * 10) / 10;

// The words beside a link: its distance and the other plan's name.
export function linkNote(link) {
  const notes = [];
  if (link.metres !== null && link.metres !== undefined) notes.push(`${link.metres} m`);
  if (link.otherPlan) notes.push(t('map.otherPlan', { plan: link.otherPlan }));
  return notes.join(' · ');
}

// The words beside a pin: the unit's label and its battery, a low one
// flagged.
export function pinText(unit, mark) {
  const lines = [unit.label];
  if (mark && mark.battery !== null && mark.battery !== undefined) lines.push((mark.lowBattery ? '⚠ ' : '') + t('map.battery', { value: mark.battery }));
  return lines.join(' · ');
}

// Where each pin's label and each link's note goes on the plan so that none
// covers another or a pin (maplabels.js): {pins, notes} for the options of
// pinElement and linkElement.
export function labelPlaces(links, pins, marks, u) {
  return placeLabels({
    u,
    pins: pins.map((p) => ({ key: p.key, at: p.at, text: pinText(p, marks.get(p.key)) })),
    notes: links.filter((l) => linkNote(l)).map((l) => ({ key: l.key, x1: l.x1, y1: l.y1, x2: l.x2, y2: l.y2, text: linkNote(l) })),
  });
}

// One link: a line (dashed when not measured or silent), its class for the
// colour, a badge of lost probes, the distance, the other plan's name.
// `mark`: 'worse' | 'better' | null from the changes overlay: the line keeps
// its class's colour, the change is an outline behind it and an arrow on
// it. `note`: where its words go ({x, y, anchor}; above the middle by
// default).
export function linkElement(link, u, { mark = null, onRoute = false, note = null } = {}) {
  const g = svg('g', {
    class: `map-link c-${link.cls}${onRoute ? ' on-route' : ''}${mark ? ' change-' + mark : ''}`,
    'data-link': '', 'data-from': link.from, 'data-to': link.to, 'data-class': link.cls,
    'data-change': mark || null, 'data-lost': link.lost || null,
  });
  const ends = { x1: fmt(link.x1), y1: fmt(link.y1), x2: fmt(link.x2), y2: fmt(link.y2) };
  const width = link.width * u * (onRoute ? 1.6 : 1);
  if (mark) g.append(svg('line', { ...ends, class: 'map-change-halo', 'stroke-width': fmt(width + 6 * u) }));
  g.append(svg('line', {
    ...ends, class: 'map-link-line', 'stroke-width': fmt(width),
    'stroke-dasharray': link.dashed ? `${fmt(6 * u)} ${fmt(4 * u)}` : null,
  }));
  const mx = (link.x1 + link.x2) / 2;
  const my = (link.y1 + link.y2) / 2;
  if (mark) {
    const ax = link.x1 + (link.x2 - link.x1) * 0.3;
    const ay = link.y1 + (link.y2 - link.y1) * 0.3;
    g.append(svg('text', { x: fmt(ax), y: fmt(ay + 4 * u), 'font-size': fmt(12 * u), class: 'map-change-mark', 'data-badge': mark },
      document.createTextNode(mark === 'worse' ? '▼' : '▲')));
  }
  const words = linkNote(link);
  const at = note || { x: mx, y: my - 4 * u };
  if (words) {
    g.append(svg('text', { x: fmt(at.x), y: fmt(at.y), 'font-size': fmt(NOTE_FONT * u), class: 'map-link-note', 'text-anchor': at.anchor || 'middle' },
      document.createTextNode(words)));
  }
  if (link.lost) {
    g.append(svg('circle', { cx: fmt(mx), cy: fmt(my), r: fmt(7 * u), class: 'map-lost', 'data-badge': 'lost' }));
    g.append(svg('text', { x: fmt(mx), y: fmt(my + 3.5 * u), 'font-size': fmt(10 * u), class: 'map-lost-text' }, document.createTextNode(String(link.lost))));
  }
  return g;
}

// One pin: a circle coloured by the verdict of its hop in, its label and
// battery; a planned unit is drawn hollow, a low battery ringed in the bad
// colour. `label`: where the words go ({dx, dy, anchor}; right by default).
export function pinElement(unit, mark, u, { selected = false, moved = false, dim = false, label = null } = {}) {
  const p = unit.at;
  const low = Boolean(mark && mark.lowBattery);
  const g = svg('g', {
    class: `map-pin v-${mark ? mark.verdict : 'none'}${selected ? ' selected' : ''}${moved ? ' moved' : ''}${dim ? ' dim' : ''}${low ? ' battery-low' : ''}`,
    transform: `translate(${fmt(p.x)} ${fmt(p.y)})`,
    'data-pin': '', 'data-serial': unit.key, 'data-x': fmt(p.x), 'data-y': fmt(p.y), 'data-state': p.state,
    'data-kind': unit.kind, 'data-moved': moved ? 'true' : null, 'data-battery': mark && mark.batteryClass ? mark.batteryClass : null,
  });
  const r = (unit.kind === 'remote' ? 7 : 9) * u;
  if (low) g.append(svg('circle', { r: fmt(r + 4 * u), class: 'map-battery-ring', 'data-badge': 'battery' }));
  g.append(svg('circle', { r: fmt(r), class: p.state === 'planned' ? 'planned' : 'placed' }));
  const at = label || { dx: 11 * u, dy: 4 * u, anchor: 'start' };
  g.append(svg('text', { x: fmt(at.dx), y: fmt(at.dy), 'font-size': fmt(PIN_FONT * u), 'text-anchor': at.anchor === 'start' ? null : at.anchor, class: low ? 'battery-low' : null },
    document.createTextNode(pinText(unit, mark))));
  return g;
}

// Makes `layer` hold one element per item, in order, replacing only those
// whose signature changed: a unit placed repaints its own corner of the
// plan, not all of it. items: [{key, sig, make()}].
export function reconcile(layer, items) {
  const old = new Map([...layer.children].map((el) => [el.dataset.key, el]));
  let at = layer.firstChild;
  for (const item of items) {
    let el = old.get(item.key);
    old.delete(item.key);
    if (!el || el.dataset.sig !== String(item.sig)) {
      const made = item.make();
      made.dataset.key = item.key;
      made.dataset.sig = item.sig;
      if (el && at === el) at = made;
      if (el) el.replaceWith(made);
      el = made;
    }
    if (el !== at) layer.insertBefore(el, at);
    at = el.nextSibling;
  }
  for (const el of old.values()) el.remove();
}

// The scale line and its length, when the plan has one.
export function scaleElement(plan, u) {
  const s = plan.scale;
  if (!s) return null;
  return svg('g', { class: 'map-scale', 'data-scale': s.metres },
    svg('line', { x1: s.x1, y1: s.y1, x2: s.x2, y2: s.y2, 'stroke-width': fmt(2 * u) }),
    svg('text', { x: s.x2, y: s.y2, 'font-size': fmt(12 * u) }, document.createTextNode(`${s.metres} m`)));
}
