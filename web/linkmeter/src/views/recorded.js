// Recorded data: downloaded from the logger on the base unit's optical
// port (EISUC) or by radio from a far remote unit (EWSUC), plotted per
// channel in display units over time, exported as CSV. Neither command
// reports progress while it runs, so the bar shows the time running.
import { h, fill, timeText } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { showError } from '../page/ui.js';
import { provenance, markResult, provenanceLine, exportFileName } from '../ui/provenance.js';
import { surveyRegistration } from '../page/state.js';
import { unitLabel } from '../site/names.js';
import { cancellableJob } from '../page/job.js';
import { buildRoute, allRemoteTargets } from '../device/route.js';
import { decodeRecorded, recordedTable } from '../device/recorded.js';
import { recordedCharts } from '../ui/recordchart.js';
import { channelTypes } from '../device/native.js';
import { csvText } from '../page/csv.js';
import { exportCsv, provenanceTable } from '../page/export.js';
import '../i18n/servicetexts.js';

const nextFrame = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));

function sources(regInfo) {
  const list = [{ value: 'optical', text: t('rec.optical') }];
  for (const target of allRemoteTargets(regInfo)) {
    const g = regInfo.groups[target.group];
    const u = g.remoteUnits.find((x) => x.num === target.num);
    const label = unitLabel(regInfo, target.group, 'remote', u.num);
    list.push({ value: `${target.group}:${target.num}`, text: `${label} · ${g.name || t('site.group')} (${u.model}, ${u.serial})`, target, regInfo, serial: u.serial, label });
  }
  return list;
}

async function download({ store, api }, source, signal) {
  const comInfo = store.get().unit;
  if (!source.target) return api.command('EISUC', { comInfo, MODE: 0, RANGE: 0 }, { signal });
  const route = buildRoute(source.regInfo, source.target);
  return api.command('EWSUC', { comInfo, ...route.fields, MODE: 0, RANGE: 0 }, { signal });
}

class RecordedView {
  constructor(ctx) {
    this.ctx = ctx;
    this.origin = h('div', { class: 'origin' });
    this.prov = null; // where the charts on show came from
    this.earlier = false; // a later download failed or was cancelled
    this.select = h('select', { id: 'rec-source' });
    this.start = h('button', { id: 'rec-download', class: 'primary', text: t('rec.download') });
    this.cancel = h('button', { id: 'rec-cancel', text: t('common.cancel') });
    this.bar = h('progress', { id: 'rec-progress', hidden: true });
    this.caption = h('span', { id: 'rec-progress-text', class: 'caption' });
    this.csv = h('button', { id: 'rec-csv', text: t('sitesurvey.csv'), disabled: true, onclick: () => this.saveCsv() });
    this.reset = h('button', { id: 'rec-reset', text: t('rec.resetZoom'), disabled: true, onclick: () => this.group && this.group.reset() });
    this.left = h('button', { id: 'rec-pan-left', text: '◀', disabled: true, onclick: () => this.pan(-1) });
    this.right = h('button', { id: 'rec-pan-right', text: '▶', disabled: true, onclick: () => this.pan(1) });
    this.summary = h('p', { id: 'rec-summary' });
    this.charts = h('div', { id: 'rec-charts' });
    this.list = [];
    this.listedFor = undefined;
    this.shown = null; // {decoded, types}: what the charts show
    this.group = null;
    this.unit = null;
    this.job = cancellableJob({ start: this.start, cancel: this.cancel, work: (signal) => this.run(signal), ended: () => this.ended() });
  }

  // The far units of the registration surveys work from (the unit's, the
  // sibling's or the routes entered by hand).
  fillSources(s) {
    const reg = surveyRegistration(s);
    const regInfo = reg ? reg.regInfo : null;
    if (regInfo === this.listedFor && this.list.length) return;
    this.listedFor = regInfo;
    const keep = this.select.value;
    this.list = sources(regInfo);
    fill(this.select, this.list.map((o) => h('option', { value: o.value, text: o.text, selected: o.value === keep })));
  }

  // Decodes and draws a download; the time from the answer to the drawn
  // charts goes on #rec-charts with the first and last times plotted.
  async plot(result) {
    const t0 = performance.now();
    const types = channelTypes();
    const decoded = decodeRecorded(result, types);
    if (this.group) this.group.destroy();
    fill(this.charts);
    this.group = decoded.count ? recordedCharts(this.charts, decoded, (k) => `ch${k + 1} ${decoded.channels[k].unit}`) : null;
    this.shown = { decoded, types };
    await nextFrame();
    const ms = performance.now() - t0;
    const [first, last] = this.group ? this.group.span() : [decoded.first, decoded.last];
    Object.assign(this.charts.dataset, { plotMs: ms.toFixed(1), first: String(first), last: String(last), bytes: String(result.Data.length) });
    fill(this.summary, t('rec.summary', { n: decoded.count, first: timeText(decoded.first * 1000), last: timeText(decoded.last * 1000), bytes: result.Data.length, ms: ms.toFixed(0) }));
  }

  // The commands report no progress: the bar runs with the time taken.
  async run(signal) {
    const source = this.list.find((o) => o.value === this.select.value);
    const { store, api } = this.ctx;
    const unit = store.get().unit;
    if (!source || !unit) return;
    this.bar.hidden = false;
    this.bar.removeAttribute('value');
    const began = Date.now();
    const tick = setInterval(() => { this.caption.textContent = t('rec.running', { s: Math.round((Date.now() - began) / 1000) }); }, 500);
    try {
      const result = await download(this.ctx, source, signal);
      this.prov = provenance(unit, { unit: source.target ? { serial: source.serial, label: source.label } : { serial: '', label: source.text }, source: 'unit' });
      this.earlier = false;
      await this.plot(result);
      Object.assign(this.bar, { value: 1, max: 1 });
      this.caption.textContent = t('rec.done');
    } catch (e) {
      this.earlier = Boolean(this.prov); // what is on show is not this download's
      this.caption.textContent = e instanceof api.CancelledError ? t('error.cancelled') : t('rec.failed');
      this.bar.hidden = true;
      showError(e, source.target ? 'EWSUC' : 'EISUC', 'recorded');
    } finally {
      clearInterval(tick);
    }
  }

  ended() {
    const s = this.ctx.store.get();
    this.start.disabled = !s.unit;
    this.remark(s);
    for (const b of [this.csv, this.reset, this.left, this.right]) b.disabled = !this.group;
  }

  pan(dir) {
    const r = this.group && this.group.range();
    if (r) this.group.setRange(r.min + (dir * (r.max - r.min)) / 4, r.max + (dir * (r.max - r.min)) / 4);
  }

  saveCsv() {
    if (!this.shown) return;
    const table = recordedTable(this.shown.decoded, this.shown.types, timeText);
    const { header, rows } = provenanceTable(table.header, table.rows, this.prov);
    exportCsv(csvText(header, rows), exportFileName('recorded', this.prov));
  }

  remark(s) {
    markResult(this.charts, this.prov, s, { earlier: this.earlier });
    fill(this.origin, this.prov ? provenanceLine(this.prov, s, { earlier: this.earlier }) : null);
  }

  render(s) {
    this.remark(s);
    this.fillSources(s);
    if (!this.job.running()) this.start.disabled = !s.unit;
    if (s.unit !== this.unit) this.clear(s.unit);
  }

  // Another unit: the last one's recording is neither shown nor exported
  // as this one's.
  clear(unit) {
    this.unit = unit;
    if (this.group) this.group.destroy();
    this.group = null;
    this.shown = null;
    this.prov = null;
    this.earlier = false;
    fill(this.charts);
    fill(this.summary);
    for (const key of Object.keys(this.charts.dataset)) delete this.charts.dataset[key];
    this.caption.textContent = '';
    this.bar.hidden = true;
    this.ended();
  }

  element() {
    return h('section', { id: 'view-recorded' },
      h('div', { class: 'toolbar' }, h('label', { for: 'rec-source', text: t('rec.source') }), this.select, this.start, this.cancel, this.bar, this.caption),
      h('div', { class: 'toolbar' }, this.csv, this.reset, this.left, this.right, h('span', { class: 'dim', text: t('rec.zoomHint') })),
      this.origin, this.summary, this.charts);
  }
}

export default {
  id: 'recorded',
  title: 'tab.recorded',
  create(ctx) {
    const view = new RecordedView(ctx);
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element: view.element() };
  },
};
