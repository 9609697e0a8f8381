// Channels: the signal level the base unit hears on each chosen channel,
// as bars with the quietest channels marked; repeatable and cancellable.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import * as api from '../api.js';
import { store } from '../state.js';
import { showError, progressBar } from '../ui.js';
import { beginBusy } from '../busy.js';
import { parseChannels, quietest } from '../channels.js';
import { levelBars } from '../chart.js';

// Channels per measuring call: progress and cancel act between calls.
const CHUNK = 8;

export default {
  id: 'channels',
  title: 'tab.channels',
  create() {
    const input = h('input', { id: 'channels-input', value: '0-39', size: 24, spellcheck: false });
    const start = h('button', { id: 'scan-button', class: 'primary', text: t('channels.scan') });
    const cancel = h('button', { id: 'scan-cancel', text: t('common.cancel'), disabled: true });
    const progress = progressBar('scan-progress');
    const chartBox = h('div', { id: 'channel-chart', class: 'chart' });
    const quiet = h('p', { id: 'quiet-list' });
    const table = h('tbody', { id: 'channel-levels' });
    let chart = null;
    let controller = null;

    const show = (readings) => {
      if (!chart) chart = levelBars(chartBox, { channel: t('channels.channel'), level: t('channels.level'), quiet: t('channels.quietest') });
      const marked = quietest(readings);
      chart.update(readings.map((r) => r.freq), readings.map((r) => r.level), marked);
      fill(quiet, readings.length ? t('channels.quietList', { list: marked.join(', ') }) : '');
      quiet.dataset.channels = marked.join(',');
      fill(table, readings.map((r) => h('tr', { test: 'channel-row', class: marked.includes(r.freq) ? 'quiet' : '', dataset: { freq: String(r.freq) } },
        h('td', { text: String(r.freq) }), h('td', { text: String(r.level) }))));
    };

    const scan = async () => {
      const unit = store.get().unit;
      let freqs;
      try {
        freqs = parseChannels(input.value);
      } catch (e) {
        showError(new api.DeviceError({ msg: t('channels.badInput', { part: e.message }) }));
        return;
      }
      if (!unit || !freqs.length) return;
      controller = new AbortController();
      start.disabled = true;
      cancel.disabled = false;
      const endBusy = beginBusy();
      const readings = [];
      try {
        for (let i = 0; i < freqs.length; i += CHUNK) {
          progress.set(i, freqs.length, t('channels.progress', { done: i, total: freqs.length }));
          readings.push(...await api.rsLevels(unit, freqs.slice(i, i + CHUNK), { signal: controller.signal }));
          show(readings);
        }
        progress.set(freqs.length, freqs.length, t('channels.done', { total: freqs.length }));
      } catch (e) {
        progress.set(readings.length, freqs.length, e instanceof api.CancelledError ? t('error.cancelled') : t('channels.failed'));
        showError(e, t('tab.channels'));
      } finally {
        endBusy();
        controller = null;
        start.disabled = !store.get().unit;
        cancel.disabled = true;
      }
    };
    start.addEventListener('click', scan);
    cancel.addEventListener('click', () => controller && controller.abort());
    store.subscribe((s) => { if (!controller) start.disabled = !s.unit; });
    start.disabled = !store.get().unit;

    const element = h('section', { id: 'view-channels' },
      h('div', { class: 'toolbar' }, h('label', { for: 'channels-input', text: t('channels.list') }), input, start, cancel, progress.el),
      chartBox, quiet,
      h('details', {}, h('summary', { text: t('channels.table') }),
        h('table', { class: 'list small' }, h('thead', {}, h('tr', {}, h('th', { text: t('channels.channel') }), h('th', { text: t('channels.level') }))), table)));
    return { element };
  },
};
