// Channels: the signal level the base unit hears on each chosen channel,
// as bars with the quietest channels marked; repeatable and cancellable.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import * as api from '../api.js';
import { store } from '../state.js';
import { showError, progressBar } from '../ui.js';
import { cancellableJob } from '../job.js';
import { parseChannels, quietest } from '../channels.js';
import { levelBars } from '../chart.js';

// Channels per measuring call: progress and cancel act between calls.
const CHUNK = 8;

class ChannelsView {
  constructor() {
    this.input = h('input', { id: 'channels-input', value: '0-39', size: 24, spellcheck: false });
    this.start = h('button', { id: 'scan-button', class: 'primary', text: t('channels.scan') });
    this.cancel = h('button', { id: 'scan-cancel', text: t('common.cancel') });
    this.progress = progressBar('scan-progress');
    this.chartBox = h('div', { id: 'channel-chart', class: 'chart' });
    this.quiet = h('p', { id: 'quiet-list' });
    this.table = h('tbody', { id: 'channel-levels' });
    this.chart = null;
    this.job = cancellableJob({ start: this.start, cancel: this.cancel, work: (signal) => this.scan(signal), ended: () => this.render(store.get()) });
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
    const unit = store.get().unit;
    let freqs;
    try {
      freqs = parseChannels(this.input.value);
    } catch (e) {
      showError(new api.DeviceError({ msg: t('channels.badInput', { part: e.message }) }));
      return;
    }
    if (!unit || !freqs.length) return;
    const readings = [];
    try {
      for (let i = 0; i < freqs.length; i += CHUNK) {
        this.progress.set(i, freqs.length, t('channels.progress', { done: i, total: freqs.length }));
        readings.push(...await api.rsLevels(unit, freqs.slice(i, i + CHUNK), { signal }));
        this.show(readings);
      }
      this.progress.set(freqs.length, freqs.length, t('channels.done', { total: freqs.length }));
    } catch (e) {
      this.progress.set(readings.length, freqs.length, e instanceof api.CancelledError ? t('error.cancelled') : t('channels.failed'));
      showError(e, t('tab.channels'));
    }
  }

  render(s) {
    if (!this.job.running()) this.start.disabled = !s.unit;
  }

  element() {
    const head = h('thead', {}, h('tr', {}, h('th', { text: t('channels.channel') }), h('th', { text: t('channels.level') })));
    return h('section', { id: 'view-channels' },
      h('div', { class: 'toolbar' }, h('label', { for: 'channels-input', text: t('channels.list') }), this.input, this.start, this.cancel, this.progress.el),
      this.chartBox, this.quiet,
      h('details', {}, h('summary', { text: t('channels.table') }), h('table', { class: 'list small' }, head, this.table)));
  }
}

export default {
  id: 'channels',
  title: 'tab.channels',
  create() {
    const view = new ChannelsView();
    store.subscribe((s) => view.render(s));
    view.render(store.get());
    return { element: view.element() };
  },
};
