// What the history view lists, apart from the page: a site's visits, a
// visit's records (settings writes among them), the site surveys that can be
// compared, and a unit's level and battery across visits as chart series.
import { serialKey } from '../site/compare.js';

// The kinds readVisit lists; the ones a survey viewer or the comparison takes.
export const RECORD_KINDS = ['site-survey', 'route-survey', 'channel-scan', 'download', 'event-log', 'registration', 'settings-readback', 'settings-write', 'acceptance', 'waiver'];
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

// The edit a map-edit record keeps to a plan, as its History text names it
// (plan-rename, plan-hide, plan-show, plan-remove), or null for a unit's
// move or a scale. decoded: the record's decoded edit.
export function planEditOf(decoded) {
  const action = decoded && decoded.action;
  if (action === 'plan-hide') return decoded.hidden === false ? 'plan-show' : 'plan-hide';
  return action === 'plan-rename' || action === 'plan-remove' ? action : null;
}

// The text key of a row's kind: a plan's edit by what it did, any other
// record by its kind.
export const kindKey = (row) => 'history.kind.' + (row.kind === 'map-edit' && row.planEdit ? row.planEdit : row.kind);

// rows as recordRows gives them, each map edit to a plan marked with what
// it did (planEdit) from the site map's edits ([{id, decoded}]).
export function withPlanEdits(rows, edits) {
  const byId = new Map((edits || []).map((e) => [e.id, planEditOf(e.decoded)]));
  return rows.map((r) => (r.kind === 'map-edit' && byId.get(r.id) ? { ...r, planEdit: byId.get(r.id) } : r));
}

// Visits newest first.
export const visitsNewestFirst = (visits) => [...(visits || [])].sort((a, b) => b.startedAt - a.startedAt || b.id - a.id);

// One row per record of a visit, settings writes included, newest first:
// {kind, id, at, unit, source, write?}. The store lists a write among the
// records and again in full under settingsWrites: it is one row, carrying
// the write (its time, keys and answer).
export function recordRows(visitRecords) {
  const rows = (visitRecords.records || []).filter((r) => r.kind !== 'settings-write')
    .map((r) => ({ kind: r.kind, id: r.id, at: r.at, unit: r.unit ?? null, source: r.source || '' }));
  for (const w of visitRecords.settingsWrites || []) {
    rows.push({ kind: 'settings-write', id: w.id, at: w.writtenAt, unit: w.unit ?? null, source: '', write: w });
  }
  return rows.sort((a, b) => b.at - a.at || RECORD_KINDS.indexOf(a.kind) - RECORD_KINDS.indexOf(b.kind) || b.id - a.id);
}

// The kinds among a visit's rows with how many of each, in the list's
// order of kinds (others after, by name): [{kind, count}].
export function kindCounts(rows) {
  const counts = new Map();
  for (const r of rows) counts.set(r.kind, (counts.get(r.kind) || 0) + 1);
  const order = (k) => (RECORD_KINDS.includes(k) ? RECORD_KINDS.indexOf(k) : RECORD_KINDS.length);
  return [...counts].sort((a, b) => order(a[0]) - order(b[0]) || a[0].localeCompare(b[0])).map(([kind, count]) => ({ kind, count }));
}

// The rows of one kind; every row for '' (all kinds).
export const rowsOfKind = (rows, kind) => (kind ? rows.filter((r) => r.kind === kind) : rows);

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

// The pair compared first. The later one: the newest site survey that
// measured a unit. The earlier one: the newest complete survey of an earlier
// visit (one that began before the later one's), else one taken before it
// in the same visit. A survey cut short (cancelled, window closed, program
// killed) is compared only when the technician picks it.
// surveys: siteSurveys' list; visitStarts: visit id → its start;
// describe(id) → (a promise of) {complete, measured}. Null when no pair.
export async function defaultPair(surveys, visitStarts, describe) {
  const newest = [...(surveys || [])].reverse();
  let at = -1;
  for (let i = 0; i < newest.length && at < 0; i++) if ((await describe(newest[i].id)).measured) at = i;
  if (at < 0) return null;
  const after = newest[at];
  const older = newest.slice(at + 1);
  const start = (s) => visitStarts.get(s.visitId) ?? -Infinity;
  const earlierVisit = older.filter((s) => s.visitId !== after.visitId && start(s) < start(after));
  const sameVisit = older.filter((s) => s.visitId === after.visitId);
  for (const s of [...earlierVisit, ...sameVisit]) {
    const d = await describe(s.id);
    if (d.complete && d.measured) return { before: s.id, after: after.id };
  }
  return null;
}

// The registration records that may name a stored survey's units, best
// first, and whether the survey named its own. A survey that names the
// snapshot it was measured with (by record id, or by content id among the
// visits given) is decoded with that one alone. One kept without it (an
// older store) takes the latest registration in force at its start, its own
// visit's first, then the other visits'; never one taken after it (a sibling
// file loaded later names other units). visits: readVisit answers.
export function snapshotCandidates(record, visits) {
  if (Number.isInteger(record.registrationId)) return { named: true, ids: [record.registrationId] };
  const all = (visits || []).flatMap((v) => (v.records || []).filter((r) => r.kind === 'registration').map((r) => ({ ...r, visitId: v.visit.id, visitAt: v.visit.startedAt })));
  if (record.registrationContentId) {
    return { named: true, ids: all.filter((r) => r.contentId === record.registrationContentId).map((r) => r.id).slice(0, 1) };
  }
  const ids = all.filter((r) => r.at <= record.startedAt)
    .sort((a, b) => (b.visitId === record.visitId) - (a.visitId === record.visitId) || b.visitAt - a.visitAt || b.at - a.at || b.id - a.id)
    .map((r) => r.id);
  return { named: false, ids };
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
