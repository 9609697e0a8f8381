// Where a shown result came from: the base unit (serial, name), the unit it
// concerns, its source and when it was taken. Views render this from the
// result itself, never from "the connected unit now", so an earlier result
// can never pass for a current one.
import { t } from '../i18n/i18n.js';
import { h, pad2, timeText } from './dom.js';

// 'unit': read or measured from the unit; 'sibling': the sibling
// application's settings file; 'manual': entered by the technician;
// 'records': opened from the site records.
export const SOURCES = ['unit', 'sibling', 'manual', 'records'];

// base: a comInfo or search entry ({serial, name, model}); unit: the unit the
// result concerns ({serial, label}) or null for the base unit itself.
export function provenance(base, { unit = null, source = 'unit', time = Date.now() } = {}) {
  if (!SOURCES.includes(source)) throw new Error('unknown source ' + source);
  return Object.freeze({
    base: Object.freeze({ serial: String((base && base.serial) || ''), name: String((base && base.name) || ''), model: String((base && base.model) || '') }),
    unit: unit ? Object.freeze({ serial: String(unit.serial || ''), label: String(unit.label || unit.name || '') }) : null,
    source,
    time: time instanceof Date ? time.getTime() : Number(time),
  });
}

// True while `prov` belongs to the connected base unit (still reachable)
// and the view shows it as its latest result (`earlier` false).
export function isCurrent(prov, state, { earlier = false } = {}) {
  if (!prov || earlier || !state || !state.unit) return false;
  if (state.linkLost) return false;
  return prov.base.serial !== '' && prov.base.serial === String(state.unit.serial || '');
}

// The data attributes every element showing a result carries.
export function markResult(el, prov, state, options) {
  if (!el) return el;
  const current = isCurrent(prov, state, options);
  el.dataset.base = prov ? prov.base.serial : '';
  el.dataset.current = String(current);
  el.classList.toggle('earlier', Boolean(prov) && !current);
  return el;
}

export function baseText(prov) {
  if (!prov) return '';
  return prov.base.name ? `${prov.base.name} (${prov.base.serial})` : prov.base.serial;
}

// Why a result is not current, in the order a technician needs it: the
// link is gone, nothing is connected, it came from a file or from the site
// records, it is another base unit's, or a later run of this unit did not
// replace it. Null when it is current.
export function notCurrentReason(prov, state, options) {
  if (!prov || isCurrent(prov, state, options)) return null;
  if (!state || !state.unit) return 'noUnit';
  const sameBase = prov.base.serial !== '' && prov.base.serial === String(state.unit.serial || '');
  if (sameBase && state.linkLost) return 'linkLost';
  if (prov.source === 'records') return 'records';
  if (prov.source === 'sibling') return 'file';
  return sameBase ? 'earlier' : 'otherUnit';
}

// One line saying whose, what source and when, and why it is not current.
export function provenanceText(prov, state, options) {
  if (!prov) return '';
  const parts = [t('prov.base', { base: baseText(prov) })];
  if (prov.unit) parts.push(t('prov.unit', { unit: prov.unit.label || prov.unit.serial }));
  parts.push(t('prov.source.' + prov.source));
  parts.push(timeText(new Date(prov.time)));
  const line = parts.join(' · ');
  const why = notCurrentReason(prov, state, options);
  return why ? `${line} — ${t('prov.why.' + why)}` : line;
}

export function provenanceLine(prov, state, options) {
  const el = h('div', { class: 'provenance', test: 'provenance', text: provenanceText(prov, state, options) });
  return markResult(el, prov, state, options);
}

// Columns every CSV export starts its rows with.
export const PROVENANCE_HEADER = ['base serial', 'base name', 'unit serial', 'taken', 'source'];

export function provenanceCells(prov, unitSerial) {
  if (!prov) return ['', '', unitSerial || '', '', ''];
  return [prov.base.serial, prov.base.name, unitSerial ?? (prov.unit ? prov.unit.serial : ''), timeText(new Date(prov.time)), prov.source];
}

function safeName(text) {
  return String(text || '').replace(/[\\/:*?"<>|\s]+/g, '_').replace(/^_+|_+$/g, '').slice(0, 40);
}

// "site-survey-RIVERSIDE-20261209-0315.csv": names the base unit and the date.
export function exportFileName(kind, prov, ext = '.csv') {
  const d = new Date(prov ? prov.time : Date.now());
  const stamp = `${d.getFullYear()}${pad2(d.getMonth() + 1)}${pad2(d.getDate())}-${pad2(d.getHours())}${pad2(d.getMinutes())}`;
  const who = prov ? safeName(prov.base.name) || safeName(prov.base.serial) : '';
  return [kind, who, stamp].filter(Boolean).join('-') + ext;
}
