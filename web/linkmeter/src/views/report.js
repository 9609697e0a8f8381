// The printable report of the last site survey, for the installation
// record: site, routes, levels, batteries, weakest hops and time.
import { h, fill, timeText } from '../dom.js';
import { t } from '../i18n.js';
import { store } from '../state.js';
import { weakestHop } from '../survey.js';
import { routeLine } from './routeview.js';

// The weakest answered hops of the whole survey, lowest first.
function weakestHops(results, count) {
  return results
    .map((r) => ({ r, hop: weakestHop(r) }))
    .filter((x) => x.hop)
    .sort((a, b) => a.hop.reading.level - b.hop.reading.level)
    .slice(0, count);
}

function lowBatteries(results) {
  const seen = new Set();
  const list = [];
  for (const r of results) {
    for (const hop of r.hops) {
      const key = hop.serial;
      if (hop.reading && hop.reading.lowBattery && !seen.has(key)) {
        seen.add(key);
        list.push({ hop, r });
      }
    }
  }
  return list;
}

function content(survey) {
  if (!survey || !survey.results.length) return h('p', { class: 'hint', text: t('report.none') });
  const results = survey.results;
  const answered = results.filter((r) => r.status === 'ok').length;
  const unit = survey.unit;
  return [
    h('h2', { text: t('report.title') }),
    h('table', { class: 'facts' },
      h('tr', {}, h('th', { text: t('report.site') }), h('td', { id: 'report-site', text: `${unit.name} (${unit.model}, ${unit.serial})` })),
      h('tr', {}, h('th', { text: t('report.time') }), h('td', { id: 'report-time', text: `${timeText(survey.started)} – ${survey.finished ? timeText(survey.finished) : ''}` })),
      h('tr', {}, h('th', { text: t('report.answered') }), h('td', { id: 'report-answered', text: `${answered} / ${results.length}${survey.complete ? '' : ' ' + t('report.incomplete')}` }))),
    h('h3', { text: t('report.routes') }),
    h('table', { class: 'list', id: 'report-routes' },
      h('thead', {}, h('tr', {}, ...['group', 'unit', 'serial', 'route', 'status'].map((k) => h('th', { text: t('sitesurvey.col.' + k) })))),
      h('tbody', {}, results.map((r) => h('tr', { class: `s-${r.status}` },
        h('td', { text: `${r.group.name} (${r.group.freq})` }), h('td', { text: `${r.target.name} ${r.target.model}` }),
        h('td', { class: 'mono', text: r.target.serial }), h('td', {}, routeLine(r, unit.name)),
        h('td', { text: t('survey.status.' + r.status, { time: r.time, msg: r.msg || '' }) }))))),
    h('h3', { text: t('report.weakest') }),
    h('ol', { id: 'report-weakest' }, weakestHops(results, 5).map(({ r, hop }) =>
      h('li', { text: t('report.weakHop', { unit: r.target.name, hop: hop.label, level: hop.reading.level, quality: t('quality.' + hop.reading.levelClass) }) }))),
    h('h3', { text: t('report.batteries') }),
    h('ul', { id: 'report-batteries' }, lowBatteries(results).map(({ hop }) =>
      h('li', { text: t('survey.warnBattery', { unit: hop.label, battery: hop.reading.battery }) }))),
  ];
}

export default {
  id: 'report',
  title: 'tab.report',
  create() {
    const body = h('div', { id: 'report' });
    const print = h('button', { id: 'report-print', class: 'primary', text: t('report.print'), onclick: () => window.print() });
    const render = (s) => fill(body, content(s.siteSurvey));
    store.subscribe(render);
    render(store.get());
    return { element: h('section', { id: 'view-report' }, h('div', { class: 'toolbar no-print' }, print), body) };
  },
};
