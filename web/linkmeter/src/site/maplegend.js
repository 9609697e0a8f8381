// The map's legend: what each link colour, line and mark means, the same
// fixed bands as the links are drawn in. The Map tab lists the items; a
// drawing made to stand alone (the exported map, the report's plan page)
// draws them as SVG beside the plan.
import { t } from '../i18n/i18n.js';
import { levelBands } from './thresholds.js';
import { svg } from './mapdraw.js';

// [{key, shape ('line' | 'point'), text}]; `changes` adds the overlay's
// marks, `predictions` what is predicted (proposed repeaters, coverage).
export function legendItems(th, { changes = false, predictions = false } = {}) {
  const items = levelBands(th).slice().reverse().map((band) => ({ key: band.name, shape: 'line', text: `${t('quality.' + band.name)} (${band.from}–${band.to})` }));
  items.push({ key: 'silent', shape: 'line', text: t('map.legend.silent') }, { key: 'notMeasured', shape: 'line', text: t('map.legend.notMeasured') },
    { key: 'lost', shape: 'point', text: t('map.legend.lost') }, { key: 'planned', shape: 'point', text: t('map.legend.planned') },
    { key: 'lowBattery', shape: 'point', text: t('map.legend.lowBattery', { low: th.battery.ok }) });
  if (changes) items.push({ key: 'worse', shape: 'line', text: t('map.legend.worse') }, { key: 'better', shape: 'line', text: t('map.legend.better') }, { key: 'moved', shape: 'point', text: t('map.legend.moved') });
  if (predictions) items.push({ key: 'proposal', shape: 'point', text: t('map.legend.proposal') }, { key: 'coverage', shape: 'point', text: t('map.legend.coverage') });
  return items;
}

const LINE_CLASS = { notMeasured: 'none', worse: 'none change-worse', better: 'none change-better' };
const CHANGES = new Set(['worse', 'better']);

// One legend swatch drawn with the map's own classes, so it has the link's
// or pin's colour wherever the map's style applies. A change is its outline
// and arrow around a line of any class.
function swatch(item, x, y, u) {
  if (item.shape === 'line') {
    const cls = LINE_CLASS[item.key] || item.key;
    const dashed = item.key === 'silent' || item.key === 'notMeasured';
    const ends = { x1: x, y1: y, x2: x + 28 * u, y2: y };
    return svg('g', { class: `map-link c-${cls}` },
      CHANGES.has(item.key) ? svg('line', { ...ends, class: 'map-change-halo', 'stroke-width': 10 * u }) : null,
      svg('line', { ...ends, 'stroke-width': 4 * u, 'stroke-dasharray': dashed ? `${6 * u} ${4 * u}` : null }),
      CHANGES.has(item.key) ? svg('text', { x: x + 9 * u, y: y + 4 * u, 'font-size': 12 * u, class: 'map-change-mark' }, document.createTextNode(item.key === 'worse' ? '▼' : '▲')) : null);
  }
  if (item.key === 'lost') return svg('circle', { cx: x + 14 * u, cy: y, r: 7 * u, class: 'map-lost' });
  if (item.key === 'lowBattery') {
    return svg('g', { class: 'map-pin battery-low' }, svg('circle', { cx: x + 14 * u, cy: y, r: 11 * u, class: 'map-battery-ring' }),
      svg('circle', { cx: x + 14 * u, cy: y, r: 7 * u, class: 'placed' }));
  }
  if (item.key === 'proposal') {
    const cx = x + 14 * u;
    return svg('g', { class: 'map-proposal' }, svg('polygon', { points: `${cx},${y - 7 * u} ${cx + 7 * u},${y} ${cx},${y + 7 * u} ${cx - 7 * u},${y}`, class: 'map-proposal-pin' }));
  }
  const cls = item.key === 'planned' ? 'planned' : 'placed';
  return svg('g', { class: `map-pin${item.key === 'moved' ? ' moved' : ''}` }, svg('circle', { cx: x + 14 * u, cy: y, r: 7 * u, class: cls }));
}

// The legend as an SVG group at (x, y) of the drawing: heading lines
// (plan, survey date) then a row per item. `u`: the drawing's size unit.
export function legendElement(items, { x, y, u, heading = [] }) {
  const g = svg('g', { class: 'map-legend', 'data-legend': '' });
  let at = y + 16 * u;
  for (const line of heading) {
    g.append(svg('text', { x, y: at, 'font-size': 13 * u, class: 'map-legend-heading' }, document.createTextNode(line)));
    at += 20 * u;
  }
  for (const item of items) {
    at += 6 * u;
    g.append(swatch(item, x, at - 4 * u, u));
    g.append(svg('text', { x: x + 36 * u, y: at, 'font-size': 12 * u, 'data-key': item.key }, document.createTextNode(item.text)));
    at += 14 * u;
  }
  return g;
}
