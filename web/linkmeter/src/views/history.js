// History: the visits of a site kept in the site records (the connected
// unit's site, or any other picked without a unit), each visit's records,
// any of them opened read-only with its date, two site surveys compared hop
// by hop, and one unit's level and battery across visits as a chart.
import { h, fill, timeText } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { createRecords, recordsFailure, RECORDS_FAILURE } from '../records/records.js';
import { currentThresholds, levelBands } from '../site/thresholds.js';
import { compareSiteSurveys, loadWorseBy, saveWorseBy, worseByProblem, serialKey } from '../site/compare.js';
import { hex8 } from '../records/historysurvey.js';
import { defaultSite, visitsNewestFirst, recordRows, kindCounts, rowsOfKind, siteSurveys, defaultPair, trendSeries, trendUnits, valueText, SURVEY_KINDS, kindKey, withPlanEdits } from '../records/historylist.js';
import { SurveyReader, JUDGED } from '../records/surveyreader.js';
import { recordView } from '../records/historyviewer.js';
import { compareView } from '../records/historycompare.js';
import { trendChart } from '../records/historytrend.js';
import '../records/historytexts.js';
import { SyncBar, visitTeamCells, competingVersions } from './historysync.js';
import { AlarmTimeline } from './historyalarms.js';

const siteText = (s) => `${s.name || hex8(s.serial)} (${hex8(s.serial)})`;
const visitText = (v) => `${timeText(new Date(v.startedAt))} – ${v.endedAt ? timeText(new Date(v.endedAt)) : t('history.visitOpen')}` +
  (v.endedWithoutClosing ? ` (${t('history.endedWithoutClosing')})` : '');

class HistoryView {
  constructor(ctx) {
    this.ctx = ctx;
    this.records = createRecords(ctx);
    this.sites = [];
    this.site = null;
    this.visits = [];
    this.visitRecords = [];
    this.reader = null; // the site's stored surveys (surveyreader.js)
    this.opened = null; // the row open in the viewer
    this.generation = 0;
    this.picked = false; // the technician chose a site himself
    this.status = h('p', { id: 'history-status', class: 'dim', dataset: { state: 'idle', code: '' } });
    this.demo = h('span', { id: 'history-demo', class: 'demo', hidden: true, title: t('history.demoTitle'), text: 'DEMO' });
    this.judged = h('select', { id: 'history-judged', onchange: () => this.guarded(() => this.rejudge()) },
      [JUDGED.then, JUDGED.now].map((v) => h('option', { value: v, text: t('history.judged.' + v) })));
    this.siteSelect = h('select', { id: 'history-site', onchange: () => this.pickSite(this.siteSelect.value) });
    this.refreshButton = h('button', { id: 'history-refresh', text: t('history.refresh'), onclick: () => this.refresh() });
    this.visitList = h('tbody', { id: 'history-visits' });
    this.recordList = h('tbody', { id: 'history-records' });
    this.rows = []; // the open visit's records
    this.kind = h('select', { id: 'history-kind', onchange: () => this.showRows() });
    this.viewer = h('div', { id: 'history-viewer', class: 'card', hidden: true });
    this.before = h('select', { id: 'history-compare-before' });
    this.after = h('select', { id: 'history-compare-after' });
    this.worseBy = h('input', { id: 'history-worse-by', type: 'number', min: 1, max: 255, step: 1, size: 4, value: String(loadWorseBy(ctx.storage)) });
    this.compareButton = h('button', { id: 'history-compare-run', text: t('history.compare.run'), onclick: () => this.guarded(() => this.compare()) });
    this.compareOut = h('div', { id: 'history-compare-out' });
    this.trendUnit = h('select', { id: 'history-trend-unit', onchange: () => this.guarded(() => this.loadTrend()) });
    this.trendBox = h('div', { id: 'history-trend-chart', class: 'chart', dataset: { points: '0', visits: '0' } });
    this.trendRows = h('tbody', { id: 'history-trend-table' });
    this.chart = null;
    this.sync = new SyncBar(ctx, this.records, () => this.refresh());
    this.alarms = new AlarmTimeline(this.records);
  }

  say(state, text, code = '') {
    this.status.dataset.state = state;
    this.status.dataset.code = code === null ? '' : String(code);
    this.status.textContent = text;
  }

  failed(e) {
    const code = recordsFailure(e);
    this.say('failed', t(code === RECORDS_FAILURE.io ? 'history.noStore' : 'history.failed', { msg: (e && e.message) || String(e) }), code);
  }

  // Runs `work`, showing its failure on the status line (never a dialog:
  // the records are a side matter of the visit).
  async guarded(work) {
    try {
      await work();
    } catch (e) {
      this.failed(e);
    }
  }

  async refresh() {
    this.say('loading', t('history.loading'));
    await this.guarded(async () => {
      this.demo.hidden = !(await this.records.status().catch(() => ({}))).demo;
      this.sites = await this.records.listSites();
      const keep = this.picked && this.site && this.sites.find((s) => s.serial === this.site.serial);
      const site = keep || defaultSite(this.sites, this.ctx.store.get().unit);
      fill(this.siteSelect, this.sites.map((s) => h('option', { value: String(s.serial), selected: site && s.serial === site.serial, text: siteText(s) })));
      if (!site) {
        this.say('empty', t('history.noSites'));
        return;
      }
      await this.loadSite(site);
    });
  }

  pickSite(value) {
    const site = this.sites.find((s) => String(s.serial) === value);
    this.picked = true;
    if (site) this.guarded(() => this.loadSite(site));
  }

  async loadSite(site) {
    this.generation += 1;
    this.site = site;
    this.visitRecords = [];
    this.reader = new SurveyReader(this.records, { site, visits: (record) => this.visitsFor(record), fallbackRegInfo: () => this.connectedRegInfo() });
    this.viewer.hidden = true;
    this.opened = null;
    fill(this.compareOut);
    const stale = ((gen) => () => gen !== this.generation)(this.generation);
    this.visits = visitsNewestFirst(await this.records.listVisits({ serial: site.serial }));
    if (stale()) return;
    fill(this.visitList, this.visits.map((v) => h('tr', { test: 'history-visit', dataset: { visitId: String(v.id), endedWithoutClosing: String(Boolean(v.endedWithoutClosing)) } },
      h('td', { class: 'mono', text: visitText(v) }), h('td', { text: v.technician || '' }), h('td', { text: v.customer || '' }),
      h('td', {}, v.notes || '', competingVersions(v, (fields, replaces) => this.chooseVersion(v, fields, replaces))), ...visitTeamCells(v),
      h('td', {}, h('button', { test: 'history-visit-open', text: t('history.showRecords'), onclick: () => this.guarded(() => this.loadVisit(v.id)) }),
        typeof v.endedAt === 'number' ? [' ', h('button', { test: 'history-visit-report', text: t('history.visitReport'), onclick: () => this.ctx.go('report', { visit: { serial: site.serial, visitId: v.id } }) })] : null))));
    this.say('ready', t('history.visits', { count: this.visits.length, site: siteText(site) }));
    if (this.visits.length) await this.loadVisit(this.visits[0].id);
    await this.alarms.load(site);
    if (stale()) return;
    await this.loadSurveys(stale);
  }

  // The technician keeps one of a visit's competing versions: a new version
  // replacing them all.
  chooseVersion(v, fields, replaces) {
    return this.guarded(async () => {
      await this.records.updateVisit({ visitId: v.id, ...fields, replaces });
      await this.loadSite(this.site);
    });
  }

  async loadVisit(visitId) {
    for (const tr of this.visitList.children) tr.dataset.selected = String(tr.dataset.visitId === String(visitId));
    this.rows = await this.planEdits(recordRows(await this.records.visitHistory(visitId)));
    // The kind chosen stays while the visit has records of it.
    const keep = this.kind.value;
    const kinds = kindCounts(this.rows);
    fill(this.kind, h('option', { value: '', text: t('history.kind.all', { count: this.rows.length }) }),
      kinds.map((k) => h('option', { value: k.kind, selected: k.kind === keep, text: `${t('history.kind.' + k.kind)} (${k.count})` })));
    this.showRows();
  }

  // rows with each map edit to a plan named by what it did: the visit's
  // list has only the kind, the edit's own record (small, no image) the
  // action.
  async planEdits(rows) {
    const ids = rows.filter((r) => r.kind === 'map-edit').map((r) => r.id);
    const edits = await Promise.all(ids.map((id) => this.records.readRecord({ kind: 'map-edit', id })));
    return withPlanEdits(rows, edits);
  }

  // The open visit's records of the kind chosen.
  showRows() {
    const rows = rowsOfKind(this.rows, this.kind.value);
    this.recordList.dataset.kind = this.kind.value;
    fill(this.recordList, rows.map((row) => h('tr', { test: 'history-record', dataset: { kind: row.kind, recordId: String(row.id), unit: row.unit === null ? '' : hex8(row.unit) } },
      h('td', { class: 'mono', text: timeText(new Date(row.at)) }),
      h('td', { text: t(kindKey(row)) }),
      h('td', { class: 'mono', text: row.unit === null ? '' : hex8(row.unit) }),
      h('td', {}, h('button', { test: 'history-open', text: t('history.open'), onclick: () => this.guarded(() => this.open(row)) })))));
  }

  // The visits a stored survey's registration is looked for in: every
  // visit of the site once read, else the survey's own.
  async visitsFor(record) {
    if (this.visitRecords.some((v) => v.visit.id === record.visitId)) return this.visitRecords;
    return [await this.records.readVisit({ visitId: record.visitId })];
  }

  // The connected unit's registration when it is this site's: names the
  // units of a survey kept without a registration of its own.
  connectedRegInfo() {
    const s = this.ctx.store.get();
    return s.unit && s.regInfo && this.site && serialKey(s.unit.serial) === serialKey(this.site.serial) ? s.regInfo : null;
  }

  surveyOf(kind, id) {
    return this.reader.survey(kind, id, { judged: this.judged.value, today: currentThresholds(this.ctx.store.get()) });
  }

  async open(row) {
    let record;
    let survey = null;
    if (row.kind === 'settings-write') record = { ...row.write, kind: 'settings-write' };
    else if (SURVEY_KINDS.includes(row.kind)) ({ record, survey } = await this.surveyOf(row.kind, row.id));
    else record = await this.records.readRecord({ kind: row.kind, id: row.id });
    this.opened = row;
    fill(this.viewer, recordView(record, { survey, site: this.site, state: this.ctx.store.get(), judged: this.judged.value }),
      h('button', { id: 'history-viewer-close', text: t('common.close'), onclick: () => { this.viewer.hidden = true; this.opened = null; } }));
    this.viewer.hidden = false;
    this.viewer.scrollIntoView({ block: 'nearest' });
  }

  // The verdicts as judged then or by today's thresholds: the open survey
  // and the comparison again.
  async rejudge() {
    if (this.opened && !this.viewer.hidden && SURVEY_KINDS.includes(this.opened.kind)) await this.open(this.opened);
    if (this.compareOut.querySelector('#history-compare')) await this.compare();
  }

  // Every visit's records, for the surveys that can be compared.
  async loadSurveys(stale) {
    const all = await Promise.all(this.visits.map((v) => this.records.readVisit({ visitId: v.id })));
    if (stale()) return;
    this.visitRecords = all;
    this.surveys = siteSurveys(all);
    const pair = await this.pairWithResults();
    // A survey passed over as cut short says so: compared only when picked.
    const option = (s, selected) => h('option', { value: String(s.id), selected, dataset: { cutShort: String(this.reader.cutShort('site-survey', s.id)) },
      text: t(this.reader.cutShort('site-survey', s.id) ? 'history.cutShort' : 'history.surveyAt', { date: timeText(new Date(s.at)) }) });
    if (stale()) return;
    fill(this.before, this.surveys.map((s) => option(s, pair && s.id === pair.before)));
    fill(this.after, this.surveys.map((s) => option(s, pair && s.id === pair.after)));
    this.compareButton.disabled = this.surveys.length < 2;
    if (pair) await this.compare();
    else {
      fill(this.compareOut, h('p', { id: 'history-compare-none', class: 'dim', text: t(this.surveys.length < 2 ? 'history.compare.needTwo' : 'history.compare.noBaseline') }));
      await this.fillTrendUnits(this.surveys.length ? [(await this.surveyOf('site-survey', this.surveys[0].id)).survey] : []);
    }
  }

  // The default pair: the newest survey that measured a unit, and the newest
  // complete one of an earlier visit.
  async pairWithResults() {
    const starts = new Map(this.visits.map((v) => [v.id, v.startedAt]));
    return defaultPair(this.surveys, starts, (id) => this.reader.describe('site-survey', id));
  }

  async compare() {
    const worseBy = Number(this.worseBy.value);
    if (worseByProblem(worseBy)) {
      fill(this.compareOut, h('p', { id: 'history-worse-by-problem', class: 'message error', text: t('history.worseByRange') }));
      return;
    }
    saveWorseBy(this.ctx.storage, worseBy);
    const [before, after] = await Promise.all([this.surveyOf('site-survey', Number(this.before.value)), this.surveyOf('site-survey', Number(this.after.value))]);
    const options = { worseBy, thresholdsBefore: before.survey.thresholds, thresholdsAfter: after.survey.thresholds };
    fill(this.compareOut, compareView(compareSiteSurveys(before.survey, after.survey, options)));
    await this.fillTrendUnits([after.survey, before.survey]);
  }

  async fillTrendUnits(surveys) {
    const units = trendUnits(surveys);
    const keep = this.trendUnit.value;
    const worse = this.compareOut.querySelector('[data-test="compare-hop"][data-worse="true"]');
    const pick = units.some((u) => u.serial === keep) ? keep : worse ? worse.dataset.to : units.length ? units[0].serial : '';
    fill(this.trendUnit, units.map((u) => h('option', { value: u.serial, selected: u.serial === pick, text: u.label })));
    await this.loadTrend();
  }

  async loadTrend() {
    const unit = parseInt(this.trendUnit.value, 16);
    if (!this.site || !Number.isFinite(unit)) return;
    const series = trendSeries(await this.records.unitTrend({ serial: this.site.serial, unit }));
    if (!this.chart) this.chart = trendChart(this.trendBox, () => levelBands(currentThresholds(this.ctx.store.get())));
    this.chart.set(series);
    this.trendBox.dataset.points = String(series.points.length);
    this.trendBox.dataset.visits = String(series.visits);
    this.trendBox.dataset.unit = this.trendUnit.value;
    fill(this.trendRows, series.points.map((p, i) => h('tr', { test: 'trend-point', dataset: { visitId: String(p.visitId), surveyId: String(p.surveyId) } },
      h('td', { class: 'mono', text: timeText(new Date(p.surveyStartedAt)) }),
      h('td', { class: 'num', text: valueText(series.level[i]) }),
      h('td', { class: 'num', text: valueText(series.battery[i]) }),
      h('td', { class: 'num', text: `${p.answered}/${p.sent}` }))));
  }

  element() {
    // A column of buttons is named for assistive technology only.
    const head = (k) => (k ? h('th', { text: t(k) }) : h('th', {}, h('span', { class: 'sr-only', text: t('history.actions') })));
    const table = (heads, body, id) => h('table', { class: 'list', id }, h('thead', {}, h('tr', {}, heads.map(head))), body);
    return h('section', { id: 'view-history' },
      h('div', { class: 'toolbar' }, h('label', { for: 'history-site', text: t('history.site') }), ' ', this.siteSelect, this.refreshButton, this.demo,
        h('label', { for: 'history-judged', text: t('history.judged') }), ' ', this.judged, ' ', this.sync.element()),
      this.status,
      h('div', { class: 'history-columns' },
        h('div', {}, h('h3', { text: t('history.visitsTitle') }), table(['history.when', 'report.technician', 'report.customer', 'report.notes', 'history.author', 'history.synced', ''], this.visitList, 'history-visit-table')),
        h('div', {}, h('h3', { text: t('history.recordsTitle') }),
          h('div', { class: 'toolbar' }, h('label', { for: 'history-kind', text: t('history.kindFilter') }), ' ', this.kind), table(['history.at', 'history.kind', 'history.unit', ''], this.recordList, 'history-record-table'))),
      this.viewer,
      this.alarms.element(),
      h('h3', { text: t('history.compare.title') }),
      h('div', { class: 'toolbar' },
        h('label', { for: 'history-compare-before', text: t('history.before') }), ' ', this.before, ' ',
        h('label', { for: 'history-compare-after', text: t('history.after') }), ' ', this.after, ' ',
        h('label', { for: 'history-worse-by', text: t('history.worseBy') }), ' ', this.worseBy, this.compareButton),
      this.compareOut,
      h('h3', { text: t('history.trend.title') }),
      h('div', { class: 'toolbar' }, h('label', { for: 'history-trend-unit', text: t('history.unit') }), ' ', this.trendUnit),
      this.trendBox,
      table(['history.at', 'history.level', 'history.battery', 'history.probes'], this.trendRows, 'history-trend'));
  }
}

export default {
  id: 'history',
  title: 'tab.history',
  create(ctx) {
    const view = new HistoryView(ctx);
    const element = view.element();
    return { element, show: () => view.refresh() };
  },
};
