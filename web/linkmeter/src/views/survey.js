// Route survey: one remote unit or repeater, once or every N seconds, with
// the route drawn in link-quality colours and a level history per hop.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import { CancelledError } from '../api.js';
import { store } from '../state.js';
import { showError } from '../ui.js';
import { cancellableJob } from '../job.js';
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

const baseName = () => (store.get().unit ? store.get().unit.name : '');

class SurveyView {
  constructor() {
    this.select = h('select', { id: 'survey-target', onchange: () => this.pick(parseTarget(this.select.value)) });
    this.command = h('select', { id: 'survey-command' }, ['EWLEX', 'EWLRU'].map((m) => h('option', { value: m, text: m })));
    this.repeat = h('input', { id: 'survey-repeat', type: 'checkbox' });
    this.interval = h('input', { id: 'survey-interval', type: 'number', min: MIN_INTERVAL_S, value: 10, size: 4 });
    this.start = h('button', { id: 'survey-start', class: 'primary', text: t('survey.start') });
    this.cancel = h('button', { id: 'survey-cancel', text: t('common.cancel') });
    this.status = h('div', { id: 'survey-status', dataset: { state: 'idle' } });
    this.routeBox = h('div', { id: 'survey-route' });
    this.warnBox = h('ul', { id: 'survey-warnings', class: 'warnings' });
    this.historyBox = h('div', { id: 'survey-history', class: 'histories' });
    this.histories = [];
    this.shownReg = null;
    this.job = cancellableJob({ start: this.start, cancel: this.cancel, work: (signal) => this.run(signal), ended: () => this.render(store.get()) });
  }

  pick(target) {
    store.set({ surveyTarget: target });
    this.showPlanned(target);
  }

  setStatus(state, text) {
    this.status.dataset.state = state;
    this.status.textContent = text;
  }

  showPlanned(target) {
    try {
      const route = buildRoute(store.get().regInfo, target);
      const hops = route.hops.map((hop) => ({ ...hop, label: hop.kind === 'repeater' ? `R${hop.num}` : hop.name || `U${hop.num}` }));
      fill(this.routeBox, routeLine({ status: 'planned', hops }, baseName()));
    } catch (e) {
      fill(this.routeBox);
    }
  }

  resetHistory(result) {
    this.histories.forEach((x) => x.destroy());
    fill(this.historyBox);
    this.histories = result.hops.map((hop) => {
      const box = h('div', { class: 'history', test: 'history', dataset: { num: String(hop.num), kind: hop.kind } });
      this.historyBox.append(box);
      return levelHistory(box, `${hop.label} — ${t('survey.levelHistory')}`);
    });
  }

  showResult(result, round) {
    fill(this.routeBox, routeLine(result, baseName()));
    fill(this.warnBox, warnings(result).map((w) => h('li', { test: 'warning', text: w })));
    if (round === 1) this.resetHistory(result);
    const now = Date.now() / 1000;
    result.hops.forEach((hop, i) => this.histories[i] && this.histories[i].add(now, hop.reading ? hop.reading.level : null));
    this.historyBox.dataset.points = String(round);
    this.setStatus(result.status === 'ok' ? 'done' : 'noAnswer', t('survey.status.' + result.status, { time: result.time, msg: result.msg || '' }));
  }

  // Rounds until done (once, or every N seconds until cancelled).
  async run(signal) {
    const s = store.get();
    if (!s.unit || !s.regInfo || !this.select.value) return;
    const target = parseTarget(this.select.value);
    try {
      for (let round = 1; !signal.aborted; round++) {
        this.setStatus('running', t('survey.running', { round }));
        this.showResult(await runSurvey({ comInfo: s.unit, regInfo: s.regInfo, target, mnemonic: this.command.value, signal }), round);
        if (!this.repeat.checked) break;
        const seconds = Math.max(MIN_INTERVAL_S, Number(this.interval.value) || MIN_INTERVAL_S);
        this.setStatus('waiting', t('survey.waiting', { round, seconds }));
        await pause(seconds * 1000, signal);
      }
      if (signal.aborted) this.setStatus('cancelled', t('error.cancelled'));
    } catch (e) {
      const cancelled = e instanceof CancelledError;
      this.setStatus(cancelled ? 'cancelled' : 'failed', cancelled ? t('error.cancelled') : t('survey.failed'));
      showError(e, t('tab.survey'));
    }
  }

  render(s) {
    if (s.regInfo !== this.shownReg) {
      this.shownReg = s.regInfo;
      fill(this.select, targetOptions(s.regInfo).map((o) => h('option', { value: o.value, text: o.text })));
      if (this.select.value && !s.surveyTarget) this.showPlanned(parseTarget(this.select.value));
    }
    const wanted = targetKey(s.surveyTarget);
    if (wanted && this.select.value !== wanted && !this.job.running()) {
      this.select.value = wanted;
      this.showPlanned(s.surveyTarget);
    }
    if (!this.job.running()) this.start.disabled = !s.regInfo || !s.unit;
  }

  element() {
    return h('section', { id: 'view-survey' },
      h('div', { class: 'toolbar' },
        h('label', { for: 'survey-target', text: t('survey.target') }), this.select, this.command,
        h('label', {}, this.repeat, ' ' + t('survey.repeat')), this.interval, h('span', { text: t('survey.seconds') }),
        this.start, this.cancel),
      this.status, this.routeBox, this.warnBox, this.historyBox);
  }
}

export default {
  id: 'survey',
  title: 'tab.survey',
  create() {
    const view = new SurveyView();
    store.subscribe((s) => view.render(s));
    view.render(store.get());
    return { element: view.element() };
  },
};
