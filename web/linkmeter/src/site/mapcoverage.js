// The coverage a plan would have by the site's own fit: the plan cut into
// cells, each with the level predicted from the nearest installed base unit
// or repeater on the plan and its class under the boundaries in force. A
// prediction, never a measurement: it carries the fit's spread. Pure logic.
import { levelClass } from './thresholds.js';
import { metresPerPixel } from './maplinks.js';
import { predictLevel } from './propagation.js';

export const COVERAGE_COLUMNS = 40;

// The installed units a remote unit could hang from on plan `planId`.
function sources(geo, planId) {
  return geo.units.filter((u) => (u.kind === 'base' || u.kind === 'repeater') && geo.positions.get(u.key)
    && geo.positions.get(u.key).plan === planId && geo.positions.get(u.key).state === 'placed')
    .map((u) => geo.positions.get(u.key));
}

// {cells: [{x, y, w, h, level, cls}], spread} for `plan`, or {missing}
// ('noScale', 'noFit', 'noSource') when no coverage can be predicted.
export function coverageCells({ geo, fit, plan, th, columns = COVERAGE_COLUMNS }) {
  const perPixel = metresPerPixel(plan.scale);
  if (!perPixel) return { missing: 'noScale' };
  if (!fit || !fit.usable) return { missing: 'noFit' };
  const from = sources(geo, plan.id);
  if (!from.length) return { missing: 'noSource' };
  const w = plan.width / columns;
  const rows = Math.max(1, Math.round(plan.height / w));
  const hh = plan.height / rows;
  const cells = [];
  let spread = 0;
  for (let r = 0; r < rows; r++) {
    for (let c = 0; c < columns; c++) {
      const cx = (c + 0.5) * w;
      const cy = (r + 0.5) * hh;
      const near = Math.min(...from.map((p) => Math.hypot(p.x - cx, p.y - cy))) * perPixel;
      const p = predictLevel(fit, near);
      spread = Math.max(spread, p.spread);
      cells.push({ x: c * w, y: r * hh, w, h: hh, level: p.level, cls: levelClass(p.level, th) });
    }
  }
  return { cells, spread: Math.round(spread) };
}
