// The advice of an acceptance on the page: "Fix these first" (the ranked
// work, each action with the units it fixes), what gains margin, the
// site's own propagation fit with its chart, the planned units' predicted
// levels, and what the map lacks to tell distance from obstruction.
import { h } from '../ui/dom.js';
import { legend } from '../ui/legend.js';
import { t } from '../i18n/i18n.js';
import { fitChartData } from '../site/propagation.js';
import { levelClass } from '../site/thresholds.js';

function actionItem(a) {
  const at = a.position ? { proposal: a.proposal, x: String(a.position.x), y: String(a.position.y) } : {};
  return h('li', { test: 'acceptance-action', dataset: { kind: a.kind, key: a.key, cost: String(a.cost), units: a.serials.join(','), ...at }, text: a.text });
}

export function actionLists(a) {
  return [
    h('h3', { text: t('acceptance.fixFirst') }),
    a.fixFirst.length
      ? h('ol', { id: 'acceptance-fix-first', class: 'actions' }, a.fixFirst.map(actionItem))
      : h('p', { id: 'acceptance-fix-first', class: 'hint', text: t('acceptance.fixFirstNone') }),
    a.gainMargin.length ? [h('h4', { text: t('acceptance.gainMargin') }), h('ol', { id: 'acceptance-gain-margin', class: 'actions dim' }, a.gainMargin.map(actionItem))] : null,
  ];
}

// The fit in words and, when usable, on a chart; the geometry missing.
export function fitSection(a) {
  const fit = a.propagation;
  const missing = a.geometry && a.geometry.missing;
  const box = h('section', { id: 'acceptance-fit', class: 'card', dataset: {
    usable: String(Boolean(fit && fit.usable)), hops: fit ? String(fit.n) : '0', slope: fit && fit.usable ? String(fit.slope) : '',
    intercept: fit && fit.usable ? String(fit.intercept) : '', spread: fit && fit.usable ? String(fit.spread) : '', missing: missing || '' } },
  h('h4', { text: t('acceptance.fit.title') }),
  missing ? h('p', { id: 'acceptance-missing', class: 'hint', dataset: { missing }, text: t('acceptance.missing.' + missing) }) : null,
  (fit ? a.fitLines || [] : []).map((line) => h('p', { class: 'dim', text: line })),
  // A repeater that cannot be placed says why instead of a guess.
  (a.proposals || []).filter((p) => p.missing && p.missing !== missing).map((p) => h('p', { class: 'hint', test: 'acceptance-proposal-missing', dataset: { missing: p.missing },
    text: t('acceptance.proposalMissing', { to: p.to.join(', '), why: t('acceptance.missing.' + p.missing) }) })));
  const data = fitChartData(fit);
  if (data) {
    const el = h('div', { id: 'acceptance-fit-chart', role: 'img', 'aria-label': t('acceptance.fit.chart'), dataset: { points: String(data.x.length) } });
    box.append(el, legend('acceptance-fit-legend', [
      { key: 'fitHop', shape: 'point', text: t('acceptance.fit.chartHops') },
      { key: 'fitLine', shape: 'line', text: t('acceptance.fit.chartLine') },
      { key: 'fitSpread', shape: 'line', text: t('acceptance.fit.chartSpread') }]));
    // Drawn once the box is in the page (its width is known then); the
    // chart's module is loaded then, so the view runs without it elsewhere.
    const labels = { metres: 'm', level: t('channels.level'), hops: t('acceptance.fit.chartHops'), fit: t('acceptance.fit.chartLine'), spread: t('acceptance.fit.chartSpread') };
    if (typeof requestAnimationFrame === 'function') {
      requestAnimationFrame(() => {
        if (el.isConnected) import('../ui/fitchart.js').then(({ fitChart }) => fitChart(el, data, labels));
      });
    }
  }
  return box;
}

export function predictionList(a) {
  if (!a.predictions || !a.predictions.length) return null;
  return [h('h4', { text: t('acceptance.predictions') }), h('ul', { id: 'acceptance-predictions' }, a.predictions.map((p) => {
    const cls = levelClass(p.level, a.thresholds);
    return h('li', { test: 'acceptance-prediction', dataset: { serial: p.serial, level: String(p.level), spread: String(p.spread), parent: p.parentKey },
      text: t('acceptance.prediction', { unit: p.label, parent: p.parent, metres: Math.round(p.metres), level: Math.round(p.level), spread: Math.round(p.spread), cls: t('quality.' + cls) }) });
  }))];
}
