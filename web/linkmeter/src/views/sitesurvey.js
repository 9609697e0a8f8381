// Site survey: every remote unit of the registration in use, in turn, each
// with the number of probes chosen, with progress and cancel. Rows come in
// one at a time; groups collapse, a filter and a sort apply, and the units
// that did not answer are listed above the table. A cancel keeps what was
// gathered (marked incomplete), the units that did not answer can be
// surveyed again, and the last complete survey stays on show, marked
// earlier, until a newer one completes.
import rules from 'catalogue-rules';
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { surveyRegistration } from '../page/state.js';
import { showError, progressBar } from '../page/ui.js';
import { cancellableJob } from '../page/job.js';
import { runSurvey, unitWeakestHop, judgeResult } from '../site/survey.js';
import { currentThresholds } from '../site/thresholds.js';
import { ResultTable, listControls } from './resulttable.js';
import { probesControl } from './probes.js';
import { surveyCsv } from '../page/csv.js';
import { exportCsv } from '../page/export.js';
import { provenance, markResult, exportFileName } from '../ui/provenance.js';
import { siteTargets, newSurvey, retryTargets, retryList, surveyTargets, surveyPatch } from '../site/sitesurveybook.js';
import { surveyBlock, madeFromOther } from '../page/surveyrules.js';
import { surveyCommands } from '../device/cataloguelists.js';
import { routeLine, commandChoice, routesNote, resultLine, routeLegend, verdictText } from '../ui/routeview.js';
import { isQuickCheck } from '../site/linkstats.js';

const num = (v) => (v === null || v === undefined ? '' : String(v));

// A row of a judged result: data-asked/answered are its far unit's probes.
function resultRow(r) {
  const weakest = unitWeakestHop(r);
  const far = r.far || { asked: 0, answered: 0 };
  const verdict = r.verdict || 'none';
  const quick = verdict !== 'none' && isQuickCheck(far.asked);
  return h('tr', { test: 'result-row', class: `s-${r.status} v-${verdict}`, dataset: { status: r.status, serial: r.target.serial, asked: num(far.asked), answered: num(far.answered), verdict, quick: String(quick) } },
    h('td', { text: r.group.name }),
    h('td', { class: 'name' }, r.status === 'ok' ? null : h('span', { class: 'silent-mark', test: 'silent-mark', text: `⊘ ${t('verdict.silent')}` }),
      h('span', { test: 'unit-label', text: r.target.label })),
    h('td', { class: 'name', text: r.target.model }),
    h('td', {}, routeLine(r, '')),
    h('td', { text: weakest ? `${weakest.label} ${weakest.reading.level}` : '—' }),
    h('td', { test: 'probes', class: 'num', text: far.asked ? `${far.answered}/${far.asked}` : '—' }),
    h('td', { test: 'verdict', class: `verdict q-${verdict}`, text: verdictText(verdict, quick ? far.asked : 0) }),
    h('td', { title: r.details || r.msg || '', text: t('survey.status.' + r.status, { time: r.time, msg: r.status === 'failed' ? r.msg : '' }) }));
}

// A unit "survey again" would ask: one that did not answer, with its
// probes, or one a stop left out.
function silentItem({ target, result }, th) {
  if (!result) {
    return h('li', { test: 'not-surveyed-unit', dataset: { serial: target.serial, status: 'notSurveyed' } },
      t('sitesurvey.notSurveyedUnit', { name: target.label, serial: target.serial }));
  }
  const r = judgeResult(result, th);
  const status = t('survey.status.' + r.status, { time: '', msg: '' });
  const far = r.far && r.far.asked ? ` — ${t('survey.probes', { answered: r.far.answered, asked: r.far.asked })}` : '';
  return h('li', { test: 'silent-unit', dataset: { serial: r.target.serial, status: r.status } },
    t('sitesurvey.silentUnit', { name: r.target.label, serial: r.target.serial, status }) + far);
}

const COLUMNS = ['group', 'unit', 'model', 'route', 'weakest', 'probes', 'verdict', 'status'];

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
    this.command = commandChoice('sitesurvey', surveyCommands(rules));
    this.exportButton = h('button', { id: 'export-csv', text: t('sitesurvey.csv'), onclick: () => this.exportSurvey(this.store.get().siteSurvey) });
    this.report = h('button', { id: 'show-report', text: t('sitesurvey.report'), onclick: () => ctx.go('report') });
    this.progress = progressBar('sitesurvey-progress');
    this.using = h('div', { id: 'sitesurvey-using', class: 'dim' });
    this.state = h('div', { id: 'sitesurvey-state', dataset: { state: 'none' } });
    this.prov = h('div', { id: 'sitesurvey-prov' });
    this.table = new ResultTable({ id: 'sitesurvey-results', rowOf: resultRow, columns: COLUMNS });
    this.rows = this.table.el;
    this.controls = listControls('sitesurvey', (v) => this.table.setView(v));
    this.probes = probesControl(ctx.storage);
    this.silentHead = h('h3', { id: 'sitesurvey-silent-head', text: t('sitesurvey.silent'), hidden: true });
    this.silent = h('ul', { id: 'sitesurvey-silent', class: 'warnings' });
    // The units a stop left out were never asked: not surveyed, listed apart.
    this.notSurveyedHead = h('h3', { id: 'sitesurvey-not-surveyed-head', text: t('sitesurvey.notSurveyed'), hidden: true });
    this.notSurveyed = h('ul', { id: 'sitesurvey-not-surveyed', class: 'warnings' });
    this.silentShown = '';
    this.doneTable = new ResultTable({ id: 'sitesurvey-done-results', rowOf: resultRow, columns: COLUMNS });
    this.doneRows = this.doneTable.el;
    this.doneProv = h('div', { id: 'sitesurvey-done-prov' });
    this.doneExport = h('button', { id: 'export-csv-done', text: t('sitesurvey.csv'), onclick: () => this.exportSurvey(this.store.get().siteSurveyDone) });
    this.done = h('details', { id: 'sitesurvey-done', class: 'card', hidden: true },
      h('summary', { text: t('sitesurvey.lastComplete') }), this.doneProv, h('div', { class: 'toolbar' }, this.doneExport), this.doneRows);
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
    const probes = this.probes.value();
    let at = 0;
    const onProbe = (done) => {
      if (probes > 1) this.progress.set(at + done / probes, targets.length, t('sitesurvey.progressProbes', { done: at, total: targets.length, probe: done, probes }));
    };
    const run = async (target, sig) => runSurvey({ api: this.ctx.api, comInfo: s.unit, regInfo: base.regInfo, target, mnemonic, signal: sig, probes, onProbe });
    const publish = (survey) => this.store.set(surveyPatch(this.store.get(), { ...survey, probes }));
    const progress = (done, total) => {
      at = done;
      this.progress.set(done, total, t('sitesurvey.progress', { done, total }));
    };
    const linkLost = () => Boolean(this.store.get().linkLost || (this.ctx.api.isLost && this.ctx.api.isLost(s.unit)));
    const { survey, error } = await surveyTargets({ survey: base, targets, run, signal, publish, progress, linkLost });
    const gathered = survey.results.length;
    this.progress.set(gathered, survey.targets.length, error ? stateText(survey) : t('sitesurvey.done', { total: targets.length }));
    if (error) showError(error, t('tab.sitesurvey'), 'sitesurvey');
  }

  exportSurvey(survey) {
    if (survey && survey.results.length) exportCsv(surveyCsv(survey, currentThresholds(this.store.get())), exportFileName('site-survey', survey.prov));
  }

  // The latest survey's rows, whose they are and whether complete.
  renderLatest(s, survey) {
    const th = currentThresholds(s);
    this.table.update(survey, th);
    this.renderSilent(survey, th);
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
      this.doneTable.update(null);
      fill(this.doneProv);
      return;
    }
    this.doneTable.update(done, currentThresholds(s));
    markResult(this.doneRows, done.prov, s, { earlier: true });
    fill(this.doneProv, resultLine(done.prov, s, true));
  }

  // The units that did not answer, and apart those a stop left out, above
  // the table: together the very list "survey again" counts. Redrawn only
  // when that list changed; no heading before any survey.
  renderSilent(survey, th) {
    const list = retryList(survey);
    const asked = list.filter((x) => x.result);
    const left = list.filter((x) => !x.result);
    const shown = list.map((x) => `${x.target.serial}:${x.result ? x.result.when : ''}`).join(',');
    this.silentHead.hidden = !asked.length;
    this.notSurveyedHead.hidden = !left.length;
    if (shown === this.silentShown && th === this.silentTh) return;
    this.silentShown = shown;
    this.silentTh = th;
    fill(this.silent, asked.map((x) => silentItem(x, th)));
    fill(this.notSurveyed, left.map((x) => silentItem(x, th)));
    this.silent.dataset.count = String(asked.length);
    this.notSurveyed.dataset.count = String(left.length);
  }

  render(s) {
    const latest = s.siteSurvey;
    fill(this.using, routesNote(surveyRegistration(s), s));
    this.renderLatest(s, latest);
    this.renderDone(s, s.siteSurveyDone, latest);
    const running = this.running();
    const again = latest && !running ? retryList(latest).length : 0;
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
    if (options && options.probes && !this.running()) this.probes.set(options.probes);
    if (options && options.start && !this.running() && !this.start.disabled) this.start.click();
  }

  element() {
    return h('section', { id: 'view-sitesurvey' },
      h('div', { class: 'toolbar' }, this.probes.el, this.start, this.retry, this.cancel, this.exportButton, this.report, this.progress.el, this.command.el),
      this.using, this.state, this.prov,
      this.silentHead, this.silent, this.notSurveyedHead, this.notSurveyed,
      h('div', { class: 'toolbar' }, this.controls), routeLegend(), this.rows, this.done);
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
