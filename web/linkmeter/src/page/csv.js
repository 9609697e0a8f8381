// CSV text (RFC 4180: CRLF lines, fields quoted when they hold a comma, a
// quote or a line break). Text that a spreadsheet would run as a formula
// (starting with = + - @ or a tab) gets a leading apostrophe; numbers, and
// text that is a plain number ("-1.5"), are written as they are.
import { PROVENANCE_HEADER, provenanceCells } from '../ui/provenance.js';
import { judgeResult } from '../site/survey.js';
import { DEFAULT_THRESHOLDS, thresholdsText } from '../site/thresholds.js';

const FORMULA_START = /^[=+\-@\t\r]/;
const PLAIN_NUMBER = /^-?\d+(\.\d+)?$/;

export function csvField(value) {
  if (value === null || value === undefined) return '';
  if (typeof value === 'number') return Number.isFinite(value) ? String(value) : '';
  if (typeof value === 'boolean') return value ? 'true' : 'false';
  let text = String(value);
  if (FORMULA_START.test(text) && !PLAIN_NUMBER.test(text)) text = "'" + text;
  return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
}

export function csvText(header, rows) {
  return [header, ...rows].map((row) => row.map(csvField).join(',')).join('\r\n') + '\r\n';
}

// One line per hop of every surveyed unit; units that did not answer at all
// get one line with their status. Every line starts with whose it is: the
// base unit, the unit surveyed and when; it ends with the probes behind the
// hop's figures, the verdicts (linkstats.js) and the class boundaries they
// were judged by. The level is the median of the probes answered.
export const SURVEY_HEADER = [...PROVENANCE_HEADER, 'routes from', 'group', 'channel', 'unit', 'model', 'status',
  'hop', 'hop unit', 'hop serial', 'level', 'link', 'battery', 'battery state',
  'probes', 'answered', 'level min', 'level max', 'level last', 'battery trend', 'hop verdict', 'route verdict', 'thresholds'];

const blank = (n) => new Array(n).fill('');

function statsCells(hop) {
  const f = hop.figures;
  if (!f) return blank(6);
  return [f.asked, f.answered, f.min, f.max, f.last, f.trend && f.trend.delta !== null ? f.trend.delta : ''];
}

// survey: {prov, regSource, results} (sitesurveybook.js); th: the class
// boundaries in force.
export function surveyRows(survey, th = DEFAULT_THRESHOLDS) {
  const rows = [];
  const rule = thresholdsText(th);
  for (const raw of survey.results) {
    const r = judgeResult(raw, th);
    const whose = provenanceCells(survey.prov ? { ...survey.prov, time: r.when } : null, r.target.serial);
    const base = [...whose, survey.regSource || '', r.group.name, r.group.freq, r.target.label || r.target.name, r.target.model, r.status];
    const verdict = r.verdict || '';
    if (!r.hops.some((hop) => hop.reading)) {
      const far = r.hops.length ? statsCells(r.hops[r.hops.length - 1]) : blank(6);
      rows.push([...base, ...blank(7), ...far, '', verdict, rule]);
      continue;
    }
    r.hops.forEach((hop, i) => {
      const reading = hop.reading;
      rows.push([...base, i + 1, hop.label, hop.serial,
        reading ? reading.level : '', reading ? reading.levelClass : 'no answer',
        reading ? reading.battery : '', reading ? reading.batteryClass : '',
        ...statsCells(hop), hop.verdict || '', verdict, rule]);
    });
  }
  return rows;
}

export const surveyCsv = (survey, th) => csvText(SURVEY_HEADER, surveyRows(survey, th));
