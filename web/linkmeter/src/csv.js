// CSV text (RFC 4180: CRLF lines, fields quoted when they hold a comma, a
// quote or a line break). Text that a spreadsheet would run as a formula
// (starting with = + - @ or a tab) gets a leading apostrophe; numbers are
// written as they are.
import { PROVENANCE_HEADER, provenanceCells } from './provenance.js';

const FORMULA_START = /^[=+\-@\t\r]/;

export function csvField(value) {
  if (value === null || value === undefined) return '';
  if (typeof value === 'number') return Number.isFinite(value) ? String(value) : '';
  if (typeof value === 'boolean') return value ? 'true' : 'false';
  let text = String(value);
  if (FORMULA_START.test(text)) text = "'" + text;
  return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
}

export function csvText(header, rows) {
  return [header, ...rows].map((row) => row.map(csvField).join(',')).join('\r\n') + '\r\n';
}

// One line per hop of every surveyed unit; units that did not answer at all
// get one line with their status. Every line starts with whose it is: the
// base unit, the unit surveyed and when.
export const SURVEY_HEADER = [...PROVENANCE_HEADER, 'routes from', 'group', 'channel', 'unit', 'model', 'status',
  'hop', 'hop unit', 'hop serial', 'level', 'link', 'battery', 'battery state'];

// survey: {prov, regSource, results} (sitesurveybook.js).
export function surveyRows(survey) {
  const rows = [];
  for (const r of survey.results) {
    const whose = provenanceCells(survey.prov ? { ...survey.prov, time: r.when } : null, r.target.serial);
    const base = [...whose, survey.regSource || '', r.group.name, r.group.freq, r.target.label || r.target.name, r.target.model, r.status];
    if (!r.hops.some((hop) => hop.reading)) {
      rows.push([...base, '', '', '', '', '', '', '']);
      continue;
    }
    r.hops.forEach((hop, i) => {
      const reading = hop.reading;
      rows.push([...base, i + 1, hop.label, hop.serial,
        reading ? reading.level : '', reading ? reading.levelClass : 'no answer',
        reading ? reading.battery : '', reading ? reading.batteryClass : '']);
    });
  }
  return rows;
}

export const surveyCsv = (survey) => csvText(SURVEY_HEADER, surveyRows(survey));
