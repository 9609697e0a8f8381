// The plan pages of the customer's report, without the DOM: one per plan the
// site had by the end of the report's visit that is not hidden from the
// report and has a unit of the survey on it (mapplans.js), each with the links and pins
// the Map tab draws on it from the report's survey and the positions in
// force then, the map's legend, a scale bar when the plan had a scale, and
// the survey's date.
import { positionsAt, unitsOnPlan } from '../site/mapplacement.js';
import { planLinks, surveyMeasures, unitMarks, metresPerPixel, scaleWarning } from '../site/maplinks.js';
import { legendItems } from '../site/maplegend.js';
import { plansInForce, onPlans, printsPage } from '../site/mapplans.js';
import { DEFAULT_THRESHOLDS } from '../site/thresholds.js';

// The scale bar covers at most this share of the plan's width.
const BAR_SHARE = 0.3;

// The round length (1, 2 or 5 times a power of ten metres) of a scale bar
// for plan `scale` on a plan `width` pixels wide: {metres, share (of the
// plan's width)}, or null for a plan without a usable scale.
export function scaleBar(scale, width) {
  const perPixel = metresPerPixel(scale);
  if (!perPixel || !(width > 0)) return null;
  const most = width * perPixel * BAR_SHARE;
  const power = 10 ** Math.floor(Math.log10(most));
  const metres = [5, 2, 1].map((k) => k * power).find((m) => m <= most);
  // Decimal powers below 1 m carry float noise (0.30000000000000004).
  const rounded = Number(metres.toPrecision(6));
  return { metres: rounded, share: rounded / perPixel / width };
}

// The scale of plan `planId` set last up to `until`, or null.
function scaleAt(edits, planId, until) {
  let scale = null;
  for (const e of edits) if (e.action === 'scale' && e.plan === planId && e.at <= until) scale = e;
  return scale;
}

// map: {plans, edits} as SiteMapSource.load gives them; until: the end of
// the report's visit (Infinity while it is open); units: mapUnits of the
// survey's registration. → [{plan (its scale as then), name, links, pins
// ([{...unit, at, mark}]), unplaced (labels of units on no plan), legend,
// scaleBar, roughScale, surveyStarted, positionsAt}], in the plans' order.
export function planPages({ map, until = Infinity, units, survey, th = DEFAULT_THRESHOLDS }) {
  const edits = map.edits || [];
  const plans = plansInForce(map.kept || map.plans, edits, until).map((p) => ({ ...p, scale: scaleAt(edits, p.id, until) }));
  const positions = onPlans(positionsAt(edits, until), plans);
  const measures = surveyMeasures(survey);
  const marks = unitMarks(units, measures, th);
  const planNames = new Map(plans.map((p) => [p.id, p.name || p.id.slice(0, 8)]));
  const unplaced = units.filter((u) => !positions.has(u.key)).map((u) => u.label);
  const legend = legendItems(th);
  const pages = plans.map((plan) => ({ plan, pins: unitsOnPlan(units, positions, plan.id) }));
  return pages.filter(({ plan, pins }) => printsPage(plan, pins)).map(({ plan, pins }) => ({
    plan,
    name: planNames.get(plan.id),
    links: planLinks({ units, positions, measures, plan, planNames, th }),
    pins: pins.map((p) => ({ ...p, mark: marks.get(p.key) || null })),
    unplaced,
    legend,
    scaleBar: scaleBar(plan.scale, plan.width),
    roughScale: Boolean(scaleWarning(plan.scale, plan)),
    surveyStarted: survey ? survey.started : null,
    positionsAt: Number.isFinite(until) ? until : null,
  }));
}
