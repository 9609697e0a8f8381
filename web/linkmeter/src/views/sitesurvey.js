// Site survey: every remote unit of the registration in turn, with
// progress and cancel; units that do not answer are listed as such; the
// results go to CSV or to the printable report.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import { CancelledError } from '../api.js';
import { store } from '../state.js';
import { showError, progressBar, notify } from '../ui.js';
import { beginBusy } from '../busy.js';
import { runSurvey, weakestHop } from '../survey.js';
import { allRemoteTargets, buildRoute } from '../route.js';
import { surveyCsv } from '../csv.js';
import { saveTextFile } from '../export.js';
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

export default {
  id: 'sitesurvey',
  title: 'tab.sitesurvey',
  create(ctx) {
    const start = h('button', { id: 'sitesurvey-start', class: 'primary', text: t('sitesurvey.start') });
    const cancel = h('button', { id: 'sitesurvey-cancel', text: t('common.cancel'), disabled: true });
    const command = h('select', { id: 'sitesurvey-command' }, h('option', { value: 'EWLEX', text: 'EWLEX' }), h('option', { value: 'EWLRU', text: 'EWLRU' }));
    const exportCsv = h('button', { id: 'export-csv', text: t('sitesurvey.csv'), disabled: true });
    const report = h('button', { id: 'show-report', text: t('sitesurvey.report'), disabled: true, onclick: () => ctx.go('report') });
    const progress = progressBar('sitesurvey-progress');
    const rows = h('tbody', { id: 'sitesurvey-results' });
    const silent = h('ul', { id: 'sitesurvey-silent', class: 'warnings' });
    let controller = null;

    const render = (s) => {
      const survey = s.siteSurvey;
      const results = survey ? survey.results : [];
      fill(rows, results.map(resultRow));
      fill(silent, results.filter((r) => r.status !== 'ok').map((r) =>
        h('li', { test: 'silent-unit', dataset: { serial: r.target.serial } }, t('sitesurvey.silentUnit', { name: r.target.name, serial: r.target.serial, status: t('survey.status.' + r.status, { time: '', msg: r.msg || '' }) }))));
      exportCsv.disabled = report.disabled = !results.length || !!controller;
      if (!controller) start.disabled = !s.unit || !s.regInfo;
    };

    const run = async () => {
      const s = store.get();
      const targets = allRemoteTargets(s.regInfo);
      if (!s.unit || !targets.length) return;
      controller = new AbortController();
      const signal = controller.signal;
      const survey = { started: new Date(), finished: null, unit: s.unit, regInfo: s.regInfo, results: [], complete: false };
      start.disabled = true;
      cancel.disabled = false;
      const endBusy = beginBusy();
      store.set({ siteSurvey: survey });
      try {
        for (let i = 0; i < targets.length; i++) {
          progress.set(i, targets.length, t('sitesurvey.progress', { done: i, total: targets.length }));
          let result;
          try {
            result = await runSurvey({ comInfo: s.unit, regInfo: s.regInfo, target: targets[i], mnemonic: command.value, signal });
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
        endBusy();
        controller = null;
        cancel.disabled = true;
        store.set({ siteSurvey: { ...survey } });
      }
    };

    start.addEventListener('click', run);
    cancel.addEventListener('click', () => controller && controller.abort());
    exportCsv.addEventListener('click', async () => {
      const survey = store.get().siteSurvey;
      if (!survey) return;
      try {
        const path = await saveTextFile(surveyCsv(survey.results), {
          title: t('sitesurvey.csv'), initFile: 'site-survey.csv', filter: ['CSV (*.csv)', '*.csv'], ext: '.csv',
        });
        if (path) notify(t('sitesurvey.saved', { path }));
      } catch (e) {
        showError(e, t('sitesurvey.csv'));
      }
    });
    store.subscribe(render);
    render(store.get());

    const element = h('section', { id: 'view-sitesurvey' },
      h('div', { class: 'toolbar' }, start, command, cancel, exportCsv, report, progress.el),
      h('table', { class: 'list' },
        h('thead', {}, h('tr', {}, ...['group', 'unit', 'model', 'route', 'weakest', 'status'].map((k) => h('th', { text: t('sitesurvey.col.' + k) })))),
        rows),
      h('h3', { text: t('sitesurvey.silent') }), silent);
    return { element };
  },
};
