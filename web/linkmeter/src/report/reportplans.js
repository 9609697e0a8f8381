// The site's plans for the customer's report of a survey, read from the site
// records: the plan pages' figures (planpages.js) with the positions in
// force at the end of the survey's visit (now, while it is open), and each
// plan's image made small enough for paper.
import { SiteMapSource } from '../records/mapsource.js';
import { mapUnits } from '../site/mapplacement.js';
import { serialKey } from '../site/compare.js';
import { downscaled } from '../ui/imagescale.js';
import { planPages } from './planpages.js';

// A plan printed 180 mm wide at about 300 dpi needs no more pixels.
const PAPER_LONGEST = 2400;

// When the survey's visit ended, Infinity while it is open or when the
// survey was not recorded.
async function visitEnd(records, recorder, survey, serial) {
  const id = survey.visitId ?? (recorder ? await recorder.visitIdOf(survey) : null);
  if (id === null || id === undefined) return Infinity;
  const visit = (await records.listVisits({ serial })).find((v) => String(v.id) === String(id));
  return visit && typeof visit.endedAt === 'number' ? visit.endedAt : Infinity;
}

// The image of a plan for paper, or null when it cannot be read (its page
// is printed without it, saying so).
async function paperImage(source, plan) {
  try {
    const url = await source.image(plan);
    return plan.format === 'svg' ? url : await downscaled(url, plan, PAPER_LONGEST);
  } catch (e) {
    return null;
  }
}

// [{page (planPages' entry), image}] for the report of `survey` judged by
// `th`; none for a site without plans.
export async function reportPlans({ records, recorder }, survey, th) {
  const base = survey && survey.prov && survey.prov.base;
  const key = base ? serialKey(base.serial) : null;
  if (!key) return [];
  const serial = parseInt(key, 16);
  const source = new SiteMapSource({ records, recorder: null });
  const map = await source.load(serial);
  if (!(map.kept || map.plans).length) return [];
  const until = await visitEnd(records, recorder, survey, serial);
  const pages = planPages({ map, until, units: mapUnits(survey.regInfo, key), survey, th });
  const out = [];
  for (const page of pages) out.push({ page, image: await paperImage(source, page.plan) });
  return out;
}
