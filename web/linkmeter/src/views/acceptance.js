// Acceptance: the site judged against the acceptance profile from the
// latest site survey. An acceptance survey is a site survey with the
// profile's probes per unit (the site survey view runs it). Shows the site
// verdict with counts, "Fix these first" and what gains margin, the site's
// own propagation fit, and each unit's verdict, the rule that decided, its
// cause with the evidence, its findings and remedies; a failing unit can be
// waived with a reason, the form opening at the unit. Each acceptance of a
// finished survey, and every waiver, goes into the site records on the
// survey's visit.
import { h, fill, timeText } from '../ui/dom.js';
import { t, tn } from '../i18n/i18n.js';
import { markResult } from '../ui/provenance.js';
import { madeFromOther } from '../page/surveyrules.js';
import { resultLine } from '../ui/routeview.js';
import { loadProfile } from '../site/acceptanceprofile.js';
import { acceptanceNow } from '../records/acceptancenow.js';
import { profileEditor } from './acceptanceprofile.js';
import { VisitWaivers } from './acceptancewaivers.js';
import { actionLists, fitSection, predictionList } from './acceptanceadvice.js';
import { currentThresholds } from '../site/thresholds.js';

// Waivers and what was recorded outlive the view: a language switch
// rebuilds the views while the page runs.
const books = new WeakMap(); // recorder → VisitWaivers
const loose = new VisitWaivers(null);
const recorded = new Set();
const waiversOf = (recorder) => {
  if (!recorder) return loose;
  if (!books.has(recorder)) books.set(recorder, new VisitWaivers(recorder));
  return books.get(recorder);
};

const COLUMNS = ['unit', 'serial', 'verdict', 'rule', 'cause', 'findings', 'remedy', 'waiver'];

function siteBox(a) {
  const c = a.counts;
  return h('div', { id: 'acceptance-site', class: `acceptance-site a-${a.verdict}`, dataset: { verdict: a.verdict, units: String(c.units), pass: String(c.pass),
    marginal: String(c.marginal), fail: String(c.fail), waived: String(c.waived), profile: a.profileTitle } },
  h('strong', { id: 'acceptance-site-verdict', text: a.siteText }), ' ',
  h('span', { id: 'acceptance-counts', text: a.countsText }));
}

function causeCell(u) {
  const d = u.diagnosis;
  if (!d) return h('td', { class: 'cause' });
  return h('td', { class: 'cause', test: 'acceptance-cause', dataset: { cause: d.cause, confidence: d.confidence } },
    h('strong', { text: d.line }),
    h('ul', { class: 'evidence' }, d.evidence.map((text, i) => h('li', { test: 'acceptance-evidence', dataset: { fact: d.facts[i].key }, text }))));
}

function findingsCell(u) {
  return h('td', {}, h('ul', { class: 'findings' },
    u.findingTexts.map((text, i) => h('li', { test: 'acceptance-finding', dataset: { rule: u.findings[i].rule, severity: u.findings[i].severity }, class: 'dim', text }))));
}

// The work a unit needs; a waived unit's is shown but is no work, and a
// warning's advice is marked as margin.
function remediesCell(u) {
  return h('td', {}, h('ul', { class: `remedies${u.waiver ? ' dim' : ''}` },
    u.remedyTexts.map((text, i) => h('li', { test: 'acceptance-remedy', dataset: { kind: u.remedies[i].kind, ...(u.remedies[i].alternative ? { alternative: 'true' } : {}) }, text })),
    u.marginTexts.map((text, i) => h('li', { test: 'acceptance-margin', class: 'dim', dataset: { kind: u.marginRemedies[i].kind }, text: `${t('acceptance.gainMargin')}: ${text}` }))));
}

class AcceptanceView {
  constructor(ctx) {
    this.ctx = ctx;
    this.store = ctx.store;
    this.waivers = waiversOf(ctx.recorder);
    if (!this.store.get().acceptanceProfile) this.store.set({ acceptanceProfile: loadProfile(ctx.storage) });
    this.editor = profileEditor(ctx);
    this.start = h('button', { id: 'acceptance-start', class: 'primary', onclick: () => this.startSurvey() });
    this.failingOnly = h('input', { id: 'acceptance-failing-only', type: 'checkbox', onchange: () => this.render(this.store.get(), true) });
    this.body = h('div', { id: 'acceptance' });
    this.reason = h('input', { id: 'acceptance-waive-reason', type: 'text', size: 40, maxlength: 500 });
    this.reasonLabel = h('label', { for: 'acceptance-waive-reason' });
    this.problem = h('p', { id: 'acceptance-waive-problem', class: 'message error', hidden: true });
    this.form = h('div', { id: 'acceptance-waive-form', class: 'card', hidden: true },
      this.reasonLabel, ' ', this.reason, ' ',
      h('button', { id: 'acceptance-waive-ok', class: 'primary', text: t('acceptance.waiveOk'), onclick: () => this.confirmWaiver() }), ' ',
      h('button', { id: 'acceptance-waive-cancel', text: t('common.cancel'), onclick: () => this.closeForm() }),
      this.problem);
    this.section = h('section', { id: 'view-acceptance' },
      h('div', { class: 'toolbar no-print' }, this.start, h('label', {}, this.failingOnly, ' ', t('acceptance.failingOnly'))), this.editor.el, this.body);
    this.waiving = null;
  }

  profile(s) {
    return s.acceptanceProfile || loadProfile(this.ctx.storage);
  }

  startSurvey() {
    this.ctx.go('sitesurvey', { start: true, probes: this.profile(this.store.get()).probes });
  }

  judged(survey) {
    return acceptanceNow(this.ctx, survey, { waivers: this.waivers.records(survey) });
  }

  unitRow(u, survey) {
    const waived = Boolean(u.waiver);
    let action = null;
    if (u.verdict === 'fail' && !waived) action = h('button', { test: 'acceptance-waive', text: t('acceptance.waive'), onclick: () => this.askWaiver(u) });
    if (waived) {
      action = [h('span', { test: 'acceptance-waiver', text: t('acceptance.waivedBecause', { reason: u.waiver.reason }) }), ' ',
        h('button', { test: 'acceptance-withdraw', text: t('acceptance.withdraw'), onclick: () => this.withdraw(survey, u.waiver.id) })];
    }
    return h('tr', { test: 'acceptance-unit', class: `a-${waived ? 'waived' : u.verdict}`, dataset: { serial: u.serial, verdict: u.verdict, rule: u.rule || '', waived: String(waived), cause: u.diagnosis ? u.diagnosis.cause : '' } },
      h('td', { test: 'unit-label', class: 'name', text: u.label }), h('td', { class: 'mono', text: u.serial }),
      h('td', { test: 'acceptance-verdict', class: 'verdict', text: u.verdictText }),
      h('td', { test: 'acceptance-rule', class: 'rule', text: u.ruleText }),
      causeCell(u), findingsCell(u), remediesCell(u), h('td', {}, action));
  }

  // The rows shown, the waive form under the unit it is for.
  rows(a, survey) {
    const shown = this.failingOnly.checked ? a.units.filter((u) => u.verdict === 'fail') : a.units;
    return shown.flatMap((u) => {
      const row = this.unitRow(u, survey);
      if (!this.waiving || this.waiving.serial !== u.serial) return [row];
      return [row, h('tr', { id: 'acceptance-waive-row', class: 'waive-row' }, h('td', { colspan: COLUMNS.length }, this.form))];
    });
  }

  content(s, survey, a) {
    if (!a) return h('p', { class: 'hint', text: t('acceptance.none') });
    return [
      resultLine(survey.prov, s, madeFromOther(survey, s)),
      siteBox(a),
      h('p', { id: 'acceptance-judged', class: 'dim', text: t('acceptance.judged', { profile: a.profileTitle, time: timeText(survey.started) }) }),
      survey.complete || survey.running ? null : h('p', { id: 'acceptance-incomplete', class: 'message warning', text: t('acceptance.incomplete') }),
      actionLists(a),
      h('table', { id: 'acceptance-units', class: 'results', dataset: { failingOnly: String(this.failingOnly.checked), evidence: a.evidenceGathered ? 'gathered' : 'pending' } },
        h('thead', {}, h('tr', {}, COLUMNS.map((c) => h('th', { text: t('acceptance.col.' + c) })))),
        h('tbody', {}, this.rows(a, survey))),
      fitSection(a),
      predictionList(a),
    ];
  }

  // The form opens under the unit's row and is scrolled into view there.
  askWaiver(u) {
    this.waiving = u;
    this.reasonLabel.textContent = t('acceptance.waiveReason', { unit: u.label });
    this.reason.value = '';
    this.problem.hidden = true;
    this.form.hidden = false;
    this.render(this.store.get(), true);
    if (this.form.scrollIntoView) this.form.scrollIntoView({ block: 'center' });
    if (this.reason.focus) this.reason.focus({ preventScroll: true });
  }

  closeForm() {
    this.form.hidden = true;
    this.waiving = null;
    this.render(this.store.get(), true);
  }

  confirmWaiver() {
    const survey = this.store.get().siteSurvey;
    if (!this.waiving || !survey) return;
    try {
      this.waivers.waive(survey, this.waiving, this.reason.value).then(() => this.render(this.store.get(), true));
    } catch (e) {
      this.problem.hidden = false;
      this.problem.textContent = t('acceptance.waiver.' + String(e.message).replace('waiver: ', ''));
      return;
    }
    this.closeForm();
  }

  withdraw(survey, id) {
    this.waivers.withdraw(survey, id).then(() => this.render(this.store.get(), true));
    this.render(this.store.get(), true);
  }

  // Each finished survey's acceptance once per profile and set of waivers,
  // judged with the records' evidence once it is gathered.
  record(survey, a) {
    if (!this.ctx.recorder || survey.running || !a) return;
    const key = [survey.prov.base.serial, survey.started, survey.finished, a.profileTitle, a.units.map((u) => (u.waiver ? u.waiver.id : '')).join(',')].join('|');
    if (recorded.has(key)) return;
    recorded.add(key);
    const { rules, ...kept } = a;
    this.ctx.recorder.recordFor(survey, 'recordAcceptance', { takenAt: a.judgedAt, raw: [], decoded: kept });
  }

  render(s, force) {
    this.editor.update(this.profile(s), currentThresholds(s));
    this.start.textContent = tn('acceptance.start', this.profile(s).probes);
    this.start.disabled = Boolean(s.siteSurvey && s.siteSurvey.running) || !s.unit;
    if (this.section.hidden && !force) return;
    const survey = s.siteSurvey;
    const a = this.judged(survey);
    fill(this.body, this.content(s, survey, a));
    markResult(this.body, survey ? survey.prov : null, s, { earlier: !survey || madeFromOther(survey, s) });
    if (survey && a && a.evidenceGathered) this.record(survey, a);
  }
}

export default {
  id: 'acceptance',
  title: 'tab.acceptance',
  create(ctx) {
    const view = new AcceptanceView(ctx);
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element: view.section, show: () => view.render(ctx.store.get(), true) };
  },
};
