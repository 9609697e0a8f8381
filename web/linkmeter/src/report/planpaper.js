// A plan page of the customer's report on paper: the plan's image with the
// links and pins drawn over it by the Map tab's own drawing, the map's
// legend, a scale bar and the survey's date. Each starts a page of its own
// and is sized to fit one (reportprint.js never splits it).
import { h, timeText } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { svg, planUnit, linkElement, pinElement, labelPlaces } from '../site/mapdraw.js';
import { legendElement } from '../site/maplegend.js';
import { proposalElements } from '../site/mapadvice.js';
import '../site/maptexts.js';
import './papertexts.js';

// The drawing's room on the page, in CSS px of the print (630 px wide):
// some room is left on the right for the labels of pins at the plan's edge.
export const PLAN_ROOM = Object.freeze({ width: 580, height: 600 });
const LEGEND_ROW = 20;
const SCALE_SIZE = { width: 260, height: 44 };

// The drawn size of a plan in the room: its shape kept.
export function drawnSize(plan, room = PLAN_ROOM) {
  const k = Math.min(room.width / plan.width, room.height / plan.height);
  return { width: Math.round(plan.width * k), height: Math.round(plan.height * k) };
}

function drawing(page, image, size, proposals) {
  const { plan } = page;
  const u = planUnit(plan);
  const places = labelPlaces(page.links, page.pins, new Map(page.pins.map((p) => [p.key, p.mark])), u);
  const ends = new Map(page.pins.map((p) => [p.key, p.at]));
  const over = svg('svg', { class: 'paper-plan-svg', viewBox: `0 0 ${plan.width} ${plan.height}`, width: size.width, height: size.height, preserveAspectRatio: 'none' },
    svg('g', { class: 'map-links' }, page.links.map((l) => linkElement(l, u, { note: places.notes.get(l.key) }))),
    svg('g', { class: 'map-pins' }, page.pins.map((p) => pinElement(p, p.mark, u, { label: places.pins.get(p.key) }))),
    svg('g', { class: 'map-proposals' }, proposalElements(proposals, plan.id, ends, u)));
  const box = h('div', { class: 'paper-plan-drawing', test: 'paper-plan-drawing' },
    image ? h('img', { class: 'paper-plan-image', src: image, alt: page.name }) : h('p', { class: 'warn', text: t('map.badImage') }), over);
  box.style.width = `${size.width}px`;
  box.style.height = `${size.height}px`;
  return box;
}

// The legend in two columns, drawn with the map's classes.
function legendDrawing(items) {
  const half = Math.ceil(items.length / 2);
  const height = half * LEGEND_ROW + 8;
  return svg('svg', { class: 'paper-plan-legend', 'data-test': 'paper-plan-legend', width: 360, height, viewBox: `0 0 360 ${height}` },
    legendElement(items.slice(0, half), { x: 2, y: -10, u: 1 }),
    legendElement(items.slice(half), { x: 182, y: -10, u: 1 }));
}

// A bar of `bar.share` of the drawn width, in two halves, with its length.
function scaleDrawing(bar, drawnWidth) {
  const length = Math.max(1, Math.round(bar.share * drawnWidth));
  const { width, height } = SCALE_SIZE;
  const x = 2;
  const y = 22;
  const text = (tx, anchor, words) => svg('text', { x: tx, y: y + 16, 'font-size': 11, 'text-anchor': anchor }, document.createTextNode(words));
  return svg('svg', { class: 'paper-plan-scale', 'data-test': 'paper-plan-scale', 'data-metres': bar.metres, width, height, viewBox: `0 0 ${width} ${height}` },
    svg('text', { x, y: 12, 'font-size': 11 }, document.createTextNode(t('paper.plan.scale'))),
    svg('rect', { x, y, width: length / 2, height: 5, class: 'bar-dark' }),
    svg('rect', { x: x + length / 2, y, width: length / 2, height: 5, class: 'bar-light' }),
    text(x, 'start', '0'), text(x + length, 'end', `${bar.metres} m`));
}

// One plan page from planPages' entry and the plan's image as a data: URL
// (null when it could not be read); `proposals` the acceptance's proposed
// repeaters, drawn on their plan as predictions.
export function planPaper(page, image, proposals = []) {
  const size = drawnSize(page.plan);
  const proposed = proposals.some((p) => p.plan === page.plan.id && p.positions.length);
  const legend = proposed ? [...page.legend, { key: 'proposal', shape: 'point', text: t('map.legend.proposal') }] : page.legend;
  const when = (ms) => timeText(new Date(ms));
  return h('div', { class: 'paper-plan print-new-page', test: 'paper-plan', dataset: { plan: page.plan.id, scale: page.scaleBar ? String(page.scaleBar.metres) : '' } },
    h('h3', { test: 'paper-plan-title', text: t('paper.plan.title', { plan: page.name }) }),
    h('p', { test: 'paper-plan-survey', dataset: { started: page.surveyStarted ?? '' },
      text: page.surveyStarted === null ? t('map.noSurvey') : t('paper.plan.survey', { time: when(page.surveyStarted) }) }),
    h('p', { class: 'paper-plan-positions', text: page.positionsAt === null ? t('paper.plan.positionsNow') : t('paper.plan.positions', { time: when(page.positionsAt) }) }),
    drawing(page, image, size, proposals),
    h('div', { class: 'paper-plan-foot' }, legendDrawing(legend),
      page.scaleBar ? h('div', {}, scaleDrawing(page.scaleBar, size.width), page.roughScale ? h('p', { class: 'paper-plan-note', text: t('map.scaleShort') }) : null) : null),
    page.unplaced.length ? h('p', { class: 'paper-plan-note', test: 'paper-plan-unplaced', text: t('paper.plan.unplaced', { units: page.unplaced.join(', ') }) }) : null);
}
