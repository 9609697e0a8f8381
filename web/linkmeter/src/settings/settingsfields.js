// The inputs of a settings block: one per write key, codes as named
// choices (the code small beside each name), switches as checkboxes,
// scheduled events as labelled members, texts wide enough for their
// longest value. Each field knows its value in the key's reader kind.
import { h } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { fieldKind, parseText, valueText } from './forms.js';
import { codeChoices, EVENT_MEMBERS, dstMeaning } from './settingcodes.js';
import { valueForm } from './fieldchecks.js';

// "Security SEC": the name, the key small; the key alone when unnamed.
export function keyLabel(key) {
  const text = t('key.' + key);
  const name = text === 'key.' + key ? key : text;
  return h('span', { class: 'label' }, name, ' ', h('small', { class: 'key', text: key }));
}

function codeOption(c, selected) {
  return h('option', { value: String(c.value), selected, text: `${t(c.name)} (${c.value})` });
}

function memberInput(m) {
  const shown = EVENT_MEMBERS[m.name] || { label: m.name };
  let el;
  if (m.lo === 0 && m.hi === 1) el = h('input', { type: 'checkbox' });
  else if (shown.names) {
    el = h('select', {}, h('option', { value: '' }), Array.from({ length: m.hi - m.lo + 1 }, (x, i) => m.lo + i)
      .map((v) => h('option', { value: String(v), text: t(shown.names(v)) })));
  } else el = h('input', { type: 'text', size: 3, title: `${m.lo}–${m.hi}` });
  el.dataset.member = m.name;
  return h('label', { class: 'member' }, h('span', { class: 'member-label', text: t(shown.label) }), el);
}

// The range of a number field (ports from 1: 0 names no port); switches
// and codes show their choices instead.
function rangeHint(arg) {
  const c = arg.check || {};
  if (arg.reader !== 'integer' || c.kind !== 'range' || fieldKind(arg) === 'switch' || codeChoices(arg)) return null;
  if (valueForm(arg.key) === 'port') return h('span', { class: 'range dim', test: 'field-range', text: '1–65535' });
  return h('span', { class: 'range dim', test: 'field-range', text: c.hi === null || c.hi === undefined ? `≥ ${c.lo}` : `${c.lo}–${c.hi}` });
}

// The input element of `arg` in block `blockId`.
export function fieldInput(blockId, arg) {
  const id = `set-${blockId}-${arg.key}`;
  const kind = fieldKind(arg);
  const codes = codeChoices(arg);
  if (codes) return h('select', { id, dataset: { key: arg.key, kind: 'code' } }, h('option', { value: '' }), codes.map((c) => codeOption(c, false)));
  if (kind === 'switch') return h('input', { id, type: 'checkbox', dataset: { key: arg.key } });
  if (kind === 'members') return h('span', { id, class: 'members', dataset: { key: arg.key, kind } }, arg.members.map(memberInput));
  if (kind === 'choice') return h('select', { id, dataset: { key: arg.key } }, h('option', { value: '' }), arg.check.words.map((w) => h('option', { value: w, text: w })));
  const hi = arg.check && arg.check.hi;
  const size = kind === 'number' ? 8 : Math.min(48, Math.max(16, Number(hi) || 24));
  return h('input', { id, type: arg.secret ? 'password' : 'text', autocomplete: 'off', size, dataset: { key: arg.key } });
}

// A field: its label, input, range, meaning readout and message.
export function fieldElement(f) {
  const wide = f.arg.reader === 'text' && Number(f.arg.check && f.arg.check.hi) >= 32;
  return h('label', { class: wide ? 'field wide' : 'field', for: f.el.id, dataset: { key: f.arg.key } },
    keyLabel(f.arg.key), f.el, rangeHint(f.arg), f.note, f.msg);
}

// What the field holds now, in the key's reader kind; undefined when empty.
export function formValue(arg, el) {
  if (el.dataset.kind === 'members') {
    const inputs = [...el.querySelectorAll('[data-member]')];
    if (inputs.every((i) => i.type !== 'checkbox' && i.value.trim() === '')) return undefined;
    return Object.fromEntries(inputs.map((i) => [i.dataset.member, i.type === 'checkbox' ? Number(i.checked) : parseText({ reader: 'integer' }, i.value)]));
  }
  if (el.type === 'checkbox') return el.checked ? 1 : 0;
  if (el.value === '' && arg.reader !== 'text') return undefined;
  return parseText(arg, el.value);
}

export function setFormValue(arg, el, value) {
  if (el.dataset.kind === 'members') {
    for (const i of el.querySelectorAll('[data-member]')) {
      const v = value ? value[i.dataset.member] : undefined;
      if (i.type === 'checkbox') i.checked = v === 1;
      else i.value = v === undefined ? '' : String(v);
    }
  } else if (el.type === 'checkbox') el.checked = value === 1;
  else if (el.dataset.kind === 'code' && value !== undefined && value !== null && !el.querySelector(`option[value="${value}"]`)) {
    el.append(h('option', { value: String(value), text: `${t('code.unknown')} (${value})` }));
    el.value = String(value);
  } else el.value = valueText(arg, value);
}

// A readout of what a text code means (DST), or nothing.
export function meaningText(arg, value) {
  if (arg.key !== 'DST') return '';
  const m = dstMeaning(value);
  return m ? t(m) : '';
}
