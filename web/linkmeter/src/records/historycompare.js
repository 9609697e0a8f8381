// Two site surveys compared, as tables: every hop both measured (the ones
// that got worse first and marked), each unit's level and battery change,
// and the hops only one of them went through.
import { h } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { changeText, valueText } from './historylist.js';

const cls = (v) => (typeof v === 'number' && Number.isFinite(v) ? (v < 0 ? 'down' : v > 0 ? 'up' : 'same') : 'none');

function hopRow(hop) {
  return h('tr', { test: 'compare-hop', class: hop.worse ? 'worse' : '', dataset: { key: hop.key, worse: String(hop.worse), change: hop.change === null ? '' : String(hop.change), from: hop.from.serial, to: hop.to.serial } },
    h('td', { test: 'compare-hop-label', text: hop.label }),
    h('td', { class: `num q-${hop.classBefore}`, text: valueText(hop.before) }),
    h('td', { class: `num q-${hop.classAfter}`, text: valueText(hop.after) }),
    h('td', { class: `num change ${cls(hop.change)}`, text: hop.after === null && hop.before !== null ? t('history.fellSilent') : changeText(hop.change) }),
    h('td', { text: hop.worse ? t('history.worse') : '' }));
}

function unitRow(u) {
  return h('tr', { test: 'compare-unit', dataset: { serial: u.serial, batteryChange: u.batteryChange === null ? '' : String(u.batteryChange) } },
    h('td', { text: u.label }),
    h('td', { class: 'num', text: valueText(u.levelBefore) }),
    h('td', { class: 'num', text: valueText(u.levelAfter) }),
    h('td', { class: 'num', text: valueText(u.batteryBefore) }),
    h('td', { class: 'num', text: valueText(u.batteryAfter) }),
    h('td', { class: `num change ${cls(u.batteryChange)}`, text: changeText(u.batteryChange) }));
}

const head = (keys) => h('thead', {}, h('tr', {}, keys.map((k) => h('th', { text: t(k) }))));

function onlyList(id, title, hops) {
  if (!hops.length) return null;
  return h('div', { id, class: 'compare-only' }, h('h4', { text: title }),
    h('ul', {}, hops.map((x) => h('li', { test: 'compare-only-hop', dataset: { key: x.key }, text: `${x.label} (${valueText(x.level)})` }))));
}

// The comparison's tables; `c` is compareSiteSurveys' answer.
export function compareView(c) {
  const worse = c.hops.filter((x) => x.worse).length;
  return [
    h('p', { id: 'history-compare-summary', dataset: { worse: String(worse), hops: String(c.hops.length) }, class: worse ? 'warn' : '',
      text: t(worse ? 'history.compare.worseCount' : 'history.compare.noneWorse', { worse, hops: c.hops.length, by: c.worseBy }) }),
    h('table', { id: 'history-compare', class: 'list compare' },
      head(['history.hop', 'history.before', 'history.after', 'history.change', 'history.judgement']),
      h('tbody', {}, c.hops.map(hopRow))),
    onlyList('history-only-before', t('history.onlyBefore'), c.onlyBefore),
    onlyList('history-only-after', t('history.onlyAfter'), c.onlyAfter),
    h('h4', { text: t('history.unitsTitle') }),
    h('table', { id: 'history-compare-units', class: 'list compare' },
      head(['history.unit', 'history.levelBefore', 'history.levelAfter', 'history.batteryBefore', 'history.batteryAfter', 'history.batteryChange']),
      h('tbody', {}, c.units.map(unitRow))),
  ];
}
