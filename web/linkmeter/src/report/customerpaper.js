// The customer's report laid out for paper: page 1 says who, when, the site
// verdict against the named profile with counts and what to do about each
// failing or waived unit; then a compact row per unit, the comparison with
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

// Page 1 says what is wrong and what to do, each once: the failing units
// by the rule that decided, every remedy with the units it is for, and each
// waiver with its reason. A site failing for one cause keeps page 1 short.
function byKey(units, keysOf) {
  const groups = new Map();
  for (const u of units) {
    for (const [key, text, data] of keysOf(u)) {
      if (!groups.has(key)) groups.set(key, { text, data, units: [] });
      groups.get(key).units.push(u);
    }
  }
  return [...groups.values()];
}

const names = (units) => units.map((u) => u.label).join(', ');
const serials = (units) => units.map((u) => u.serial).join(',');

function actOn(a) {
  const failing = a.units.filter((u) => u.verdict === 'fail');
  if (!failing.length) return h('p', { text: t('paper.noneToAct') });
  const open = failing.filter((u) => !u.waiver);
  const rules = byKey(open, (u) => [[u.rule, u.ruleText, { rule: u.rule || '' }]]);
  const remedies = byKey(failing, (u) => u.remedyTexts.map((text, i) => [text, text, { kind: u.remedies[i].kind }]));
  return [
    h('ul', { class: 'paper-failing' },
      rules.map((r) => h('li', { test: 'paper-failing', dataset: { ...r.data, units: serials(r.units) } },
        h('strong', { text: t('paper.failing', { rule: r.text, count: r.units.length }) }), ' ', names(r.units))),
      failing.filter((u) => u.waiver).map((u) => h('li', { test: 'paper-waiver', dataset: { units: u.serial } },
        h('strong', { text: `${u.label}: ` }), t('paper.waived', { reason: u.waiver.reason })))),
    remedies.length ? h('h4', { text: t('paper.whatToDo') }) : null,
    remedies.length ? h('ul', { class: 'paper-remedies' }, remedies.map((r) => h('li', { test: 'paper-remedy', dataset: { ...r.data, units: serials(r.units) } },
      t('paper.remedy', { text: r.text, units: names(r.units) })))) : null,
  ];
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
    h('ul', { class: 'paper-rules' }, profileRules(a.profile, a.thresholds).map((r) => h('li', { text: r.text }))),
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
    h('h3', { text: t('paper.units') }),
    h('table', { class: 'list paper-units' }, head(['group', 'unit', 'route', 'weakest', 'probes', 'battery', 'verdict']), h('tbody', {}, report.units.map(unitRow))),
    input.comparison,
    h('h3', { text: t('paper.groups') }),
    h('table', { class: 'list paper-groups' }, head(['group', 'units', 'counts', 'weakest', 'lowBatteries']), h('tbody', {}, report.groups.map(groupRow))),
    input.weakest ? [h('h4', { text: t('paper.weakest') }), input.weakest] : null,
    legend(a, input.thresholdsLine),
    input.plans || null);
}
