// What the map draws of predictions, apart from what was measured: the
// proposed repeaters (a hollow diamond each, its predicted legs dotted with
// their levels and spread) and the coverage layer (cells in the fixed
// classes, hatched and faint, captioned as a prediction). Measured links
// are solid lines and round pins; nothing here looks like them. The map
// view gives each its own layer; the report's plan pages draw the same.
import { t } from '../i18n/i18n.js';
import { svg } from './mapdraw.js';

const fmt = (v) => Math.round(v * 10) / 10;
const PATTERN = 'map-prediction-hatch';

// The hatch that marks a prediction, once per drawing.
export function predictionDefs(u) {
  return svg('defs', {}, svg('pattern', { id: PATTERN, patternUnits: 'userSpaceOnUse', width: fmt(8 * u), height: fmt(8 * u), patternTransform: 'rotate(45)' },
    svg('line', { x1: 0, y1: 0, x2: 0, y2: fmt(8 * u), class: 'map-hatch-line', 'stroke-width': fmt(2 * u) })));
}

// The coverage cells of coverageCells as one group.
export function coverageElement(coverage, u) {
  const g = svg('g', { class: 'map-coverage', 'data-coverage': '', 'data-spread': coverage.spread, 'data-cells': coverage.cells.length });
  for (const c of coverage.cells) {
    g.append(svg('rect', { x: fmt(c.x), y: fmt(c.y), width: fmt(c.w + 0.5), height: fmt(c.h + 0.5), class: `map-coverage-cell c-${c.cls}`, 'data-class': c.cls }));
  }
  const w = coverage.cells.reduce((m, c) => Math.max(m, c.x + c.w), 0);
  const hgt = coverage.cells.reduce((m, c) => Math.max(m, c.y + c.h), 0);
  g.append(svg('rect', { x: 0, y: 0, width: fmt(w), height: fmt(hgt), fill: `url(#${PATTERN})`, class: 'map-coverage-hatch' }));
  g.append(svg('text', { x: fmt(8 * u), y: fmt(18 * u), 'font-size': fmt(13 * u), class: 'map-coverage-note' },
    document.createTextNode(t('map.coverageNote', { spread: coverage.spread }))));
  return g;
}

// The proposals on plan `planId`: [{id, positions, legs, serves, feasible}]
// with `ends` key → {x, y} of the units the legs start and end at.
export function proposalElements(proposals, planId, ends, u) {
  return proposals.filter((p) => p.plan === planId && p.positions.length).map((p) => {
    const g = svg('g', { class: `map-proposal${p.feasible ? '' : ' infeasible'}`, 'data-proposal': p.id, 'data-feasible': String(p.feasible),
      'data-x': p.positions[0].x, 'data-y': p.positions[0].y, 'data-serves': p.serials.join(',') });
    const points = [ends.get(p.fromKey), ...p.positions, ...p.toKeys.map((k) => ends.get(k))];
    const legs = p.positions.length > 1 ? points.slice(1).map((q, i) => [points[i], q]) : [[points[0], p.positions[0]], ...p.toKeys.map((k) => [p.positions[0], ends.get(k)])];
    legs.forEach(([a, b], i) => {
      if (!a || !b) return;
      const leg = p.legs[i];
      g.append(svg('line', { x1: fmt(a.x), y1: fmt(a.y), x2: fmt(b.x), y2: fmt(b.y), class: 'map-proposal-leg', 'stroke-width': fmt(2 * u), 'stroke-dasharray': `${fmt(2 * u)} ${fmt(4 * u)}` }));
      if (leg) {
        g.append(svg('text', { x: fmt((a.x + b.x) / 2), y: fmt((a.y + b.y) / 2 + 14 * u), 'font-size': fmt(11 * u), class: 'map-proposal-note' },
          document.createTextNode(`${leg.level} ± ${leg.spread}`)));
      }
    });
    p.positions.forEach((q, i) => {
      const r = 10 * u;
      g.append(svg('polygon', { points: [[q.x, q.y - r], [q.x + r, q.y], [q.x, q.y + r], [q.x - r, q.y]].map((xy) => xy.map(fmt).join(',')).join(' '), class: 'map-proposal-pin', 'stroke-width': fmt(2 * u) }));
      g.append(svg('text', { x: fmt(q.x + 13 * u), y: fmt(q.y + 4 * u), 'font-size': fmt(12 * u), class: 'map-proposal-label' },
        document.createTextNode(`${t('map.proposal', { id: p.id })}${p.positions.length > 1 ? ` (${i + 1}/${p.positions.length})` : ''}`)));
    });
    return g;
  });
}
