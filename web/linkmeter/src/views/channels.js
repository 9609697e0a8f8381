// Channels: the signal level the base unit hears on each chosen channel,
// as bars with the quietest channels marked; repeatable and cancellable.
// The scan says whose it is; a newer scan that fails before its first
// readings leaves the older one marked as earlier.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import { showError, progressBar } from '../ui.js';
import { provenance, markResult } from '../provenance.js';
import { resultLine } from './routeview.js';
import { cancellableJob } from '../job.js';
import { parseChannels, quietest } from '../channels.js';
import { levelBars } from '../chart.js';

// Channels per measuring call: progress and cancel act between calls.
const CHUNK = 8;

class ChannelsView {
  constructor(ctx) {
    this.store = ctx.store;
    this.api = ctx.api;
    this.scanned = null; // {prov, complete, earlier} of the readings on show
    this.provBox = h('div', { id: 'channel-prov' });
    this.input = h('input', { id: 'channels-input', value: '0-39', size: 24, spellcheck: false });
    this.start = h('button', { id: 'scan-button', class: 'primary', text: t('channels.scan') });
    this.cancel = h('button', { id: 'scan-cancel', text: t('common.cancel') });
    this.progress = progressBar('scan-progress');
    this.chartBox = h('div', { id: 'channel-chart', class: 'chart' });
    this.quiet = h('p', { id: 'quiet-list' });
    this.table = h('tbody', { id: 'channel-levels' });
    this.chart = null;
    this.job = cancellableJob({ start: this.start, cancel: this.cancel, work: (signal) => this.scan(signal), ended: () => this.render(this.store.get()) });
  }

  show(readings) {
    if (!this.chart) this.chart = levelBars(this.chartBox, { channel: t('channels.channel'), level: t('channels.level'), quiet: t('channels.quietest') });
    const marked = quietest(readings);
    this.chart.update(readings.map((r) => r.freq), readings.map((r) => r.level), marked);
    fill(this.quiet, readings.length ? t('channels.quietList', { list: marked.join(', ') }) : '');
    this.quiet.dataset.channels = marked.join(',');
    fill(this.table, readings.map((r) => h('tr', { test: 'channel-row', class: marked.includes(r.freq) ? 'quiet' : '', dataset: { freq: String(r.freq) } },
      h('td', { text: String(r.freq) }), h('td', { text: String(r.level) }))));
  }

  async scan(signal) {
    const unit = this.store.get().unit;
    let freqs;
    try {
      freqs = parseChannels(this.input.value);
    } catch (e) {
      showError(new this.api.DeviceError({ pageText: t('channels.badInput', { part: e.message }) }));
      return;
    }
    if (!unit || !freqs.length) return;
    const readings = [];
    if (this.scanned) this.scanned.earlier = true;
    this.mark(this.store.get());
    try {
      for (let i = 0; i < freqs.length; i += CHUNK) {
        this.progress.set(i, freqs.length, t('channels.progress', { done: i, total: freqs.length }));
        readings.push(...await this.api.rsLevels(unit, freqs.slice(i, i + CHUNK), { signal }));
        if (i === 0) this.scanned = { prov: provenance(unit, { time: Date.now() }), complete: false, earlier: false };
        this.show(readings);
        this.mark(this.store.get());
      }
      this.scanned.complete = true;
      this.progress.set(freqs.length, freqs.length, t('channels.done', { total: freqs.length }));
    } catch (e) {
      this.progress.set(readings.length, freqs.length, e instanceof this.api.CancelledError ? t('error.cancelled') : t('channels.failed'));
      showError(e, t('tab.channels'));
    }
    this.mark(this.store.get());
  }

  // Whose the readings on show are, whether current and whether complete.
  mark(s) {
    const x = this.scanned;
    for (const el of [this.chartBox, this.table]) {
      markResult(el, x ? x.prov : null, s, { earlier: !x || x.earlier });
      el.dataset.complete = String(Boolean(x && x.complete));
    }
    fill(this.provBox, x ? resultLine(x.prov, s, x.earlier) : null);
  }

  render(s) {
    if (!this.job.running()) this.start.disabled = !s.unit || s.busy > 0;
    this.mark(s);
  }

  element() {
    const head = h('thead', {}, h('tr', {}, h('th', { text: t('channels.channel') }), h('th', { text: t('channels.level') })));
    return h('section', { id: 'view-channels' },
      h('div', { class: 'toolbar' }, h('label', { for: 'channels-input', text: t('channels.list') }), this.input, this.start, this.cancel, this.progress.el),
      this.provBox, this.chartBox, this.quiet,
      h('details', {}, h('summary', { text: t('channels.table') }), h('table', { class: 'list small' }, head, this.table)));
  }
}

export default {
  id: 'channels',
  title: 'tab.channels',
  create(ctx) {
    const view = new ChannelsView(ctx);
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element: view.element() };
  },
};
