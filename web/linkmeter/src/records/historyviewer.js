// One record of the site records shown read-only, marked with the date it
// was taken: a survey through the survey views' route drawing, a scan as its
// rounds, anything else as what this version decoded of its bytes. Nothing
// here acts on a unit.
import { h, timeText } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { provenance, provenanceLine } from '../ui/provenance.js';
import { routeLine } from '../ui/routeview.js';
import { unitWeakestHop } from '../site/survey.js';
import { base64ToBytes } from './records.js';
import { hex8 } from './historysurvey.js';
import { logRows } from '../device/eventlog.js';
import '../i18n/servicetexts.js';
import { acceptanceRecordBody } from './acceptancerecord.js';
import { kindKey, planEditOf } from './historylist.js';

const dateOf = (record) => record.takenAt ?? record.startedAt ?? record.writtenAt ?? null;

function surveyRow(r) {
  const weakest = unitWeakestHop(r);
  const verdict = r.verdict || 'none';
  const far = r.far || null;
  return h('tr', { test: 'history-survey-row', class: `s-${r.status} v-${verdict}`, dataset: { status: r.status, serial: r.target.serial, verdict } },
    h('td', { text: r.group.name }),
    h('td', { test: 'unit-label', text: r.target.label }),
    h('td', {}, routeLine(r, '')),
    h('td', { text: weakest ? `${weakest.label} ${weakest.reading.level}` : '—' }),
    h('td', { class: 'num', text: far && far.asked ? `${far.answered}/${far.asked}` : '—' }),
    h('td', { class: `verdict q-${verdict}`, text: t('verdict.' + verdict) }));
}

const SURVEY_COLUMNS = ['group', 'unit', 'route', 'weakest', 'probes', 'verdict'];

// The boundaries the verdicts stand on: the ones in force when the survey
// was taken, or today's when asked for (or when it kept none).
function judgedLine(survey) {
  const th = survey.thresholds;
  const line = t('report.thresholdsLine', { ...th.level, ok: th.battery.ok, low: th.battery.low });
  const judged = survey.judged || 'now';
  return h('p', { test: 'history-thresholds', dataset: { judged, level: `${th.level.weak},${th.level.fair},${th.level.good}` }, text: t('history.judgedBy.' + judged, { line }) });
}

function surveyBody(survey) {
  const state = survey.complete ? 'complete' : 'incomplete';
  return [
    h('p', { test: 'history-survey-state', dataset: { state }, text: t('history.survey.' + state, { units: survey.results.length }) }),
    judgedLine(survey),
    h('table', { class: 'list results', test: 'history-survey-table' },
      h('thead', {}, h('tr', {}, SURVEY_COLUMNS.map((k) => h('th', { text: t('sitesurvey.col.' + k) })))),
      h('tbody', {}, survey.results.map(surveyRow))),
  ];
}

function scanBody(record) {
  return h('table', { class: 'list', test: 'history-scan-table' },
    h('thead', {}, h('tr', {}, ['history.round', 'history.at', 'history.decoded'].map((k) => h('th', { text: t(k) })))),
    h('tbody', {}, (record.rounds || []).map((r) => h('tr', { test: 'history-scan-round' },
      h('td', { class: 'num', text: String(r.round) }), h('td', { class: 'mono', text: timeText(new Date(r.at)) }),
      h('td', {}, h('pre', { class: 'decoded', text: JSON.stringify(r.decoded ?? null) }))))));
}

function writeBody(write) {
  return [
    h('p', { test: 'history-write-outcome', dataset: { succeeded: String(write.succeeded === true) },
      text: t(write.succeeded === true ? 'history.write.taken' : 'history.write.refused', { message: write.message || '' }) }),
    h('table', { class: 'list', test: 'history-write-table' },
      h('thead', {}, h('tr', {}, ['history.key', 'history.old', 'history.new'].map((k) => h('th', { text: t(k) })))),
      h('tbody', {}, (write.changes || []).map((c) => h('tr', { test: 'history-write-key', dataset: { key: c.key } },
        h('td', { class: 'mono', text: c.key }), h('td', { class: 'mono', text: c.old === undefined || c.old === null ? '—' : JSON.stringify(c.old) }),
        h('td', { class: 'mono', text: JSON.stringify(c.new) }))))),
  ];
}

// An event log kept decoded ({logs}): its rows as the event log view
// shows them, newest first.
function logBody(record) {
  const rows = logRows(record.decoded.logs);
  return h('table', { class: 'list', test: 'history-log-table' },
    h('thead', {}, h('tr', {}, ['log.time', 'log.category', 'log.number', 'log.text'].map((k) => h('th', { text: t(k) })))),
    h('tbody', {}, rows.map((r) => h('tr', { test: 'history-log-row' }, h('td', { class: 'mono', text: r.time }),
      h('td', { text: String(r.category) }), h('td', { text: String(r.number) }), h('td', { text: r.text })))));
}

function rawBody(record) {
  const size = base64ToBytes(record.raw || '').length;
  const header = record.header ? base64ToBytes(record.header).length : 0;
  return [
    h('p', { class: 'dim', test: 'history-raw-size', text: t('history.rawSize', { bytes: size, header, source: record.source || '—' }) }),
    h('pre', { class: 'decoded', test: 'history-decoded', text: record.decoded === null || record.decoded === undefined ? t('history.notDecoded') : JSON.stringify(record.decoded, null, 1) }),
  ];
}

// The viewer's content. record: readRecord's answer (or a settings write
// from readVisit, kind 'settings-write'); survey: the survey in the page's
// shape (historysurvey.js) for a survey record; site: {serial, name, model}.
export function recordView(record, { survey = null, site = {}, state = {} } = {}) {
  const at = dateOf(record);
  const unit = record.unit !== null && record.unit !== undefined ? { serial: hex8(record.unit), label: hex8(record.unit) } : null;
  const prov = survey ? survey.prov : null;
  const base = { serial: hex8(site.serial || 0), name: site.name || '', model: site.model || '' };
  const line = provenanceLine(prov || provenance(base, { unit, source: 'records', time: at ?? 0 }), state, { earlier: true });
  let body;
  if (survey) body = surveyBody(survey);
  else if (record.kind === 'channel-scan') body = scanBody(record);
  else if (record.kind === 'settings-write') body = writeBody(record);
  else if (record.kind === 'event-log' && record.decoded && Array.isArray(record.decoded.logs)) body = logBody(record);
  else if (record.kind === 'acceptance') body = acceptanceRecordBody(record.decoded) || rawBody(record);
  else body = rawBody(record);
  return h('div', { class: 'history-record earlier', dataset: { kind: record.kind, recordId: String(record.id), readonly: 'true', source: 'records', taken: String(at ?? '') } },
    h('h3', { test: 'history-viewer-title', text: `${t(kindKey({ ...record, planEdit: planEditOf(record.decoded) }))} — ${t('history.recordedOn', { date: at ? timeText(new Date(at)) : '—' })}` }),
    h('p', { class: 'readonly-note', test: 'history-readonly', text: t('history.readOnly') }),
    line, body);
}
