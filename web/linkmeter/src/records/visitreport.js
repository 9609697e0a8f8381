// A past visit's report, made again from the site records: the visits that
// can have one (ended, with a site survey), and for one of them its newest
// site survey in the page's shape (decoded with its own registration,
// judged by the boundaries it was taken with), the visit's waivers, its
// technician's fields and when it ended.
import { SurveyReader, JUDGED } from './surveyreader.js';
import { DEFAULT_THRESHOLDS } from '../site/thresholds.js';
import { profileProblem } from '../site/acceptanceprofile.js';

const newestFirst = (a, b) => b.at - a.at || b.id - a.id;

// The site `serial` (a number) as the survey reader names it.
async function siteOf(records, serial) {
  const found = ((await records.listSites()) || []).find((s) => Number(s.serial) === Number(serial));
  return { serial: Number(serial), name: (found && found.name) || '', model: (found && found.model) || '' };
}

// [{id, startedAt, endedAt, technician, surveyId, surveyAt}] of the ended
// visits of site `serial` with a site survey, newest first.
export async function reportableVisits(records, serial) {
  const visits = (await records.listVisits({ serial })).filter((v) => typeof v.endedAt === 'number')
    .sort((a, b) => b.startedAt - a.startedAt || b.id - a.id);
  const out = [];
  for (const v of visits) {
    const read = await records.readVisit({ visitId: v.id });
    const survey = (read.records || []).filter((r) => r.kind === 'site-survey').sort(newestFirst)[0];
    if (survey) out.push({ id: v.id, startedAt: v.startedAt, endedAt: v.endedAt, technician: v.technician || '', surveyId: survey.id, surveyAt: survey.at });
  }
  return out;
}

// The report material of visit `visitId` of site `serial`: {visit, site,
// survey (with visitId), waivers, profile (its last acceptance's, or
// null), fields {technician, customer, notes}, until (the visit's end)};
// throws when the visit has no site survey.
export async function visitReport(records, { serial, visitId }) {
  const read = await records.readVisit({ visitId });
  const visit = read.visit;
  const newest = (read.records || []).filter((r) => r.kind === 'site-survey').sort(newestFirst)[0];
  if (!newest) throw new Error('the visit has no site survey');
  const site = await siteOf(records, serial);
  const reader = new SurveyReader(records, { site, visits: () => [read] });
  const { survey } = await reader.survey('site-survey', newest.id, { judged: JUDGED.then, today: DEFAULT_THRESHOLDS });
  // The profile the visit's last acceptance was judged by, when it kept one.
  const acceptance = (read.records || []).filter((r) => r.kind === 'acceptance').sort(newestFirst)[0];
  const kept = acceptance ? (await records.readRecord({ kind: 'acceptance', id: acceptance.id })).decoded : null;
  const profile = kept && kept.profile && !profileProblem(kept.profile) ? kept.profile : null;
  const waivers = [];
  for (const r of (read.records || []).filter((x) => x.kind === 'waiver')) {
    const w = await records.readRecord({ kind: 'waiver', id: r.id });
    if (w && w.decoded && typeof w.decoded === 'object') waivers.push({ ...w.decoded, id: r.id });
  }
  return {
    visit, site, waivers, profile,
    survey: { ...survey, visitId: visit.id },
    fields: { technician: visit.technician || '', customer: visit.customer || '', notes: visit.notes || '' },
    until: typeof visit.endedAt === 'number' ? visit.endedAt : Infinity,
  };
}
