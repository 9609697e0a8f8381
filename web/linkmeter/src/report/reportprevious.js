// What the report compares with, read from the site records: by default the
// newest complete site survey of an earlier visit of the site. The reported
// survey's own visit is left out by its id when the recorder knows it (a
// command line recording the same site at the same time is not an earlier
// visit); a survey cut short (cancelled, window closed, program killed) is
// compared only when the technician picks it. The earlier survey is decoded
// with its own registration and judged by its own thresholds.
import { serialKey } from '../site/compare.js';
import { SurveyReader, JUDGED } from '../records/surveyreader.js';

// Of a site's visits (listVisits' answer), the one `startedAt` fell in: the
// latest that began by then. Only a guess when two programs record the site
// at once; the visit's id says it for sure.
export function visitAt(visits, startedAt) {
  const before = (visits || []).filter((v) => v.startedAt <= startedAt);
  return before.sort((a, b) => b.startedAt - a.startedAt || b.id - a.id)[0] || null;
}

// The earlier visits to look in, newest first: those that began before the
// reported survey's own visit (by `visitId`, else the visit `startedAt`
// fell in), never that visit itself.
export function earlierVisits(visits, { visitId = null, startedAt }) {
  const own = (visitId !== null && (visits || []).find((v) => v.id === visitId)) || visitAt(visits, startedAt);
  const limit = own ? Math.min(own.startedAt, startedAt) : startedAt;
  return (visits || []).filter((v) => v !== own && v.id !== visitId && v.startedAt <= limit)
    .sort((a, b) => b.startedAt - a.startedAt || b.id - a.id);
}

// A visit's site surveys taken before `startedAt` (readVisit's records),
// newest first.
export function siteSurveysBefore(records, startedAt) {
  return (records || []).filter((r) => r.kind === 'site-survey' && r.at < startedAt)
    .sort((a, b) => b.at - a.at || b.id - a.id);
}

// Every site survey the report could compare with, newest first:
// [{id, at, visit}] with the visits' records kept by visit id.
async function candidatesOf(records, visits, own) {
  const kept = new Map();
  const out = [];
  for (const visit of earlierVisits(visits, own)) {
    const read = await records.readVisit({ visitId: visit.id });
    kept.set(visit.id, read);
    for (const r of siteSurveysBefore(read.records, own.startedAt)) out.push({ id: r.id, at: r.at, visit });
  }
  return { candidates: out, kept };
}

// survey: the reported site survey (the page's shape). Options: visitId, the
// id of the visit it was taken in (the recorder's), when known; pick, the id
// of the survey the technician chose; regInfo, the page's registration (names
// units of an old record that kept none); th, today's thresholds.
// → null when the store holds no earlier site survey, else {candidates,
// incomplete (ids passed over as cut short), visit, survey} with visit and
// survey null when no complete one was found and none was picked.
export async function previousSiteSurvey(records, survey, { visitId = null, pick = null, regInfo = null, th } = {}) {
  const base = survey && survey.prov && survey.prov.base;
  if (!base || !base.serial || typeof survey.started !== 'number') return null;
  const serial = parseInt(serialKey(base.serial), 16);
  const visits = await records.listVisits({ serial });
  const { candidates, kept } = await candidatesOf(records, visits, { visitId, startedAt: survey.started });
  if (!candidates.length) return null;
  const site = { serial, name: base.name, model: base.model };
  const reader = new SurveyReader(records, { site, visits: (record) => (kept.has(record.visitId) ? [kept.get(record.visitId)] : []), fallbackRegInfo: () => regInfo });
  const incomplete = [];
  let chosen = candidates.find((c) => c.id === pick) || null;
  for (const c of chosen ? [] : candidates) {
    const d = await reader.describe('site-survey', c.id);
    if (d.complete && d.measured) {
      chosen = c;
      break;
    }
    incomplete.push(c.id);
  }
  if (!chosen) return { candidates, incomplete, visit: null, survey: null };
  const { survey: previous } = await reader.survey('site-survey', chosen.id, { judged: JUDGED.then, today: th });
  return { candidates, incomplete, visit: chosen.visit, survey: previous };
}
