// The Map tab's drawing of one plan as a stack of layers over the plan's
// image, each a group of keyed elements made again only when what they show
// changed: placing a unit remakes its pin and its links, nothing else.
//
// A layer is {name, items(scene)}: items gives [{key, sig, make()}] for the
// plan scene (planScene below), sig a text that changes whenever the
// element would look different. PLAN_LAYERS lists them bottom first; a new
// kind of mark on the plan is a layer added to that list, with its own
// module for what it draws.
import { svg, linkElement, pinElement, scaleElement, planUnit, reconcile, labelPlaces } from './mapdraw.js';
import { planLinks, surveyMeasures, unitMarks } from './maplinks.js';
import { unitsOnPlan } from './mapplacement.js';
import { keptUnits, routeToBase } from './mapfilters.js';

// What a plan shows: the units on it with their marks and the links between
// them after the filters, the route of the selected unit and the changes
// overlay. `changes` from mapChanges or null; `filters` {problems, text}.
export function planScene({ plan, units, positions, survey, th, planNames, selected = null, filters = {}, changes = null }) {
  const measures = surveyMeasures(survey);
  const marks = unitMarks(units, measures, th);
  const kept = keptUnits(units, marks, filters);
  const route = selected ? routeToBase(units, selected) : null;
  const links = planLinks({ units, positions, measures, plan, planNames, th }).filter((l) => kept.has(l.from) && kept.has(l.to));
  const pins = unitsOnPlan(units, positions, plan.id).filter((p) => kept.has(p.key));
  const moved = new Set(changes ? changes.moved.map((m) => m.serial) : []);
  const u = planUnit(plan);
  // Labels and distances set where they cover no pin and no other label.
  const places = labelPlaces(links, pins, marks, u);
  return { plan, u, units, positions, survey, th, marks, kept, route, links, pins, changes, moved, selected, places };
}

const sig = (...parts) => JSON.stringify(parts);

export const scaleLayer = {
  name: 'scale',
  items: (sc) => (sc.plan.scale ? [{ key: 'scale', sig: sig(sc.plan.scale, sc.u), make: () => scaleElement(sc.plan, sc.u) }] : []),
};

export const linkLayer = {
  name: 'links',
  items: (sc) => sc.links.map((l) => {
    const opts = { mark: sc.changes ? sc.changes.hops.get(l.key) || null : null, onRoute: Boolean(sc.route && sc.route.hops.has(l.key)), note: sc.places.notes.get(l.key) || null };
    return { key: l.key, sig: sig(l, opts, sc.u), make: () => linkElement(l, sc.u, opts) };
  }),
};

export const pinLayer = {
  name: 'pins',
  items: (sc) => sc.pins.map((p) => {
    const mark = sc.marks.get(p.key);
    const opts = { selected: p.key === sc.selected, moved: sc.moved.has(p.key), dim: Boolean(sc.route && !sc.route.units.has(p.key)), label: sc.places.pins.get(p.key) };
    return { key: p.key, sig: sig(p.label, p.at, mark, opts, sc.u), make: () => pinElement(p, mark, sc.u, opts) };
  }),
};

export const PLAN_LAYERS = [scaleLayer, linkLayer, pinLayer];

// The layers' groups in an SVG, in the order of `layers`, each made again
// only where its items changed.
export class PlanLayers {
  constructor(root, layers = PLAN_LAYERS) {
    this.layers = layers;
    this.groups = new Map(layers.map((l) => [l.name, svg('g', { class: 'map-layer', 'data-layer': l.name })]));
    root.append(...this.groups.values());
  }

  draw(scene) {
    for (const layer of this.layers) reconcile(this.groups.get(layer.name), layer.items(scene));
  }

  clear() {
    for (const g of this.groups.values()) g.textContent = '';
  }

  group(name) {
    return this.groups.get(name);
  }
}
