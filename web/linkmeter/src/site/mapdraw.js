// The SVG of one plan: its image, the links and the pins, in the plan's own
// coordinates (pixels of its image), so the view pans and zooms by its
// viewBox alone and the report prints the same drawing.
import { t } from '../i18n/i18n.js';

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

// One link: a line (dashed when not measured or silent), its class for the
// colour, a badge of lost probes, the distance, the other plan's name.
// `mark`: 'worse' | 'better' | null from the changes overlay.
export function linkElement(link, u, { mark = null, onRoute = false } = {}) {
  const g = svg('g', {
    class: `map-link c-${link.cls}${onRoute ? ' on-route' : ''}${mark ? ' change-' + mark : ''}`,
    'data-link': '', 'data-from': link.from, 'data-to': link.to, 'data-class': link.cls,
    'data-change': mark || null, 'data-lost': link.lost || null,
  });
  g.append(svg('line', {
    x1: fmt(link.x1), y1: fmt(link.y1), x2: fmt(link.x2), y2: fmt(link.y2), 'stroke-width': fmt(link.width * u * (onRoute ? 1.6 : 1)),
    'stroke-dasharray': link.dashed ? `${fmt(6 * u)} ${fmt(4 * u)}` : null,
  }));
  const mx = (link.x1 + link.x2) / 2;
  const my = (link.y1 + link.y2) / 2;
  const notes = [];
  if (link.metres !== null) notes.push(`${link.metres} m`);
  if (link.otherPlan) notes.push(t('map.otherPlan', { plan: link.otherPlan }));
  if (notes.length) g.append(svg('text', { x: fmt(mx), y: fmt(my - 4 * u), 'font-size': fmt(11 * u), class: 'map-link-note' }, document.createTextNode(notes.join(' · '))));
  if (link.lost) {
    g.append(svg('circle', { cx: fmt(mx), cy: fmt(my), r: fmt(7 * u), class: 'map-lost', 'data-badge': 'lost' }));
    g.append(svg('text', { x: fmt(mx), y: fmt(my + 3.5 * u), 'font-size': fmt(10 * u), class: 'map-lost-text' }, document.createTextNode(String(link.lost))));
  }
  return g;
}

// One pin: a circle coloured by the verdict of its hop in, its label and
// battery; a planned unit is drawn hollow.
export function pinElement(unit, mark, u, { selected = false, moved = false, dim = false } = {}) {
  const p = unit.at;
  const g = svg('g', {
    class: `map-pin v-${mark ? mark.verdict : 'none'}${selected ? ' selected' : ''}${moved ? ' moved' : ''}${dim ? ' dim' : ''}`,
    transform: `translate(${fmt(p.x)} ${fmt(p.y)})`,
    'data-pin': '', 'data-serial': unit.key, 'data-x': fmt(p.x), 'data-y': fmt(p.y), 'data-state': p.state,
    'data-kind': unit.kind, 'data-moved': moved ? 'true' : null,
  });
  g.append(svg('circle', { r: fmt((unit.kind === 'remote' ? 7 : 9) * u), class: p.state === 'planned' ? 'planned' : 'placed' }));
  const lines = [unit.label];
  if (mark && mark.battery !== null) lines.push(t('map.battery', { value: mark.battery }));
  g.append(svg('text', { x: fmt(11 * u), y: fmt(4 * u), 'font-size': fmt(12 * u) }, document.createTextNode(lines.join(' · '))));
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
