// Site survey: every remote unit of the registration in turn, with
// progress and cancel; units that do not answer are listed as such; the
// results go to CSV or to the printable report.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import { CancelledError } from '../api.js';
import { store } from '../state.js';
import { showError, progressBar } from '../ui.js';
import { cancellableJob } from '../job.js';
import { runSurvey, weakestHop } from '../survey.js';
import { allRemoteTargets, buildRoute } from '../route.js';
import { surveyCsv } from '../csv.js';
import { exportCsv } from '../export.js';
import { routeLine } from './routeview.js';
import { describeError } from '../errors.js';

// A result for a unit whose survey could not even be sent.
function failedResult(regInfo, target, error) {
  let route = null;
  try {
    route = buildRoute(regInfo, target);
  } catch (e) { /* the description below says why */ }
  const group = regInfo.groups[target.group];
  const unit = (group.remoteUnits || []).find((u) => u.num === target.num) || {};
  const d = describeError(error);
  return {
    time: '',
    group: { index: target.group, name: group.name || '', freq: group.freq },
    target: { name: unit.name || '', model: unit.model || '', serial: unit.serial || '', kind: 'remote', num: target.num },
    status: 'failed',
    msg: d.msg,
    hops: route ? route.hops.map((hop) => ({ ...hop, label: hop.kind === 'repeater' ? `R${hop.num}` : hop.name, reading: null })) : [],
  };
}

function resultRow(r) {
  const weakest = weakestHop(r);
  return h('tr', { test: 'result-row', class: `s-${r.status}`, dataset: { status: r.status, serial: r.target.serial } },
    h('td', { text: r.group.name }),
    h('td', { text: r.target.name }),
    h('td', { text: r.target.model }),
    h('td', {}, routeLine(r, '')),
    h('td', { text: weakest ? `${weakest.label} ${weakest.reading.level}` : '—' }),
    h('td', { text: t('survey.status.' + r.status, { time: r.time, msg: r.msg || '' }) }));
}

// Surveys every remote unit in turn; the results build up in the store.
async function surveyAll(mnemonic, progress, signal) {
  const s = store.get();
  const targets = allRemoteTargets(s.regInfo);
  if (!s.unit || !targets.length) return;
  const survey = { started: new Date(), finished: null, unit: s.unit, regInfo: s.regInfo, results: [], complete: false };
  store.set({ siteSurvey: survey });
  try {
    for (let i = 0; i < targets.length; i++) {
      progress.set(i, targets.length, t('sitesurvey.progress', { done: i, total: targets.length }));
      let result;
      try {
        result = await runSurvey({ comInfo: s.unit, regInfo: s.regInfo, target: targets[i], mnemonic, signal });
      } catch (e) {
        if (e instanceof CancelledError) throw e;
        result = failedResult(s.regInfo, targets[i], e);
      }
      survey.results.push(result);
      store.set({ siteSurvey: { ...survey } });
    }
    survey.complete = true;
    progress.set(targets.length, targets.length, t('sitesurvey.done', { total: targets.length }));
  } catch (e) {
    progress.set(survey.results.length, targets.length, t('error.cancelled'));
    showError(e, t('tab.sitesurvey'));
  } finally {
    survey.finished = new Date();
    store.set({ siteSurvey: { ...survey } });
  }
}

function exportSurvey() {
  const survey = store.get().siteSurvey;
  if (survey) exportCsv(surveyCsv(survey.results), 'site-survey.csv');
}

function silentItem(r) {
  const status = t('survey.status.' + r.status, { time: '', msg: r.msg || '' });
  return h('li', { test: 'silent-unit', dataset: { serial: r.target.serial } },
    t('sitesurvey.silentUnit', { name: r.target.name, serial: r.target.serial, status }));
}

export default {
  id: 'sitesurvey',
  title: 'tab.sitesurvey',
  create(ctx) {
    const start = h('button', { id: 'sitesurvey-start', class: 'primary', text: t('sitesurvey.start') });
    const cancel = h('button', { id: 'sitesurvey-cancel', text: t('common.cancel') });
    const command = h('select', { id: 'sitesurvey-command' }, ['EWLEX', 'EWLRU'].map((m) => h('option', { value: m, text: m })));
    const exportCsv = h('button', { id: 'export-csv', text: t('sitesurvey.csv'), onclick: exportSurvey });
    const report = h('button', { id: 'show-report', text: t('sitesurvey.report'), onclick: () => ctx.go('report') });
    const progress = progressBar('sitesurvey-progress');
    const rows = h('tbody', { id: 'sitesurvey-results' });
    const silent = h('ul', { id: 'sitesurvey-silent', class: 'warnings' });
    const render = (s) => {
      const results = s.siteSurvey ? s.siteSurvey.results : [];
      fill(rows, results.map(resultRow));
      fill(silent, results.filter((r) => r.status !== 'ok').map(silentItem));
      exportCsv.disabled = report.disabled = !results.length || job.running();
      if (!job.running()) start.disabled = !s.unit || !s.regInfo;
    };
    const job = cancellableJob({ start, cancel, work: (signal) => surveyAll(command.value, progress, signal), ended: () => render(store.get()) });
    store.subscribe(render);
    render(store.get());
    const columns = ['group', 'unit', 'model', 'route', 'weakest', 'status'];
    return {
      element: h('section', { id: 'view-sitesurvey' },
        h('div', { class: 'toolbar' }, start, command, cancel, exportCsv, report, progress.el),
        h('table', { class: 'list' }, h('thead', {}, h('tr', {}, columns.map((k) => h('th', { text: t('sitesurvey.col.' + k) })))), rows),
        h('h3', { text: t('sitesurvey.silent') }), silent),
    };
  },
};
