// The drawing of one surveyed route: base unit → hops, each link coloured
// by its quality and each unit with its battery. Shared by the survey view
// and the report.
import { h } from './dom.js';
import { t, tn } from '../i18n/i18n.js';
import { baseText, provenanceLine } from './provenance.js';
import { legend } from './legend.js';

// The class a hop is drawn in: its verdict over every probe when it was
// probed, 'planned' when not surveyed, 'none' when it never answered.
function hopQuality(hop) {
  const r = hop.reading;
  if (r === undefined) return 'planned';
  if (!r) return 'none';
  return hop.verdict && hop.verdict !== 'none' && hop.verdict !== 'silent' ? hop.verdict : r.levelClass;
}

const num = (v) => (v === null || v === undefined ? '' : String(v));

// The tooltip of a probed hop: every figure named, and the loss bound when
// every probe answered.
export function figuresTitle(f) {
  if (!f || !f.asked) return '';
  const lines = [t('hop.tipProbes', { answered: f.answered, asked: f.asked })];
  if (f.answered) lines.push(t('hop.tipLevels', { min: f.min, median: f.median, max: f.max }));
  if (typeof f.lossBound === 'number') lines.push(t('hop.tipLoss', { bound: Math.round(f.lossBound * 1000) / 10 }));
  return lines.join('\n');
}

// A hop without `reading` is only planned; one with reading null did not
// answer. The level is labelled, so it is never read as another number.
export function hopLink(hop) {
  const r = hop.reading;
  const planned = r === undefined;
  return h('span', { class: `link q-${hopQuality(hop)}`, test: 'hop-link', title: t('hop.levelTitle'), dataset: { level: r ? String(r.level) : '' } },
    r ? t('hop.level', { level: r.level }) : planned ? '' : t('survey.noAnswer'));
}

function statsData(f) {
  if (!f) return {};
  return { asked: num(f.asked), answered: num(f.answered), min: num(f.min), median: num(f.median), max: num(f.max), last: num(f.last) };
}

// The battery, labelled as one ("batt. 89%"), with its trend.
function batteryChip(r, trend) {
  const arrow = trend === 'falling' ? '↓' : trend === 'rising' ? '↑' : '';
  return h('span', { class: `battery b-${r.batteryClass}`, test: 'hop-battery', title: t('hop.batteryTitle', { battery: r.battery }),
    text: ` ${t('hop.battery', { battery: r.battery })}${arrow}` });
}

export function hopNode(hop) {
  const r = hop.reading;
  const f = hop.figures;
  const trend = f && f.trend && f.trend.direction !== 'none' ? f.trend.direction : '';
  const verdict = hop.verdict && hop.verdict !== 'none' ? hop.verdict : r === null ? 'silent' : '';
  const quick = Boolean(verdict && f && f.quick);
  return h('span', { class: `hop ${hop.kind} ${r === null ? 'silent' : ''}`, test: 'hop', title: figuresTitle(f),
    dataset: { num: String(hop.num), kind: hop.kind, quality: r ? hopQuality(hop) : 'none', verdict: hop.verdict || '', battery: r ? r.batteryClass : 'none', trend, quick: String(quick), ...statsData(f) } },
    h('strong', { text: hop.label }),
    hop.model ? h('span', { class: 'dim', text: ` ${hop.model}` }) : null,
    r ? batteryChip(r, trend) : null,
    r && r.lowBattery ? h('span', { class: 'warn-icon', title: t('survey.lowBattery'), text: ' ⚠' }) : null,
    f && f.asked > 1 ? h('span', { class: 'probes dim', test: 'hop-probes', text: ` ${t('hop.answered', { answered: f.answered, asked: f.asked })}` }) : null,
    verdict ? h('span', { class: `hop-verdict v-${verdict}`, test: 'hop-verdict', text: ` ${verdictText(verdict, quick ? f.asked : 0)}` }) : null);
}

// A verdict in words; one that is a quick check (on fewer probes than the
// rule asks: site/linkstats.js isQuickCheck) says so, and on how many.
export function verdictText(verdict, quickProbes = 0) {
  const text = t('verdict.' + verdict);
  return quickProbes > 0 && verdict !== 'none' ? tn('verdict.quick', quickProbes, { verdict: text }) : text;
}

// What the chips of a route say, once above them: the link colours by
// class, then the figures each unit shows.
export function routeLegend() {
  return h('div', { class: 'route-legend', test: 'route-legend' },
    legend('', ['good', 'fair', 'weak', 'bad', 'silent'].map((v) => ({ key: v, shape: 'chip', text: t('verdict.' + v) }))),
    h('p', { class: 'legend dim', text: t('hop.legend') }));
}

// What the level histories show: the line and the class bands behind it.
export function historyLegend() {
  return legend('survey-history-legend', [
    { key: 'history', shape: 'line', text: t('hop.historyLine') },
    ...['good', 'fair', 'weak', 'bad'].map((v) => ({ key: 'band-' + v, shape: 'band', text: t('hop.band', { verdict: t('verdict.' + v) }) })),
  ]);
}

export function routeLine(result, baseName) {
  const parts = [h('span', { class: 'hop base', text: baseName || t('survey.base') })];
  for (const hop of result.hops) parts.push(hopLink(hop), hopNode(hop));
  return h('div', { class: 'route', test: 'route', dataset: { status: result.status } }, parts);
}

// " (4/5 answered)" after a warning of a hop probed more than once.
function probesNote(f) {
  return f && f.asked > 1 ? ' ' + t('survey.probes', { answered: f.answered, asked: f.asked }) : '';
}

// Warnings of a result: low batteries and poor links.
export function warnings(result) {
  const list = [];
  for (const hop of result.hops) {
    if (!hop.reading) continue;
    if (hop.reading.lowBattery) list.push(t('survey.warnBattery', { unit: hop.label, battery: hop.reading.battery }));
    if (hop.reading.poor) list.push(t('survey.warnLink', { unit: hop.label, level: hop.reading.level }) + probesNote(hop.figures));
  }
  return list;
}

// The survey command, kept under "advanced": the first of `commands` (the
// catalogue's surveys, EWLEX first) unless the technician picks another
// there. Returns {el, value()}.
export function commandChoice(prefix, commands) {
  const select = h('select', { id: `${prefix}-command` },
    commands.map((m) => h('option', { value: m, text: t('survey.command.' + m) })));
  const el = h('details', { id: `${prefix}-advanced`, class: 'advanced' },
    h('summary', { text: t('survey.advanced') }),
    h('label', { for: `${prefix}-command`, text: t('survey.command') }), ' ', select);
  return { el, value: () => select.value || commands[0] };
}

// Which registration the routes come from, in one line.
export function routesNote(reg, state) {
  if (!reg || !reg.prov) return state.unit ? t('survey.noRoutes') : '';
  return t('survey.routesFrom', { source: t('prov.source.' + reg.prov.source), base: baseText(reg.prov) });
}

// The provenance line of a result; `earlier` when a later run did not
// replace it.
export function resultLine(prov, state, earlier) {
  return provenanceLine(prov, state, { earlier });
}
