// Site survey: every remote unit of the registration in use, in turn, with
// progress and cancel. A cancel keeps what was gathered (marked incomplete),
// the units that did not answer can be surveyed again, and the last complete
// survey stays on show, marked earlier, until a newer one completes.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import { surveyRegistration } from '../state.js';
import { showError, progressBar } from '../ui.js';
import { cancellableJob } from '../job.js';
import { runSurvey, unitWeakestHop } from '../survey.js';
import { surveyCsv } from '../csv.js';
import { exportCsv } from '../export.js';
import { provenance, markResult, exportFileName } from '../provenance.js';
import { siteTargets, newSurvey, retryTargets, surveyTargets, surveyPatch } from '../sitesurveybook.js';
import { surveyBlock, madeFromOther } from '../surveyrules.js';
import { routeLine, commandChoice, routesNote, resultLine } from './routeview.js';

function resultRow(r) {
  const weakest = unitWeakestHop(r);
  return h('tr', { test: 'result-row', class: `s-${r.status}`, dataset: { status: r.status, serial: r.target.serial } },
    h('td', { text: r.group.name }),
    h('td', { test: 'unit-label', text: r.target.label }),
    h('td', { text: r.target.model }),
    h('td', {}, routeLine(r, '')),
    h('td', { text: weakest ? `${weakest.label} ${weakest.reading.level}` : '—' }),
    h('td', { title: r.details || r.msg || '', text: t('survey.status.' + r.status, { time: r.time, msg: r.status === 'failed' ? r.msg : '' }) }));
}

function silentItem(r) {
  const status = t('survey.status.' + r.status, { time: '', msg: '' });
  return h('li', { test: 'silent-unit', dataset: { serial: r.target.serial } },
    t('sitesurvey.silentUnit', { name: r.target.label, serial: r.target.serial, status }));
}

const COLUMNS = ['group', 'unit', 'model', 'route', 'weakest', 'status'];
const table = (tbody) => h('table', { class: 'list' }, h('thead', {}, h('tr', {}, COLUMNS.map((k) => h('th', { text: t('sitesurvey.col.' + k) })))), tbody);

// "complete", "incomplete" or "running".
function surveyState(survey) {
  if (survey.running) return 'running';
  return survey.complete ? 'complete' : 'incomplete';
}

function stateText(survey) {
  const params = { done: survey.results.length, total: survey.targets.length };
  return t('sitesurvey.state.' + surveyState(survey), params);
}

class SiteSurveyView {
  constructor(ctx) {
    this.ctx = ctx;
    this.store = ctx.store;
    this.start = h('button', { id: 'sitesurvey-start', class: 'primary', text: t('sitesurvey.start') });
    this.retry = h('button', { id: 'sitesurvey-retry', text: t('sitesurvey.retry') });
    this.cancel = h('button', { id: 'sitesurvey-cancel', text: t('common.cancel') });
    this.command = commandChoice('sitesurvey');
    this.exportButton = h('button', { id: 'export-csv', text: t('sitesurvey.csv'), onclick: () => this.exportSurvey(this.store.get().siteSurvey) });
    this.report = h('button', { id: 'show-report', text: t('sitesurvey.report'), onclick: () => ctx.go('report') });
    this.progress = progressBar('sitesurvey-progress');
    this.using = h('div', { id: 'sitesurvey-using', class: 'dim' });
    this.state = h('div', { id: 'sitesurvey-state', dataset: { state: 'none' } });
    this.prov = h('div', { id: 'sitesurvey-prov' });
    this.rows = h('tbody', { id: 'sitesurvey-results' });
    this.silent = h('ul', { id: 'sitesurvey-silent', class: 'warnings' });
    this.doneRows = h('tbody', { id: 'sitesurvey-done-results' });
    this.doneProv = h('div', { id: 'sitesurvey-done-prov' });
    this.doneExport = h('button', { id: 'export-csv-done', text: t('sitesurvey.csv'), onclick: () => this.exportSurvey(this.store.get().siteSurveyDone) });
    this.done = h('details', { id: 'sitesurvey-done', class: 'card', hidden: true },
      h('summary', { text: t('sitesurvey.lastComplete') }), this.doneProv, h('div', { class: 'toolbar' }, this.doneExport), table(this.doneRows));
    const ended = () => this.render(this.store.get());
    this.job = cancellableJob({ start: this.start, cancel: this.cancel, work: (signal) => this.survey(signal, false), ended });
    this.retryJob = cancellableJob({ start: this.retry, cancel: this.cancel, work: (signal) => this.survey(signal, true), ended });
  }

  running() {
    return this.job.running() || this.retryJob.running();
  }

  // A new survey of every remote unit, or (again) the units of the latest
  // survey that did not answer.
  async survey(signal, again) {
    const s = this.store.get();
    if (surveyBlock(s)) return;
    const reg = surveyRegistration(s);
    const latest = s.siteSurvey;
    const base = again ? latest : newSurvey({ prov: provenance(s.unit, { time: Date.now() }), reg, targets: siteTargets(reg.regInfo) });
    const targets = again ? retryTargets(latest) : base.targets;
    if (!targets.length) return;
    const mnemonic = this.command.value();
    const run = async (target, sig) => runSurvey({ api: this.ctx.api, comInfo: s.unit, regInfo: base.regInfo, target, mnemonic, signal: sig });
    const publish = (survey) => this.store.set(surveyPatch(this.store.get(), survey));
    const progress = (done, total) => this.progress.set(done, total, t('sitesurvey.progress', { done, total }));
    const linkLost = () => Boolean(this.store.get().linkLost || (this.ctx.api.isLost && this.ctx.api.isLost(s.unit)));
    const { survey, error } = await surveyTargets({ survey: base, targets, run, signal, publish, progress, linkLost });
    const gathered = survey.results.length;
    this.progress.set(gathered, survey.targets.length, error ? stateText(survey) : t('sitesurvey.done', { total: targets.length }));
    if (error) showError(error, t('tab.sitesurvey'));
  }

  exportSurvey(survey) {
    if (survey && survey.results.length) exportCsv(surveyCsv(survey), exportFileName('site-survey', survey.prov));
  }

  // The latest survey's rows, whose they are and whether complete.
  renderLatest(s, survey) {
    const results = survey ? survey.results : [];
    fill(this.rows, results.map(resultRow));
    fill(this.silent, results.filter((r) => r.status !== 'ok').map(silentItem));
    const earlier = !survey || madeFromOther(survey, s);
    markResult(this.rows, survey ? survey.prov : null, s, { earlier });
    this.rows.dataset.complete = String(Boolean(survey && survey.complete));
    fill(this.prov, survey ? resultLine(survey.prov, s, earlier) : null);
    this.state.dataset.state = survey ? surveyState(survey) : 'none';
    this.state.textContent = survey ? stateText(survey) : '';
  }

  // The last complete survey, while the latest one is not.
  renderDone(s, done, latest) {
    this.done.hidden = !done || done === latest;
    if (this.done.hidden) {
      fill(this.doneRows);
      fill(this.doneProv);
      return;
    }
    fill(this.doneRows, done.results.map(resultRow));
    markResult(this.doneRows, done.prov, s, { earlier: true });
    fill(this.doneProv, resultLine(done.prov, s, true));
  }

  render(s) {
    const latest = s.siteSurvey;
    fill(this.using, routesNote(surveyRegistration(s), s));
    this.renderLatest(s, latest);
    this.renderDone(s, s.siteSurveyDone, latest);
    const running = this.running();
    const again = latest && !running ? retryTargets(latest).length : 0;
    const sameBase = latest && s.unit && latest.prov.base.serial === String(s.unit.serial);
    this.retry.textContent = t('sitesurvey.retry') + (again ? ` (${again})` : '');
    this.exportButton.disabled = this.report.disabled = !latest || !latest.results.length || running;
    if (running) {
      this.start.disabled = this.retry.disabled = true;
      return;
    }
    // One operation at a time on the unit: another view's scan or survey
    // blocks starting.
    const blocked = surveyBlock(s) !== '' || s.busy > 0;
    this.start.disabled = blocked;
    this.retry.disabled = blocked || !again || !sameBase || madeFromOther(latest, s);
  }

  show(options) {
    if (options && options.start && !this.running() && !this.start.disabled) this.start.click();
  }

  element() {
    return h('section', { id: 'view-sitesurvey' },
      h('div', { class: 'toolbar' }, this.start, this.retry, this.cancel, this.exportButton, this.report, this.progress.el, this.command.el),
      this.using, this.state, this.prov, table(this.rows),
      h('h3', { text: t('sitesurvey.silent') }), this.silent, this.done);
  }
}

export default {
  id: 'sitesurvey',
  title: 'tab.sitesurvey',
  create(ctx) {
    const view = new SiteSurveyView(ctx);
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element: view.element(), show: (options) => view.show(options) };
  },
};
