// Event log: the base unit's log (ELOGS) as a table of time, category,
// number and text, with a filter, exported as CSV.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import * as api from '../api.js';
import { store } from '../state.js';
import { showError, notify } from '../ui.js';
import { logRows, filterLogs, logTable, categories } from '../eventlog.js';
import { csvText } from '../csv.js';
import { saveTextFile } from '../export.js';
import '../servicetexts.js';

export default {
  id: 'eventlog',
  title: 'tab.eventlog',
  create() {
    const mode = h('select', { id: 'log-mode' },
      h('option', { value: '0', text: t('log.all') }), h('option', { value: '1', text: t('log.latest') }));
    const read = h('button', { id: 'log-read', class: 'primary', text: t('log.read') });
    const cancel = h('button', { id: 'log-cancel', text: t('common.cancel'), disabled: true });
    const filter = h('input', { id: 'log-filter', type: 'search', placeholder: t('log.filter'), size: 24 });
    const category = h('select', { id: 'log-category' });
    const csv = h('button', { id: 'log-csv', text: t('sitesurvey.csv'), disabled: true });
    const count = h('span', { id: 'log-count', class: 'dim' });
    const body = h('tbody', { id: 'log-rows' });
    let rows = [];
    let controller = null;

    const shownRows = () => filterLogs(rows, { text: filter.value, category: category.value });
    const render = () => {
      const shown = shownRows();
      fill(body, shown.map((r) => h('tr', { test: 'log-row', dataset: { category: String(r.category), number: String(r.number) } },
        h('td', { class: 'mono', text: r.time }), h('td', { text: String(r.category) }), h('td', { text: String(r.number) }), h('td', { text: r.text }))));
      count.textContent = t('log.count', { shown: shown.length, total: rows.length });
      count.dataset.shown = String(shown.length);
      csv.disabled = shown.length === 0;
    };
    const fillCategories = () => {
      fill(category, h('option', { value: '', text: t('log.anyCategory') }),
        categories(rows).map((c) => h('option', { value: String(c), text: String(c) })));
    };
    read.addEventListener('click', async () => {
      const unit = store.get().unit;
      if (!unit) return;
      controller = new AbortController();
      read.disabled = true;
      cancel.disabled = false;
      try {
        const result = await api.command('ELOGS', { comInfo: unit, MODE: Number(mode.value) }, { signal: controller.signal });
        rows = logRows(result.logs);
        fillCategories();
        render();
      } catch (e) {
        showError(e, 'ELOGS');
      } finally {
        controller = null;
        read.disabled = !store.get().unit;
        cancel.disabled = true;
      }
    });
    cancel.addEventListener('click', () => controller && controller.abort());
    filter.addEventListener('input', render);
    category.addEventListener('change', render);
    csv.addEventListener('click', async () => {
      const { header, rows: lines } = logTable(shownRows());
      try {
        const path = await saveTextFile(csvText(header, lines), { title: t('sitesurvey.csv'), initFile: 'eventlog.csv', filter: ['CSV', '*.csv'], ext: '.csv' });
        if (path) notify(t('sitesurvey.saved', { path }));
      } catch (e) {
        showError(e, t('sitesurvey.csv'));
      }
    });
    store.subscribe((s) => { if (!controller) read.disabled = !s.unit; });
    read.disabled = !store.get().unit;
    fillCategories();
    return {
      element: h('section', { id: 'view-eventlog' },
        h('div', { class: 'toolbar' }, mode, read, cancel, filter, category, csv, count),
        h('table', { class: 'list' }, h('thead', {}, h('tr', {}, h('th', { text: t('log.time') }), h('th', { text: t('log.category') }),
          h('th', { text: t('log.number') }), h('th', { text: t('log.text') }))), body)),
    };
  },
};
