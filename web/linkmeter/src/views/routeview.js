// The drawing of one surveyed route: base unit → hops, each link coloured
// by its quality and each unit with its battery. Shared by the survey view
// and the report.
import { h } from '../dom.js';
import { t } from '../i18n.js';
import { baseText, provenanceLine, provenanceText, isCurrent } from '../provenance.js';

// A hop without `reading` is only planned; one with reading null did not
// answer.
export function hopLink(hop) {
  const r = hop.reading;
  const planned = r === undefined;
  return h('span', { class: `link q-${r ? r.levelClass : planned ? 'planned' : 'none'}`, test: 'hop-link', dataset: { level: r ? String(r.level) : '' } },
    r ? String(r.level) : planned ? '' : t('survey.noAnswer'));
}

export function hopNode(hop) {
  const r = hop.reading;
  return h('span', { class: `hop ${hop.kind} ${r === null ? 'silent' : ''}`, test: 'hop', dataset: { num: String(hop.num), kind: hop.kind, quality: r ? r.levelClass : 'none', battery: r ? r.batteryClass : 'none' } },
    h('strong', { text: hop.label }),
    hop.model ? h('span', { class: 'dim', text: ` ${hop.model}` }) : null,
    r ? h('span', { class: `battery b-${r.batteryClass}`, title: t('survey.battery'), text: ` ${r.battery}%` }) : null,
    r && r.lowBattery ? h('span', { class: 'warn-icon', title: t('survey.lowBattery'), text: ' ⚠' }) : null);
}

export function routeLine(result, baseName) {
  const parts = [h('span', { class: 'hop base', text: baseName || t('survey.base') })];
  for (const hop of result.hops) parts.push(hopLink(hop), hopNode(hop));
  return h('div', { class: 'route', test: 'route', dataset: { status: result.status } }, parts);
}

// Warnings of a result: low batteries and poor links.
export function warnings(result) {
  const list = [];
  for (const hop of result.hops) {
    if (!hop.reading) continue;
    if (hop.reading.lowBattery) list.push(t('survey.warnBattery', { unit: hop.label, battery: hop.reading.battery }));
    if (hop.reading.poor) list.push(t('survey.warnLink', { unit: hop.label, level: hop.reading.level }));
  }
  return list;
}

// The survey command, kept under "advanced": EWLEX unless the technician
// picks the other one there. Returns {el, value()}.
export function commandChoice(prefix) {
  const select = h('select', { id: `${prefix}-command` },
    ['EWLEX', 'EWLRU'].map((m) => h('option', { value: m, text: t('survey.command.' + m) })));
  const el = h('details', { id: `${prefix}-advanced`, class: 'advanced' },
    h('summary', { text: t('survey.advanced') }),
    h('label', { for: `${prefix}-command`, text: t('survey.command') }), ' ', select);
  return { el, value: () => select.value || 'EWLEX' };
}

// Which registration the routes come from, in one line.
export function routesNote(reg, state) {
  if (!reg || !reg.prov) return state.unit ? t('survey.noRoutes') : '';
  return t('survey.routesFrom', { source: t('prov.source.' + reg.prov.source), base: baseText(reg.prov) });
}

// The provenance line of a result; one kept from an earlier run of the
// connected unit itself says so, rather than naming another unit.
export function resultLine(prov, state, earlier) {
  const line = provenanceLine(prov, state, { earlier });
  if (earlier && isCurrent(prov, state)) line.textContent = `${provenanceText(prov, state)} — ${t('result.earlierRun')}`;
  return line;
}
