// A site's map as one SVG file that stands alone: a plan's image (embedded
// as a data: URL), the links of the site's last site survey and the pins
// drawn by the Map tab's own drawing, and a legend with the survey's date.
// Reads only; the command line runs it (`map export`).
import { t } from '../i18n/i18n.js';
import { timeText } from '../ui/formats.js';
import { DEFAULT_THRESHOLDS } from '../site/thresholds.js';
import { positionsAt, mapUnits, unitsOnPlan } from '../site/mapplacement.js';
import { onPlans } from '../site/mapplans.js';
import { planLinks, surveyMeasures, unitMarks } from '../site/maplinks.js';
import { svg, planUnit, linkElement, pinElement, scaleElement, labelPlaces } from '../site/mapdraw.js';
import { legendItems, legendElement } from '../site/maplegend.js';
import { MAP_SVG_STYLE } from '../site/mapstyle.js';
import { SiteMapSource } from './mapsource.js';
import { SurveyReader, JUDGED } from './surveyreader.js';
import { serialKey } from '../site/compare.js';
import '../site/maptexts.js';

// The plan `which` names: a plan's name, else its number (1 = the first);
// the first plan when not given. Null when there is no such plan.
export function pickPlan(plans, which) {
  if (which === undefined || which === null || which === '') return plans[0] || null;
  const named = plans.find((p) => p.name === String(which));
  if (named) return named;
  const n = /^[0-9]+$/.test(String(which)) ? Number(which) : NaN;
  return Number.isInteger(n) && n >= 1 && n <= plans.length ? plans[n - 1] : null;
}

// The newest site survey of site `serial` ({serial, name, model}) in the
// page's shape, judged as it was then, with its registration; null when
// the site has none. With `until` (ms), the newest taken by then: a past
// visit's map shows the links as they were measured then.
export async function lastSiteSurvey(records, site, { until = Infinity } = {}) {
  const visits = (await records.listVisits({ serial: site.serial })).filter((v) => !(v.startedAt > until))
    .sort((a, b) => b.startedAt - a.startedAt || b.id - a.id);
  const kept = new Map();
  const reader = new SurveyReader(records, { site, visits: (r) => (kept.has(r.visitId) ? [kept.get(r.visitId)] : []) });
  for (const visit of visits) {
    const read = await records.readVisit({ visitId: visit.id });
    kept.set(visit.id, read);
    const newest = (read.records || []).filter((r) => r.kind === 'site-survey' && !(r.at > until)).sort((a, b) => b.at - a.at || b.id - a.id)[0];
    if (!newest) continue;
    const { record, survey } = await reader.survey('site-survey', newest.id, { judged: JUDGED.then, today: DEFAULT_THRESHOLDS });
    return { survey, regInfo: await reader.regInfoFor(record) };
  }
  return null;
}

// The drawing of one plan with its legend to the right:
// {svg (text), plan, surveyStarted, links: [{from, to, cls}]}.
export function mapSvgText({ plan, image, units, positions, survey, planNames, th = DEFAULT_THRESHOLDS, siteName = '' }) {
  const u = planUnit(plan);
  const measures = surveyMeasures(survey);
  const marks = unitMarks(units, measures, th);
  const links = planLinks({ units, positions, measures, plan, planNames, th });
  // The legend reads at least at the page's own size on a small plan.
  const lu = Math.max(1, u);
  const side = Math.round(300 * lu);
  const width = plan.width + side;
  const root = svg('svg', { xmlns: 'http://www.w3.org/2000/svg', version: '1.1', width, height: plan.height, viewBox: `0 0 ${width} ${plan.height}`, class: 'sitemap-export' });
  root.append(svg('style', {}, document.createTextNode(MAP_SVG_STYLE)));
  root.append(svg('image', { x: 0, y: 0, width: plan.width, height: plan.height, href: image, preserveAspectRatio: 'none', class: 'map-image' }));
  const pins = unitsOnPlan(units, positions, plan.id);
  const places = labelPlaces(links, pins, marks, u);
  root.append(svg('g', { class: 'map-links' }, links.map((l) => linkElement(l, u, { note: places.notes.get(l.key) }))));
  root.append(svg('g', { class: 'map-pins' }, pins.map((p) => pinElement(p, marks.get(p.key), u, { label: places.pins.get(p.key) }))));
  const scale = scaleElement(plan, u);
  if (scale) root.append(scale);
  root.append(svg('rect', { x: plan.width, y: 0, width: side, height: plan.height, class: 'map-legend-back' }));
  const heading = [siteName, plan.name, survey ? t('map.surveyOf', { time: timeText(new Date(survey.started)) }) : t('map.noSurvey')].filter(Boolean);
  root.append(legendElement(legendItems(th), { x: plan.width + 12 * lu, y: 0, u: lu, heading }));
  return { svg: `<?xml version="1.0" encoding="UTF-8"?>\n${root.toXml()}\n`, links: links.map((l) => ({ from: l.from, to: l.to, cls: l.cls })) };
}

// Site `serial`'s map on plan `which`; throws an Error with words for the
// user when the site has no plans or no such plan.
export async function exportSiteMap(records, { serial, which }) {
  const sites = await records.listSites();
  const found = (sites || []).find((s) => serialKey(s.serial) === serialKey(serial));
  if (!found) throw new Error('the site records hold no site ' + serial.toString(16).toUpperCase().padStart(8, '0'));
  const source = new SiteMapSource({ records, recorder: null });
  const map = await source.load(serial);
  if (!map.plans.length) throw new Error('the site has no plans');
  const plan = pickPlan(map.plans, which);
  if (!plan) throw new Error(`the site has no plan ${which} (its plans: ${map.plans.map((p, i) => `${i + 1} ${p.name}`).join(', ')})`);
  const site = { serial, name: found.name || '', model: found.model || '' };
  const last = await lastSiteSurvey(records, site);
  const survey = last ? last.survey : null;
  const units = mapUnits(last && last.regInfo, serialKey(serial));
  const planNames = new Map(map.plans.map((p) => [p.id, p.name || p.id.slice(0, 8)]));
  const th = (survey && survey.thresholds) || DEFAULT_THRESHOLDS;
  const image = await source.image(plan);
  const drawn = mapSvgText({ plan, image, units, positions: onPlans(positionsAt(map.edits), map.plans), survey, planNames, th, siteName: site.name });
  return { ...drawn, plan: plan.name, surveyStarted: survey ? survey.started : null };
}
