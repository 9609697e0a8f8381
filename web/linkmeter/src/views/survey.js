// Route survey: one remote unit or repeater, once or every N seconds, with
// the route drawn in link-quality colours and a level history per hop. A
// repeat survey keeps the statistics of every probe per hop (linkstats.js)
// and a capped history. The result says whose it is; a later run that fails
// or is cancelled leaves it marked as earlier.
import rules from 'catalogue-rules';
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { surveyRegistration } from '../page/state.js';
import { showError } from '../page/ui.js';
import { cancellableJob } from '../page/job.js';
import { probeRoute, addAnswer, resultFromStats, judgeResult } from '../site/survey.js';
import { DEFAULT_PROBES } from '../site/probedefaults.js';
import { buildRoute } from '../device/route.js';
import { levelHistory } from '../records/historychart.js';
import { currentThresholds } from '../site/thresholds.js';
import { labelOf, unitLabel } from '../site/names.js';
import { provenance, markResult } from '../ui/provenance.js';
import { surveyBlock, madeFromOther } from '../page/surveyrules.js';
import { surveyCommands } from '../device/cataloguelists.js';
import { routeLine, warnings, commandChoice, routesNote, resultLine, routeLegend, historyLegend } from '../ui/routeview.js';

const MIN_INTERVAL_S = 2;

// The targets, one option group per radio group, so a large site's list
// is read by group.
function targetGroups(regInfo) {
  return (regInfo ? regInfo.groups || [] : []).map((g, gi) => {
    const options = [];
    for (const u of g.remoteUnits || []) options.push({ value: `${gi}:remote:${u.num}`, text: `${unitLabel(regInfo, gi, 'remote', u.num)} (${u.model})` });
    for (const r of g.repeaters || []) options.push({ value: `${gi}:repeater:${r.num}`, text: `${labelOf(gi, 'repeater', r.num)} · ${t('survey.repeater')}` });
    return { label: g.name ? `${g.name} · CH${g.freq}` : `CH${g.freq}`, options };
  }).filter((group) => group.options.length);
}

const targetKey = (x) => (x ? `${x.group}:${x.kind}:${x.num}` : '');
function parseTarget(value) {
  const [group, kind, num] = value.split(':');
  return { group: Number(group), kind, num: Number(num) };
}

// Waits `ms` or until `signal` aborts. The abort listener goes with the
// wait: a repeat survey waits thousands of times on one signal.
function pause(ms, signal) {
  return new Promise((resolve) => {
    const done = () => {
      clearTimeout(timer);
      signal.removeEventListener('abort', done);
      resolve();
    };
    const timer = setTimeout(done, ms);
    signal.addEventListener('abort', done);
  });
}

class SurveyView {
  constructor(ctx) {
    this.ctx = ctx;
    this.store = ctx.store;
    this.select = h('select', { id: 'survey-target', onchange: () => this.pick(parseTarget(this.select.value)) });
    this.command = commandChoice('survey', surveyCommands(rules));
    this.repeat = h('input', { id: 'survey-repeat', type: 'checkbox' });
    this.interval = h('input', { id: 'survey-interval', type: 'number', min: MIN_INTERVAL_S, value: 10, size: 4, 'aria-label': t('survey.intervalName') });
    this.start = h('button', { id: 'survey-start', class: 'primary', text: t('survey.start') });
    this.cancel = h('button', { id: 'survey-cancel', text: t('common.cancel') });
    this.status = h('div', { id: 'survey-status', dataset: { state: 'idle' } });
    this.using = h('div', { id: 'survey-using', class: 'dim' });
    this.provBox = h('div', { id: 'survey-prov' });
    this.routeBox = h('div', { id: 'survey-route' });
    this.warnBox = h('ul', { id: 'survey-warnings', class: 'warnings' });
    this.historyBox = h('div', { id: 'survey-history', class: 'histories' });
    this.histories = [];
    this.shownReg = null;
    this.pickedKey = ''; // the target whose planned route was last shown
    this.shown = null; // {prov, regSource, earlier} of the result on show
    this.result = null; // the result on show, as measured (judged on show)
    this.judgedBy = null; // the boundaries it was last drawn under
    this.job = cancellableJob({ start: this.start, cancel: this.cancel, work: (signal) => this.run(signal), ended: () => this.render(this.store.get()) });
  }

  pick(target) {
    this.pickedKey = targetKey(target);
    this.store.set({ surveyTarget: target });
    this.showPlanned(target);
  }

  setStatus(state, text) {
    this.status.dataset.state = state;
    this.status.textContent = text;
  }

  // The planned route of a target picked; a target the registration in use
  // lacks leaves what is on show as it is.
  showPlanned(target) {
    const reg = surveyRegistration(this.store.get());
    let route;
    try {
      route = buildRoute(reg && reg.regInfo, target);
    } catch (e) {
      return;
    }
    const hops = route.hops.map((hop) => ({ ...hop, label: labelOf(target.group, hop.kind, hop.num, hop.name) }));
    this.shown = null;
    this.result = null;
    fill(this.warnBox);
    fill(this.provBox);
    fill(this.routeBox, routeLine({ status: 'planned', hops }, reg.prov ? reg.prov.base.name : ''));
    this.mark(this.store.get());
  }

  resetHistory(result) {
    this.histories.forEach((x) => x.destroy());
    fill(this.historyBox);
    this.histories = result.hops.map((hop) => {
      const box = h('div', { class: 'history', test: 'history', dataset: { num: String(hop.num), kind: hop.kind } });
      this.historyBox.append(box);
      return levelHistory(box, `${hop.label} — ${t('survey.levelHistory')}`, () => currentThresholds(this.store.get()));
    });
  }

  // The route and its warnings under the boundaries in force.
  drawResult(s) {
    const th = currentThresholds(s);
    this.judgedBy = th;
    const result = judgeResult(this.result, th);
    fill(this.routeBox, routeLine(result, result.prov.base.name));
    fill(this.warnBox, warnings(result).map((w) => h('li', { test: 'warning', text: w })));
    this.routeBox.dataset.verdict = result.verdict || 'none';
  }

  // Changed boundaries: the route rejudged and the charts' bands redrawn
  // (a new round's point redraws its chart by itself).
  rejudge(s) {
    this.drawResult(s);
    this.histories.forEach((x) => x.redraw());
  }

  // `levels`: what this probe read per hop (null: no answer); `last`: the
  // round's last probe, which says how the survey went.
  showResult(result, round, levels, last) {
    this.result = result;
    if (round === 1) this.resetHistory(result);
    this.drawResult(this.store.get());
    levels.forEach((level, i) => this.histories[i] && this.histories[i].add(result.when / 1000, level));
    this.historyBox.dataset.points = String(round);
    this.shown = { prov: result.prov, regSource: result.regSource, earlier: false };
    this.mark(this.store.get());
    if (!last) return;
    const far = result.hops[result.hops.length - 1].stats;
    const text = t('survey.status.' + result.status, { time: result.time, msg: '' }) + ' ' + t('survey.probes', { answered: far.answered, asked: far.asked });
    this.setStatus(result.status === 'ok' ? 'done' : 'noAnswer', text);
  }

  // Rounds until done (once, or every N seconds until cancelled). A single
  // survey sends the probes a verdict needs; a repeat survey one a round,
  // its verdict a quick check until it has as many.
  async run(signal) {
    const s = this.store.get();
    const reg = surveyRegistration(s);
    if (surveyBlock(s) || !this.select.value) return;
    const target = parseTarget(this.select.value);
    const unitLabelText = unitLabel(reg.regInfo, target.group, target.kind, target.num);
    // Until this run answers, what is on show is an earlier result.
    if (this.shown) this.shown.earlier = true;
    this.mark(s);
    try {
      const route = buildRoute(reg.regInfo, target);
      let stats = [];
      const repeat = this.repeat.checked;
      const probes = repeat ? 1 : DEFAULT_PROBES;
      for (let round = 1, point = 0; !signal.aborted; round++) {
        for (let probe = 1; probe <= probes && !signal.aborted; probe++) {
          this.setStatus('running', repeat ? t('survey.running', { round }) : t('survey.runningProbe', { probe, probes }));
          const answer = await probeRoute({ api: this.ctx.api, comInfo: s.unit, route, mnemonic: this.command.value(), signal });
          const before = stats;
          stats = addAnswer(route, stats, answer, Date.now());
          const levels = stats.map((st, i) => (st.answered > (before[i] ? before[i].answered : 0) ? st.last : null));
          const result = resultFromStats(route, stats, answer, new Date());
          const prov = provenance(s.unit, { unit: { serial: result.target.serial, label: unitLabelText }, time: result.when });
          this.showResult({ ...result, prov, regSource: reg.prov.source }, ++point, levels, probe === probes);
        }
        if (!repeat) break;
        const seconds = Math.max(MIN_INTERVAL_S, Number(this.interval.value) || MIN_INTERVAL_S);
        this.setStatus('waiting', t('survey.waiting', { round, seconds }));
        await pause(seconds * 1000, signal);
      }
      if (signal.aborted) this.setStatus('cancelled', t('error.cancelled'));
    } catch (e) {
      const cancelled = e instanceof this.ctx.api.CancelledError;
      this.setStatus(cancelled ? 'cancelled' : 'failed', cancelled ? t('error.cancelled') : t('survey.failed'));
      showError(e, t('tab.survey'), 'survey');
    }
  }

  // Whose the result on show is, and whether it is still the current one.
  mark(s) {
    const shown = this.shown;
    const earlier = !shown || shown.earlier || madeFromOther(shown, s);
    for (const el of [this.routeBox, this.historyBox]) markResult(el, shown ? shown.prov : null, s, { earlier });
    fill(this.provBox, shown ? resultLine(shown.prov, s, earlier) : null);
  }

  render(s) {
    const reg = surveyRegistration(s);
    const regInfo = reg ? reg.regInfo : null;
    fill(this.using, routesNote(reg, s));
    if (regInfo !== this.shownReg) {
      this.shownReg = regInfo;
      fill(this.select, targetGroups(regInfo).map((group) => h('optgroup', { label: group.label },
        group.options.map((o) => h('option', { value: o.value, text: o.text })))));
    }
    // A target picked elsewhere (the site tree) shows its planned route;
    // a registration changing under a result leaves the result, marked.
    const wanted = targetKey(s.surveyTarget);
    const offered = [...this.select.options].some((o) => o.value === wanted);
    if (wanted && offered && !this.job.running()) {
      if (this.select.value !== wanted) this.select.value = wanted;
      if (wanted !== this.pickedKey) {
        this.pickedKey = wanted;
        this.showPlanned(s.surveyTarget);
      }
    } else if (!wanted && !this.shown && this.select.value && !this.job.running()) {
      this.showPlanned(parseTarget(this.select.value));
    }
    // One operation at a time on the unit: another view's scan or survey
    // blocks starting.
    if (!this.job.running()) this.start.disabled = surveyBlock(s) !== '' || s.busy > 0;
    if (this.result && currentThresholds(s) !== this.judgedBy) this.rejudge(s);
    this.mark(s);
  }

  element() {
    return h('section', { id: 'view-survey' },
      h('div', { class: 'toolbar' },
        h('label', { for: 'survey-target', text: t('survey.target') }), this.select,
        h('label', {}, this.repeat, ' ' + t('survey.repeat')), this.interval, h('span', { text: t('survey.seconds') }),
        this.start, this.cancel, this.command.el),
      this.using, this.status, this.provBox, routeLegend(), this.routeBox, this.warnBox, historyLegend(), this.historyBox);
  }
}

export default {
  id: 'survey',
  title: 'tab.survey',
  create(ctx) {
    const view = new SurveyView(ctx);
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element: view.element() };
  },
};
