// What the history view lists, apart from the page: a site's visits, a
// visit's records (settings writes among them), the site surveys that can be
// compared, and a unit's level and battery across visits as chart series.
import { serialKey } from './compare.js';

// The kinds readVisit lists; the ones a survey viewer or the comparison takes.
export const RECORD_KINDS = ['site-survey', 'route-survey', 'channel-scan', 'download', 'event-log', 'registration', 'settings-readback', 'settings-write'];
export const SURVEY_KINDS = ['site-survey', 'route-survey'];

// The site the view opens on: the connected base unit's when the store has
// it, else the one visited last.
export function defaultSite(sites, unit) {
  if (!sites || !sites.length) return null;
  const connected = unit ? serialKey(unit.serial) : null;
  const own = connected !== null && sites.find((s) => serialKey(s.serial) === connected);
  if (own) return own;
  return [...sites].sort((a, b) => (b.lastVisitAt ?? 0) - (a.lastVisitAt ?? 0))[0];
}

// Visits newest first.
export const visitsNewestFirst = (visits) => [...(visits || [])].sort((a, b) => b.startedAt - a.startedAt || b.id - a.id);

// One row per record of a visit, settings writes included, newest first:
// {kind, id, at, unit, source, write?}.
export function recordRows(visitRecords) {
  const rows = (visitRecords.records || []).map((r) => ({ kind: r.kind, id: r.id, at: r.at, unit: r.unit ?? null, source: r.source || '' }));
  for (const w of visitRecords.settingsWrites || []) {
    rows.push({ kind: 'settings-write', id: w.id, at: w.writtenAt, unit: w.unit ?? null, source: '', write: w });
  }
  return rows.sort((a, b) => b.at - a.at || RECORD_KINDS.indexOf(a.kind) - RECORD_KINDS.indexOf(b.kind) || b.id - a.id);
}

// The site surveys of a site's visits ([{visit, records}]), oldest first:
// [{id, visitId, at}].
export function siteSurveys(visitRecords) {
  const out = [];
  for (const v of visitRecords) {
    for (const r of v.records || []) {
      if (r.kind === 'site-survey') out.push({ id: r.id, visitId: v.visit.id, at: r.at });
    }
  }
  return out.sort((a, b) => a.at - b.at || a.id - b.id);
}

// The pair compared first: the latest site survey and the last one of an
// earlier visit (else the one before it in the same visit), leaving out the
// ids in `skip` (surveys stopped before their first unit). Null when fewer
// than two.
export function defaultPair(surveys, { skip = new Set() } = {}) {
  surveys = (surveys || []).filter((s) => !skip.has(s.id));
  if (surveys.length < 2) return null;
  const after = surveys[surveys.length - 1];
  const earlier = surveys.filter((s) => s !== after);
  const before = [...earlier].reverse().find((s) => s.visitId !== after.visitId) || earlier[earlier.length - 1];
  return { before: before.id, after: after.id };
}

// A registration kept in a visit (decoded), the latest first: what names
// the units of the visit's surveys.
export function registrationIds(visitRecords) {
  return (visitRecords.records || []).filter((r) => r.kind === 'registration').sort((a, b) => b.at - a.at).map((r) => r.id);
}

// unitTrend answers one row per route through the unit in each survey (a
// repeater is on many routes): one point per survey, its probes summed and
// its mean level weighted by the answers behind it.
export function perSurvey(points) {
  const by = new Map();
  for (const p of points || []) {
    const q = by.get(p.surveyId);
    if (!q) {
      by.set(p.surveyId, { ...p, levelSum: p.answered && Number.isFinite(p.levelAvg) ? p.levelAvg * p.answered : 0, levelN: p.answered && Number.isFinite(p.levelAvg) ? p.answered : 0 });
      continue;
    }
    q.sent += p.sent;
    q.answered += p.answered;
    if (p.answered && Number.isFinite(p.levelAvg)) {
      q.levelSum += p.levelAvg * p.answered;
      q.levelN += p.answered;
    }
    if (Number.isFinite(p.levelMin)) q.levelMin = Number.isFinite(q.levelMin) ? Math.min(q.levelMin, p.levelMin) : p.levelMin;
    if (Number.isFinite(p.battery)) q.battery = p.battery;
  }
  return [...by.values()].map(({ levelSum, levelN, ...q }) => ({ ...q, levelAvg: levelN ? Math.round((levelSum / levelN) * 10) / 10 : null }));
}

// The series of a unit's trend (unitTrend's rows) for a chart, oldest
// first: x in seconds, the mean level and the last battery of each survey;
// a survey where the unit never answered leaves a gap.
export function trendSeries(rows) {
  const sorted = perSurvey(rows).sort((a, b) => a.surveyStartedAt - b.surveyStartedAt);
  const num = (v) => (typeof v === 'number' && Number.isFinite(v) ? v : null);
  return {
    x: sorted.map((p) => p.surveyStartedAt / 1000),
    level: sorted.map((p) => (p.answered ? num(p.levelAvg) : null)),
    battery: sorted.map((p) => (p.answered ? num(p.battery) : null)),
    visits: new Set(sorted.map((p) => p.visitId)).size,
    points: sorted,
  };
}

// "+5", "−12", "0", or "—" for no change to show.
export function changeText(v) {
  if (typeof v !== 'number' || !Number.isFinite(v)) return '—';
  const r = Math.round(v * 10) / 10;
  return r > 0 ? `+${r}` : r < 0 ? `−${-r}` : '0';
}

// A level or battery for a table cell.
export const valueText = (v) => (typeof v === 'number' && Number.isFinite(v) ? String(Math.round(v * 10) / 10) : '—');

// The units the trend can show: every far end of a hop of the given
// page-shape surveys, by label, deduplicated by serial.
export function trendUnits(surveys) {
  const units = new Map();
  for (const s of surveys) {
    for (const r of (s && s.results) || []) {
      for (const hop of r.hops || []) {
        const key = serialKey(hop.serial);
        if (key && !units.has(key)) units.set(key, { serial: key, label: hop.label || hop.serial });
      }
    }
  }
  return [...units.values()].sort((a, b) => a.label.localeCompare(b.label));
}
