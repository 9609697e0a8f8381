// The customer's report laid out for paper: page 1 says who, when, the site
// verdict against the named profile with counts, what was found, "Fix these
// first" and the waivers; then a compact row per unit, the comparison with
// the previous visit, the groups in brief and a legend of every mark used;
// then a page per plan of the site (planpaper.js).
// Only what is printed is here (no buttons, no collapse controls, no
// earlier-result line); reportprint.js cuts it into A4 pages.
import { h, timeText } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { profileRules } from '../site/acceptancetexts.js';
import './papertexts.js';

const dateOnly = (ms) => timeText(ms).split(' ')[0];

function factsTable(f) {
  const row = (key, text, test) => h('tr', {}, h('th', { text: t(key) }), h('td', { test, text }));
  return h('table', { class: 'facts' },
    row('report.site', f.site, 'paper-site'), row('report.customer', f.customer, 'paper-customer'),
    row('report.technician', f.technician, 'paper-technician'), row('paper.visitDate', f.visitDate, 'paper-visit-date'),
    f.notes ? row('report.notes', f.notes, 'paper-notes') : null);
}

function verdictBlock(a) {
  return h('div', { class: `paper-verdict a-${a.verdict}`, test: 'paper-verdict', dataset: { verdict: a.verdict } },
    h('span', { text: `${t('paper.verdict')}: ` }), h('strong', { text: a.siteText }),
    h('span', { text: ` (${t('paper.against', { profile: a.profileTitle })}) — ${a.countsText}` }));
}

// Page 1 says what is wrong and what to do, each once, in the customer's
// words: the failing units by what was found (the cause, not the rule's
// name), "Fix these first" (at most PAGE_ONE_ACTIONS actions, cheapest
// first, each with the units it fixes and where a proposed repeater goes)
// and each waiver with its reason. The rest of the work follows the units.
export const PAGE_ONE_ACTIONS = 5;

const names = (units) => units.map((u) => u.label).join(', ');
const serials = (units) => units.map((u) => u.serial).join(',');

// The failing units not waived, by cause ("Low battery (1): G3 COLD-RM").
function failingByCause(open) {
  const groups = new Map();
  for (const u of open) {
    const key = u.diagnosis ? u.diagnosis.cause : `rule:${u.rule}`;
    if (!groups.has(key)) groups.set(key, { cause: u.diagnosis ? u.diagnosis.cause : '', rule: u.rule || '', text: u.diagnosis ? u.diagnosis.causeText : u.ruleText, units: [] });
    groups.get(key).units.push(u);
  }
  return [...groups.values()];
}

function actionItem(a) {
  const at = a.position ? { proposal: a.proposal, x: String(a.position.x), y: String(a.position.y) } : {};
  return h('li', { test: 'paper-action', dataset: { kind: a.kind, units: a.serials.join(','), ...at } }, a.text);
}

function actOn(a) {
  const failing = a.units.filter((u) => u.verdict === 'fail');
  if (!failing.length) return h('p', { text: t('paper.noneToAct') });
  const open = failing.filter((u) => !u.waiver);
  const first = (a.fixFirst || []).slice(0, PAGE_ONE_ACTIONS);
  return [
    h('ul', { class: 'paper-failing' },
      failingByCause(open).map((g) => h('li', { test: 'paper-failing', dataset: { cause: g.cause, rule: g.rule, units: serials(g.units) } },
        h('strong', { text: t('paper.failing', { finding: g.text, count: g.units.length }) }), ' ', names(g.units))),
      failing.filter((u) => u.waiver).map((u) => h('li', { test: 'paper-waiver', dataset: { units: u.serial } },
        h('strong', { text: `${u.label}: ` }), t('paper.waived', { reason: u.waiver.reason })))),
    first.length ? h('h4', { text: t('acceptance.fixFirst') }) : null,
    first.length ? h('ol', { class: 'paper-actions', test: 'paper-fix-first' }, first.map(actionItem)) : null,
    a.fixFirst && a.fixFirst.length > first.length ? h('p', { class: 'dim', test: 'paper-more-actions', text: t('paper.moreActions', { count: a.fixFirst.length - first.length }) }) : null,
  ];
}

// The work page 1 had no room for.
function moreWork(a) {
  const rest = (a.fixFirst || []).slice(PAGE_ONE_ACTIONS);
  if (!rest.length) return null;
  return [h('h3', { text: t('paper.allWork') }), h('ol', { class: 'paper-actions', start: String(PAGE_ONE_ACTIONS + 1) }, rest.map(actionItem))];
}

function unitRow(r) {
  const cell = (text, cls) => h('td', { class: cls, text });
  return h('tr', { test: 'report-unit', class: `v-${r.waived ? 'waived' : r.verdict}`, dataset: { serial: r.serial, verdict: r.verdict } },
    cell(r.groupName), cell(r.label), cell(r.route, 'paper-route'),
    cell(r.weakest ? r.weakest.text : ''), cell(r.probes.asked ? t('paper.probes', r.probes) : '', 'num'),
    cell(r.battery ? `${r.battery.percent} %` : '', r.battery && r.battery.low ? 'num low' : 'num'), cell(r.verdictText, 'verdict'));
}

const head = (keys) => h('thead', {}, h('tr', {}, keys.map((k) => h('th', { text: t('paper.col.' + k) }))));

function groupRow(g) {
  return h('tr', { test: 'paper-group' },
    h('td', { text: g.name }), h('td', { class: 'num', text: String(g.units) }),
    h('td', { text: `${g.pass} / ${g.marginal} / ${g.fail} / ${g.waived}` }),
    h('td', { text: g.weakest ? g.weakest.text : '' }), h('td', { text: g.lowBatteries.join(', ') }));
}

function legend(a, thresholdsLine) {
  return [
    h('h3', { text: t('paper.legend') }),
    h('ul', { class: 'paper-legend' }, ['route', 'noAnswer', 'probes', 'verdicts', 'colours'].map((k) => h('li', { text: t('paper.legend.' + k) })),
      h('li', { text: t('paper.legend.classes', { line: thresholdsLine }) })),
    h('h4', { text: t('paper.rules', { profile: a.profileTitle }) }),
    h('ul', { class: 'paper-rules' }, profileRules(a.profile, a.thresholds, 'paper.rule.').map((r) => h('li', { text: r.text }))),
  ];
}

// The report on paper. input: {acceptance (described), report
// (customerReport), facts {site, customer, technician, notes}, survey,
// made (ms), comparison (element or null), weakest (element or null),
// thresholdsLine, plans ([element] of planpaper.js, each a page of its
// own after the legend)}. → an element whose children reportprint.js lays
// out.
export function customerPaper(input) {
  const { acceptance: a, report, facts, survey } = input;
  const visitDate = dateOnly(survey.started);
  return h('div', { class: 'customer-paper', dataset: { reportId: report.id } },
    h('h2', { text: t('paper.title') }),
    h('p', { test: 'paper-measured', text: t('paper.measured', { start: timeText(survey.started), finish: survey.finished ? timeText(survey.finished) : '', made: timeText(input.made) }) }),
    report.complete ? null : h('p', { test: 'paper-incomplete', class: 'warn', text: t('paper.incomplete') }),
    factsTable({ ...facts, visitDate }),
    verdictBlock(a),
    h('h3', { text: t('paper.actOn') }),
    actOn(a),
    moreWork(input.acceptance),
    h('h3', { text: t('paper.units') }),
    h('table', { class: 'list paper-units' }, head(['group', 'unit', 'route', 'weakest', 'probes', 'battery', 'verdict']), h('tbody', {}, report.units.map(unitRow))),
    input.comparison,
    h('h3', { text: t('paper.groups') }),
    h('table', { class: 'list paper-groups' }, head(['group', 'units', 'counts', 'weakest', 'lowBatteries']), h('tbody', {}, report.groups.map(groupRow))),
    input.weakest ? [h('h4', { text: t('paper.weakest') }), input.weakest] : null,
    legend(a, input.thresholdsLine),
    input.plans || null);
}
