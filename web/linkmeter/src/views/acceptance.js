// Acceptance: the site judged against the acceptance profile from the
// latest site survey. An acceptance survey is a site survey with the
// profile's probes per unit (the site survey view runs it). Shows the site
// verdict with counts, each unit's verdict, the rule that decided and the
// remedies, and lets the technician waive a failing unit with a reason.
// Each acceptance of a finished survey, and every waiver, goes into the
// site records on the survey's visit.
import { h, fill, timeText } from '../ui/dom.js';
import { t, tn } from '../i18n/i18n.js';
import { currentThresholds } from '../site/thresholds.js';
import { markResult } from '../ui/provenance.js';
import { madeFromOther } from '../page/surveyrules.js';
import { resultLine } from '../ui/routeview.js';
import { judgeAcceptance } from '../site/acceptance.js';
import { loadProfile, profileTitle } from '../site/acceptanceprofile.js';
import { describeAcceptance } from '../site/acceptancetexts.js';
import { profileEditor } from './acceptanceprofile.js';
import { VisitWaivers } from './acceptancewaivers.js';

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

function siteBox(a) {
  const c = a.counts;
  return h('div', { id: 'acceptance-site', class: `acceptance-site a-${a.verdict}`, dataset: { verdict: a.verdict, units: String(c.units), pass: String(c.pass),
    marginal: String(c.marginal), fail: String(c.fail), waived: String(c.waived), profile: a.profileTitle } },
  h('strong', { id: 'acceptance-site-verdict', text: a.siteText }), ' ',
  h('span', { id: 'acceptance-counts', text: a.countsText }));
}

function remedyList(u) {
  return h('ul', { class: 'remedies' },
    u.findingTexts.map((text, i) => h('li', { test: 'acceptance-finding', dataset: { rule: u.findings[i].rule, severity: u.findings[i].severity }, class: 'dim', text })),
    u.remedyTexts.map((text, i) => h('li', { test: 'acceptance-remedy', dataset: { kind: u.remedies[i].kind }, text })));
}

class AcceptanceView {
  constructor(ctx) {
    this.ctx = ctx;
    this.store = ctx.store;
    this.waivers = waiversOf(ctx.recorder);
    if (!this.store.get().acceptanceProfile) this.store.set({ acceptanceProfile: loadProfile(ctx.storage) });
    this.editor = profileEditor(ctx);
    this.start = h('button', { id: 'acceptance-start', class: 'primary', onclick: () => this.startSurvey() });
    this.body = h('div', { id: 'acceptance' });
    this.reason = h('input', { id: 'acceptance-waive-reason', type: 'text', size: 40, maxlength: 500 });
    this.reasonLabel = h('label', { for: 'acceptance-waive-reason' });
    this.problem = h('p', { id: 'acceptance-waive-problem', class: 'message error', hidden: true });
    this.form = h('div', { id: 'acceptance-waive-form', class: 'card', hidden: true },
      this.reasonLabel, ' ', this.reason, ' ',
      h('button', { id: 'acceptance-waive-ok', class: 'primary', text: t('acceptance.waiveOk'), onclick: () => this.confirmWaiver() }), ' ',
      h('button', { id: 'acceptance-waive-cancel', text: t('common.cancel'), onclick: () => { this.form.hidden = true; } }),
      this.problem);
    this.section = h('section', { id: 'view-acceptance' },
      h('div', { class: 'toolbar no-print' }, this.start), this.editor.el, this.form, this.body);
    this.waiving = null;
    this.shownKey = null;
  }

  profile(s) {
    return s.acceptanceProfile || loadProfile(this.ctx.storage);
  }

  startSurvey() {
    this.ctx.go('sitesurvey', { start: true, probes: this.profile(this.store.get()).probes });
  }

  // The acceptance of `survey` in words, or null before any result.
  judged(s, survey) {
    if (!survey || !survey.results.length) return null;
    const advice = s.channelAdvice && survey.prov && s.channelAdvice.base === String(survey.prov.base.serial) ? s.channelAdvice.channels : [];
    return describeAcceptance(judgeAcceptance(survey, { profile: this.profile(s), thresholds: currentThresholds(s), channels: advice, waivers: this.waivers.records(survey) }));
  }

  unitRow(u, survey) {
    const waived = Boolean(u.waiver);
    let action = null;
    if (u.verdict === 'fail' && !waived) action = h('button', { test: 'acceptance-waive', text: t('acceptance.waive'), onclick: () => this.askWaiver(u) });
    if (waived) {
      action = [h('span', { test: 'acceptance-waiver', text: t('acceptance.waivedBecause', { reason: u.waiver.reason }) }), ' ',
        h('button', { test: 'acceptance-withdraw', text: t('acceptance.withdraw'), onclick: () => this.withdraw(survey, u.waiver.id) })];
    }
    return h('tr', { test: 'acceptance-unit', class: `a-${waived ? 'waived' : u.verdict}`, dataset: { serial: u.serial, verdict: u.verdict, rule: u.rule || '', waived: String(waived) } },
      h('td', { test: 'unit-label', class: 'name', text: u.label }), h('td', { class: 'mono', text: u.serial }),
      h('td', { test: 'acceptance-verdict', class: 'verdict', text: u.verdictText }),
      h('td', { test: 'acceptance-rule', class: 'rule', text: u.ruleText }),
      h('td', {}, remedyList(u)), h('td', {}, action));
  }

  content(s, survey, a) {
    if (!a) return h('p', { class: 'hint', text: t('acceptance.none') });
    const cols = ['unit', 'serial', 'verdict', 'rule', 'remedy', 'waiver'];
    return [
      resultLine(survey.prov, s, madeFromOther(survey, s)),
      siteBox(a),
      h('p', { id: 'acceptance-judged', class: 'dim', text: t('acceptance.judged', { profile: a.profileTitle, time: timeText(survey.started) }) }),
      survey.complete || survey.running ? null : h('p', { id: 'acceptance-incomplete', class: 'message warning', text: t('acceptance.incomplete') }),
      h('table', { id: 'acceptance-units', class: 'results' },
        h('thead', {}, h('tr', {}, cols.map((c) => h('th', { text: t('acceptance.col.' + c) })))),
        h('tbody', {}, a.units.map((u) => this.unitRow(u, survey)))),
    ];
  }

  askWaiver(u) {
    this.waiving = u;
    this.reasonLabel.textContent = t('acceptance.waiveReason', { unit: u.label });
    this.reason.value = '';
    this.problem.hidden = true;
    this.form.hidden = false;
    this.reason.focus();
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
    this.form.hidden = true;
    this.waiving = null;
    this.render(this.store.get(), true);
  }

  withdraw(survey, id) {
    this.waivers.withdraw(survey, id).then(() => this.render(this.store.get(), true));
    this.render(this.store.get(), true);
  }

  // Each finished survey's acceptance once per profile and set of waivers.
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
    const a = this.judged(s, survey);
    fill(this.body, this.content(s, survey, a));
    markResult(this.body, survey ? survey.prov : null, s, { earlier: !survey || madeFromOther(survey, s) });
    if (survey && a) this.record(survey, a);
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
