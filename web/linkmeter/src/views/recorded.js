// Recorded data: downloaded from the logger on the base unit's optical
// port (EISUC) or by radio from a far remote unit (EWSUC), plotted per
// channel in display units over time, exported as CSV. Neither command
// reports progress while it runs, so the bar shows the time running.
import { h, fill, timeText } from '../dom.js';
import { t } from '../i18n.js';
import * as api from '../api.js';
import { store } from '../state.js';
import { showError, notify } from '../ui.js';
import { beginBusy } from '../busy.js';
import { buildRoute, allRemoteTargets } from '../route.js';
import { decodeRecorded, recordedTable } from '../recorded.js';
import { recordedCharts } from '../recordchart.js';
import { channelTypes } from '../native.js';
import { csvText } from '../csv.js';
import { saveTextFile } from '../export.js';
import '../servicetexts.js';

const nextFrame = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));

function sources(regInfo) {
  const list = [{ value: 'optical', text: t('rec.optical') }];
  for (const target of allRemoteTargets(regInfo)) {
    const g = regInfo.groups[target.group];
    const u = g.remoteUnits.find((x) => x.num === target.num);
    list.push({ value: `${target.group}:${target.num}`, text: `${g.name || t('site.group')} · ${u.name || '#' + u.num} (${u.model}, ${u.serial})`, target });
  }
  return list;
}

async function download(source, signal) {
  const comInfo = store.get().unit;
  if (!source.target) return api.command('EISUC', { comInfo, MODE: 0, RANGE: 0 }, { signal });
  const route = buildRoute(store.get().regInfo, source.target);
  return api.command('EWSUC', { comInfo, ...route.fields, MODE: 0, RANGE: 0 }, { signal });
}

export default {
  id: 'recorded',
  title: 'tab.recorded',
  create() {
    const select = h('select', { id: 'rec-source' });
    const start = h('button', { id: 'rec-download', class: 'primary', text: t('rec.download') });
    const cancel = h('button', { id: 'rec-cancel', text: t('common.cancel'), disabled: true });
    const bar = h('progress', { id: 'rec-progress', hidden: true });
    const caption = h('span', { id: 'rec-progress-text', class: 'caption' });
    const csv = h('button', { id: 'rec-csv', text: t('sitesurvey.csv'), disabled: true });
    const reset = h('button', { id: 'rec-reset', text: t('rec.resetZoom'), disabled: true });
    const left = h('button', { id: 'rec-pan-left', text: '◀', disabled: true });
    const right = h('button', { id: 'rec-pan-right', text: '▶', disabled: true });
    const summary = h('p', { id: 'rec-summary' });
    const charts = h('div', { id: 'rec-charts' });
    let list = [];
    let controller = null;
    let shown = null;
    let group = null;

    let listedFor;
    const fillSources = (s) => {
      if (s.regInfo === listedFor && list.length) return;
      listedFor = s.regInfo;
      const keep = select.value;
      list = sources(s.regInfo);
      fill(select, list.map((o) => h('option', { value: o.value, text: o.text, selected: o.value === keep })));
    };
    const plot = (result, types) => {
      const t0 = performance.now();
      const decoded = decodeRecorded(result, types);
      if (group) group.destroy();
      fill(charts);
      group = decoded.count ? recordedCharts(charts, decoded, (k) => `ch${k + 1} ${decoded.channels[k].unit}`) : null;
      return { decoded, t0 };
    };
    const run = async () => {
      const source = list.find((o) => o.value === select.value);
      if (!source || !store.get().unit) return;
      controller = new AbortController();
      start.disabled = true;
      cancel.disabled = false;
      bar.hidden = false;
      bar.removeAttribute('value');
      const began = Date.now();
      const tick = setInterval(() => { caption.textContent = t('rec.running', { s: Math.round((Date.now() - began) / 1000) }); }, 500);
      const endBusy = beginBusy();
      try {
        const result = await download(source, controller.signal);
        const types = channelTypes();
        const { decoded, t0 } = plot(result, types);
        await nextFrame();
        const ms = performance.now() - t0;
        shown = { result, decoded, types, source };
        charts.dataset.plotMs = ms.toFixed(1);
        const [first, last] = group ? group.span() : [decoded.first, decoded.last];
        charts.dataset.first = String(first);
        charts.dataset.last = String(last);
        charts.dataset.bytes = String(result.Data.length);
        fill(summary, t('rec.summary', { n: decoded.count, first: timeText(decoded.first * 1000), last: timeText(decoded.last * 1000), bytes: result.Data.length, ms: ms.toFixed(0) }));
        bar.value = 1;
        bar.max = 1;
        caption.textContent = t('rec.done');
      } catch (e) {
        caption.textContent = e instanceof api.CancelledError ? t('error.cancelled') : t('rec.failed');
        bar.hidden = true;
        showError(e, source.target ? 'EWSUC' : 'EISUC');
      } finally {
        clearInterval(tick);
        endBusy();
        controller = null;
        start.disabled = !store.get().unit;
        cancel.disabled = true;
        for (const b of [csv, reset, left, right]) b.disabled = !(group && shown);
      }
    };
    const pan = (dir) => {
      const r = group && group.range();
      if (r) group.setRange(r.min + dir * (r.max - r.min) / 4, r.max + dir * (r.max - r.min) / 4);
    };
    start.addEventListener('click', run);
    cancel.addEventListener('click', () => controller && controller.abort());
    reset.addEventListener('click', () => group && group.reset());
    left.addEventListener('click', () => pan(-1));
    right.addEventListener('click', () => pan(1));
    csv.addEventListener('click', async () => {
      if (!shown) return;
      const { header, rows } = recordedTable(shown.decoded, shown.types, timeText);
      try {
        const path = await saveTextFile(csvText(header, rows), { title: t('sitesurvey.csv'), initFile: 'recorded.csv', filter: ['CSV', '*.csv'], ext: '.csv' });
        if (path) notify(t('sitesurvey.saved', { path }));
      } catch (e) {
        showError(e, t('sitesurvey.csv'));
      }
    });
    store.subscribe((s) => {
      fillSources(s);
      if (!controller) start.disabled = !s.unit;
    });
    fillSources(store.get());
    start.disabled = !store.get().unit;
    return {
      element: h('section', { id: 'view-recorded' },
        h('div', { class: 'toolbar' }, h('label', { for: 'rec-source', text: t('rec.source') }), select, start, cancel, bar, caption),
        h('div', { class: 'toolbar' }, csv, reset, left, right, h('span', { class: 'dim', text: t('rec.zoomHint') })),
        summary, charts),
    };
  },
};
