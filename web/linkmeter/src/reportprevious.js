// What the report compares with: the last site survey of the visit before
// the one the reported survey was taken in, read from the site records.
import { serialKey } from './compare.js';
import { surveyFromRecord, regInfoOf } from './historysurvey.js';

// Of a site's visits (listVisits' answer), the one `startedAt` fell in: the
// latest that began by then. Visits of one site do not overlap.
export function visitAt(visits, startedAt) {
  const before = (visits || []).filter((v) => v.startedAt <= startedAt);
  return before.sort((a, b) => b.startedAt - a.startedAt || b.id - a.id)[0] || null;
}

// The earlier visits to look in, newest first: every visit that began
// before the reported survey, except the one it was taken in.
export function earlierVisits(visits, startedAt) {
  const own = visitAt(visits, startedAt);
  return (visits || []).filter((v) => v.startedAt <= startedAt && v !== own)
    .sort((a, b) => b.startedAt - a.startedAt || b.id - a.id);
}

// A visit's last complete site survey before `startedAt` (readVisit's
// records), else its last one cut short; null when it has none.
export function lastSiteSurvey(records, startedAt) {
  const surveys = (records || []).filter((r) => r.kind === 'site-survey' && r.at < startedAt)
    .sort((a, b) => b.at - a.at || b.id - a.id);
  return surveys[0] || null;
}

async function registrationOf(records, visitRecords) {
  const regs = (visitRecords.records || []).filter((r) => r.kind === 'registration').sort((a, b) => b.at - a.at);
  for (const r of regs) {
    const regInfo = regInfoOf((await records.readRecord({ kind: 'registration', id: r.id })).decoded);
    if (regInfo) return regInfo;
  }
  return null;
}

// survey: the reported site survey (the page's shape); regInfo: the site's
// registration as the page has it (names the units when the earlier visit
// kept none). → {visit, survey} of the previous visit, or null.
export async function previousSiteSurvey(records, survey, { regInfo = null, th } = {}) {
  const base = survey && survey.prov && survey.prov.base;
  if (!base || !base.serial || typeof survey.started !== 'number') return null;
  const serial = parseInt(serialKey(base.serial), 16);
  const visits = await records.listVisits({ serial });
  for (const visit of earlierVisits(visits, survey.started)) {
    const kept = await records.readVisit({ visitId: visit.id });
    const found = lastSiteSurvey(kept.records, survey.started);
    if (!found) continue;
    const record = await records.readRecord({ kind: 'site-survey', id: found.id });
    const site = { serial, name: base.name, model: base.model };
    const reg = (await registrationOf(records, kept)) || regInfo;
    return { visit, survey: surveyFromRecord(record, { site, regInfo: reg, th }) };
  }
  return null;
}
