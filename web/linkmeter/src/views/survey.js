// Route survey: one remote unit or repeater, once or every N seconds, with
// the route drawn in link-quality colours and a level history per hop.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import { CancelledError } from '../api.js';
import { store } from '../state.js';
import { showError } from '../ui.js';
import { beginBusy } from '../busy.js';
import { runSurvey } from '../survey.js';
import { buildRoute } from '../route.js';
import { levelHistory } from '../chart.js';
import { routeLine, warnings } from './routeview.js';

const MIN_INTERVAL_S = 2;

function targetOptions(regInfo) {
  const options = [];
  (regInfo ? regInfo.groups || [] : []).forEach((g, gi) => {
    for (const u of g.remoteUnits || []) options.push({ value: `${gi}:remote:${u.num}`, text: `${g.name} · ${u.name || '#' + u.num} (${u.model})` });
    for (const r of g.repeaters || []) options.push({ value: `${gi}:repeater:${r.num}`, text: `${g.name} · ${t('survey.repeater')} R${r.num}` });
  });
  return options;
}

const targetKey = (x) => (x ? `${x.group}:${x.kind}:${x.num}` : '');
function parseTarget(value) {
  const [group, kind, num] = value.split(':');
  return { group: Number(group), kind, num: Number(num) };
}

// Waits `ms` or until `signal` aborts.
function pause(ms, signal) {
  return new Promise((resolve) => {
    const timer = setTimeout(resolve, ms);
    signal.addEventListener('abort', () => { clearTimeout(timer); resolve(); }, { once: true });
  });
}

export default {
  id: 'survey',
  title: 'tab.survey',
  create() {
    const select = h('select', { id: 'survey-target' });
    const command = h('select', { id: 'survey-command' }, h('option', { value: 'EWLEX', text: 'EWLEX' }), h('option', { value: 'EWLRU', text: 'EWLRU' }));
    const repeat = h('input', { id: 'survey-repeat', type: 'checkbox' });
    const interval = h('input', { id: 'survey-interval', type: 'number', min: MIN_INTERVAL_S, value: 10, size: 4 });
    const start = h('button', { id: 'survey-start', class: 'primary', text: t('survey.start') });
    const cancel = h('button', { id: 'survey-cancel', text: t('common.cancel'), disabled: true });
    const status = h('div', { id: 'survey-status', dataset: { state: 'idle' } });
    const routeBox = h('div', { id: 'survey-route' });
    const warnBox = h('ul', { id: 'survey-warnings', class: 'warnings' });
    const historyBox = h('div', { id: 'survey-history', class: 'histories' });
    let controller = null;
    let histories = [];

    const setStatus = (state, text) => {
      status.dataset.state = state;
      status.textContent = text;
    };
    const showRoute = (target) => {
      try {
        const route = buildRoute(store.get().regInfo, target);
        const preview = { status: 'planned', hops: route.hops.map((hop) => ({ ...hop, label: hop.kind === 'repeater' ? `R${hop.num}` : hop.name || `U${hop.num}` })) };
        fill(routeBox, routeLine(preview, store.get().unit && store.get().unit.name));
      } catch (e) {
        fill(routeBox);
      }
    };
    const resetHistory = (result) => {
      histories.forEach((x) => x.destroy());
      fill(historyBox);
      histories = result.hops.map((hop) => {
        const box = h('div', { class: 'history', test: 'history', dataset: { num: String(hop.num), kind: hop.kind } });
        historyBox.append(box);
        return levelHistory(box, `${hop.label} — ${t('survey.levelHistory')}`);
      });
    };
    const showResult = (result, round) => {
      fill(routeBox, routeLine(result, store.get().unit && store.get().unit.name));
      fill(warnBox, warnings(result).map((w) => h('li', { test: 'warning', text: w })));
      if (round === 1) resetHistory(result);
      const now = Date.now() / 1000;
      result.hops.forEach((hop, i) => histories[i] && histories[i].add(now, hop.reading ? hop.reading.level : null));
      historyBox.dataset.points = String(round);
    };

    const run = async () => {
      const s = store.get();
      if (!s.unit || !s.regInfo || !select.value) return;
      const target = parseTarget(select.value);
      controller = new AbortController();
      const signal = controller.signal;
      start.disabled = true;
      cancel.disabled = false;
      const endBusy = beginBusy();
      try {
        for (let round = 1; !signal.aborted; round++) {
          setStatus('running', t('survey.running', { round }));
          const result = await runSurvey({ comInfo: s.unit, regInfo: s.regInfo, target, mnemonic: command.value, signal });
          showResult(result, round);
          setStatus(result.status === 'ok' ? 'done' : 'noAnswer', t('survey.status.' + result.status, { time: result.time, msg: result.msg || '' }));
          if (!repeat.checked) break;
          const seconds = Math.max(MIN_INTERVAL_S, Number(interval.value) || MIN_INTERVAL_S);
          setStatus('waiting', t('survey.waiting', { round, seconds }));
          await pause(seconds * 1000, signal);
        }
        if (signal.aborted) setStatus('cancelled', t('error.cancelled'));
      } catch (e) {
        setStatus(e instanceof CancelledError ? 'cancelled' : 'failed', e instanceof CancelledError ? t('error.cancelled') : t('survey.failed'));
        showError(e, t('tab.survey'));
      } finally {
        endBusy();
        controller = null;
        start.disabled = !store.get().regInfo;
        cancel.disabled = true;
      }
    };
    start.addEventListener('click', run);
    cancel.addEventListener('click', () => controller && controller.abort());
    select.addEventListener('change', () => store.set({ surveyTarget: parseTarget(select.value) }));

    let shownReg = null;
    const render = (s) => {
      if (s.regInfo !== shownReg) {
        shownReg = s.regInfo;
        fill(select, targetOptions(s.regInfo).map((o) => h('option', { value: o.value, text: o.text })));
      }
      const wanted = targetKey(s.surveyTarget);
      if (wanted && select.value !== wanted && !controller) {
        select.value = wanted;
        showRoute(s.surveyTarget);
      }
      if (!controller) start.disabled = !s.regInfo || !s.unit;
    };
    store.subscribe(render);
    render(store.get());
    if (select.value) showRoute(parseTarget(select.value));

    const element = h('section', { id: 'view-survey' },
      h('div', { class: 'toolbar' },
        h('label', { for: 'survey-target', text: t('survey.target') }), select, command,
        h('label', {}, repeat, ' ' + t('survey.repeat')), interval, h('span', { text: t('survey.seconds') }),
        start, cancel),
      status, routeBox, warnBox, historyBox);
    return { element };
  },
};
