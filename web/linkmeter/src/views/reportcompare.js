// The report's last section: the reported site survey against the last one
// of the previous visit, hop by hop (the hops that got worse first and
// marked) and each unit's level and battery then and now.
import { h, fill, timeText } from '../ui/dom.js';
import { t, addMessages } from '../i18n/i18n.js';
import { createRecords } from '../records/records.js';
import { compareSiteSurveys, loadWorseBy } from '../site/compare.js';
import { currentThresholds } from '../site/thresholds.js';
import { previousSiteSurvey } from '../report/reportprevious.js';

addMessages('en', {
  'report.compare.title': 'Compared with the previous visit',
  'report.compare.loading': 'Reading the previous visit from the site records…',
  'report.compare.none': 'The site records hold no earlier visit with a site survey of this site.',
  'report.compare.failed': 'The previous visit could not be read from the site records: {msg}',
  'report.compare.when': 'Previous visit {date}, site survey {survey}.',
  'report.compare.worse': '{worse} of {hops} hops got worse since then (fell by more than {by}, went silent or became weak or bad).',
  'report.compare.noneWorse': 'None of the {hops} hops got worse by more than {by} since then.',
  'report.compare.hop': 'Hop', 'report.compare.then': 'Then', 'report.compare.now': 'Now',
  'report.compare.change': 'Change', 'report.compare.judgement': 'Judgement', 'report.compare.worseMark': 'worse',
  'report.compare.silent': 'no answer',
  'report.compare.unit': 'Unit', 'report.compare.batteryThen': 'Battery then', 'report.compare.batteryNow': 'Battery now',
  'report.compare.units': 'Units: level and battery then and now',
  'report.compare.onlyThen': 'Hops measured only then: {hops}',
  'report.compare.onlyNow': 'Hops measured only now: {hops}',
  'report.compare.baseline': 'Compare with',
  'report.compare.cutShort': '{date} (stopped before the end)',
  'report.compare.noComplete': 'No earlier visit has a complete site survey of this site. Pick a survey to compare with.',
});
addMessages('ja', {
  'report.compare.title': '前回の訪問との比較',
  'report.compare.loading': '現場記録から前回の訪問を読んでいます…',
  'report.compare.none': '現場記録に、このサイトのサイト全体の調査がある以前の訪問はありません。',
  'report.compare.failed': '前回の訪問を現場記録から読めませんでした: {msg}',
  'report.compare.when': '前回の訪問 {date}、サイト全体の調査 {survey}。',
  'report.compare.worse': '{hops} 区間のうち {worse} 区間が悪化しました ({by} を超える低下、無応答、または「弱い」「不良」へ)。',
  'report.compare.noneWorse': '{hops} 区間のどれも {by} を超えて悪化していません。',
  'report.compare.hop': '区間', 'report.compare.then': '前回', 'report.compare.now': '今回',
  'report.compare.change': '変化', 'report.compare.judgement': '判定', 'report.compare.worseMark': '悪化',
  'report.compare.silent': '応答なし',
  'report.compare.unit': '機器', 'report.compare.batteryThen': '電池 前回', 'report.compare.batteryNow': '電池 今回',
  'report.compare.units': '機器: レベルと電池 (前回と今回)',
  'report.compare.onlyThen': '前回だけ測った区間: {hops}',
  'report.compare.onlyNow': '今回だけ測った区間: {hops}',
  'report.compare.baseline': '比較する相手',
  'report.compare.cutShort': '{date} (途中で止まった調査)',
  'report.compare.noComplete': '以前の訪問に、このサイトの完了したサイト全体の調査がありません。比較する調査を選んでください。',
});

const finite = (v) => typeof v === 'number' && Number.isFinite(v);
const value = (v) => (finite(v) ? String(Math.round(v * 10) / 10) : '—');

function change(v) {
  if (!finite(v)) return '—';
  const r = Math.round(v * 10) / 10;
  return r > 0 ? `+${r}` : r < 0 ? `−${-r}` : '0';
}

const head = (keys) => h('thead', {}, h('tr', {}, keys.map((k) => h('th', { text: t('report.compare.' + k) }))));

function hopRow(hop) {
  const silent = hop.after === null && hop.before !== null;
  return h('tr', { test: 'report-compare-hop', class: hop.worse ? 'worse' : '', dataset: { key: hop.key, worse: String(hop.worse), change: finite(hop.change) ? String(hop.change) : '' } },
    h('td', { text: hop.label }), h('td', { class: 'num', text: value(hop.before) }), h('td', { class: 'num', text: value(hop.after) }),
    h('td', { class: 'num', text: silent ? t('report.compare.silent') : change(hop.change) }),
    h('td', { text: hop.worse ? t('report.compare.worseMark') : '' }));
}

function unitRow(u) {
  return h('tr', { test: 'report-compare-unit', dataset: { serial: u.serial, batteryChange: finite(u.batteryChange) ? String(u.batteryChange) : '' } },
    h('td', { text: u.label }), h('td', { class: 'num', text: value(u.levelBefore) }), h('td', { class: 'num', text: value(u.levelAfter) }),
    h('td', { class: 'num', text: value(u.batteryBefore) }), h('td', { class: 'num', text: value(u.batteryAfter) }),
    h('td', { class: 'num', text: change(u.batteryChange) }));
}

const hopNames = (hops) => hops.map((x) => x.label).join(', ');

// The earlier surveys to choose from (no-print), the one compared selected.
function baselineSelect(state, onPick) {
  const cut = new Set(state.incomplete || []);
  const chosen = state.previous ? state.previous.recordId : null;
  const options = state.candidates.map((c) => h('option', { value: String(c.id), selected: c.id === chosen,
    text: cut.has(c.id) ? t('report.compare.cutShort', { date: timeText(c.at) }) : timeText(c.at) }));
  if (chosen === null) options.unshift(h('option', { value: '', selected: true, text: '—' }));
  const select = h('select', { id: 'report-compare-baseline', onchange: () => select.value && onPick(Number(select.value)) }, options);
  return h('p', { class: 'toolbar no-print' }, h('label', { for: 'report-compare-baseline', text: t('report.compare.baseline') }), ' ', select);
}

// The section's content for a state of the comparison: {loading},
// {failed: message}, null (no earlier visit), {candidates} (none complete,
// none picked) or {candidates, visit, previous, comparison}.
export function compareContent(state, onPick = () => {}) {
  const title = h('h3', { text: t('report.compare.title') });
  if (state && state.loading) return [title, h('p', { class: 'hint', text: t('report.compare.loading') })];
  if (state && state.failed !== undefined) return [title, h('p', { id: 'report-compare-failed', class: 'warn', text: t('report.compare.failed', { msg: state.failed }) })];
  if (!state) return [title, h('p', { id: 'report-compare-none', text: t('report.compare.none') })];
  if (!state.comparison) return [title, baselineSelect(state, onPick), h('p', { id: 'report-compare-none', dataset: { candidates: String(state.candidates.length) }, text: t('report.compare.noComplete') })];
  const c = state.comparison;
  const worse = c.hops.filter((x) => x.worse).length;
  return [
    title,
    baselineSelect(state, onPick),
    h('p', { id: 'report-compare-when', dataset: { visit: String(state.visit.id), survey: String(state.previous.recordId) },
      text: t('report.compare.when', { date: timeText(state.visit.startedAt), survey: timeText(state.previous.started) }) }),
    h('p', { id: 'report-compare-summary', class: worse ? 'warn' : '', dataset: { worse: String(worse), hops: String(c.hops.length) },
      text: t(worse ? 'report.compare.worse' : 'report.compare.noneWorse', { worse, hops: c.hops.length, by: c.worseBy }) }),
    h('table', { id: 'report-compare', class: 'list compare' }, head(['hop', 'then', 'now', 'change', 'judgement']), h('tbody', {}, c.hops.map(hopRow))),
    c.onlyBefore.length ? h('p', { id: 'report-compare-only-then', text: t('report.compare.onlyThen', { hops: hopNames(c.onlyBefore) }) }) : null,
    c.onlyAfter.length ? h('p', { id: 'report-compare-only-now', text: t('report.compare.onlyNow', { hops: hopNames(c.onlyAfter) }) }) : null,
    h('h4', { text: t('report.compare.units') }),
    h('table', { id: 'report-compare-units', class: 'list compare' }, head(['unit', 'then', 'now', 'batteryThen', 'batteryNow', 'change']), h('tbody', {}, c.units.map(unitRow))),
  ];
}

const failureText = (e) => (e && e.detail && e.detail.msg) || (e && e.message) || String(e);

// The section, kept up to date: the previous visit's survey is read once per
// reported survey (a running one publishes every answer) or baseline picked,
// the comparison is worked out again on every update. ready() settles once
// the read has. ctx.recorder (when there is one) names the reported
// survey's own visit.
export function comparisonSection(ctx) {
  const records = createRecords(ctx);
  const el = h('section', { id: 'report-comparison', class: 'print-flow' });
  let surveyKey = null;
  let token = 0; // the read whose answer is drawn
  let found = { loading: true };
  let shown = null;
  let reading = Promise.resolve();
  const draw = () => {
    const { survey, s } = shown;
    let state = found;
    if (found && found.survey) {
      const th = currentThresholds(s);
      const comparison = compareSiteSurveys(found.survey, survey, { worseBy: loadWorseBy(ctx.storage), thresholdsBefore: found.survey.thresholds, thresholdsAfter: th });
      state = { ...found, previous: found.survey, comparison };
    }
    fill(el, compareContent(state, pick));
  };
  const read = async (mine, survey, s, picked) => {
    let answer;
    try {
      const visitId = survey.visitId ?? (ctx.recorder ? await ctx.recorder.visitIdOf(survey) : null);
      answer = await previousSiteSurvey(records, survey, { visitId, pick: picked, regInfo: s.regInfo || null, th: currentThresholds(s) });
    } catch (e) {
      answer = { failed: failureText(e) };
    }
    if (mine !== token) return;
    found = answer;
    draw();
  };
  const start = (picked) => {
    token += 1;
    found = { loading: true };
    reading = read(token, shown.survey, shown.s, picked);
  };
  function pick(id) {
    start(id);
    draw();
  }
  return {
    el,
    update(survey, s) {
      shown = { survey, s };
      const base = survey && survey.prov && survey.prov.base;
      const k = base ? `${base.serial}@${survey.started}` : null;
      if (k !== surveyKey) {
        surveyKey = k;
        start(null);
      }
      draw();
    },
    ready: () => reading,
  };
}
