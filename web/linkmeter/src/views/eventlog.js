// Event log: the base unit's log (ELOGS) as a table of time (this
// computer's zone, from the record's UTC time), the unit's own local time
// with its offset, category, number and text, with a filter, exported as CSV.
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { showError } from '../page/ui.js';
import { provenance, markResult, provenanceLine, exportFileName } from '../ui/provenance.js';
import { logRows, filterLogs, logTable, categories, categoryText } from '../device/eventlog.js';
import { csvText } from '../page/csv.js';
import { exportCsv, provenanceTable } from '../page/export.js';
import { cancellableJob } from '../page/job.js';
import '../i18n/servicetexts.js';

class EventLogView {
  constructor(ctx) {
    this.ctx = ctx;
    this.prov = null; // where the rows on show came from
    this.earlier = false; // a later read failed or was cancelled
    this.origin = h('div', { class: 'origin' });
    this.table = null;
    this.mode = h('select', { id: 'log-mode', 'aria-label': t('log.which') },
      h('option', { value: '0', text: t('log.all') }), h('option', { value: '1', text: t('log.latest') }));
    this.read = h('button', { id: 'log-read', class: 'primary', text: t('log.read') });
    this.cancel = h('button', { id: 'log-cancel', text: t('common.cancel') });
    this.filter = h('input', { id: 'log-filter', type: 'search', placeholder: t('log.filter'), size: 24, oninput: () => this.show() });
    this.category = h('select', { id: 'log-category', 'aria-label': t('log.category'), onchange: () => this.show() });
    this.csv = h('button', { id: 'log-csv', text: t('sitesurvey.csv'), disabled: true, onclick: () => this.saveCsv() });
    this.count = h('span', { id: 'log-count', class: 'dim' });
    this.body = h('tbody', { id: 'log-rows' });
    this.rows = [];
    this.unit = null;
    this.job = cancellableJob({ start: this.read, cancel: this.cancel, work: (signal) => this.load(signal), ended: () => this.render(this.ctx.store.get()) });
    this.table = h('table', { class: 'list', id: 'log-table' }, h('thead', {}, h('tr', {},
      ['time', 'unitTime', 'category', 'number', 'text'].map((k) => h('th', { text: t('log.' + k) })))), this.body);
    this.fillCategories();
  }

  shownRows() {
    return filterLogs(this.rows, { text: this.filter.value, category: this.category.value });
  }

  show() {
    const shown = this.shownRows();
    fill(this.body, shown.map((r) => h('tr', { test: 'log-row', dataset: { category: String(r.category), number: String(r.number) } },
      h('td', { class: 'mono', test: 'log-time', text: r.time }),
      h('td', { class: 'mono dim', test: 'log-unit-time', text: r.offset ? `${r.unitTime} (${r.offset})` : r.unitTime }),
      h('td', { text: categoryText(r.category) }), h('td', { text: String(r.number) }), h('td', { text: r.text }))));
    this.count.textContent = t('log.count', { shown: shown.length, total: this.rows.length });
    this.count.dataset.shown = String(shown.length);
    this.csv.disabled = shown.length === 0;
  }

  fillCategories() {
    fill(this.category, h('option', { value: '', text: t('log.anyCategory') }),
      categories(this.rows).map((c) => h('option', { value: String(c), text: categoryText(c) })));
  }

  async load(signal) {
    const { store, api } = this.ctx;
    const unit = store.get().unit;
    if (!unit) return;
    try {
      const result = await api.command('ELOGS', { comInfo: unit, MODE: Number(this.mode.value) }, { signal });
      this.prov = provenance(unit, { source: 'unit' });
      this.earlier = false;
      this.setRows(logRows(result.logs));
    } catch (e) {
      this.earlier = Boolean(this.prov); // the rows on show are not this read's
      showError(e, 'ELOGS', 'eventlog');
    }
  }

  setRows(rows) {
    this.rows = rows;
    this.fillCategories();
    this.show();
  }

  saveCsv() {
    const table = logTable(this.shownRows());
    const { header, rows } = provenanceTable(table.header, table.rows, this.prov, '');
    exportCsv(csvText(header, rows), exportFileName('eventlog', this.prov));
  }

  remark(s) {
    markResult(this.table, this.prov, s, { earlier: this.earlier });
    fill(this.origin, this.prov ? provenanceLine(this.prov, s, { earlier: this.earlier }) : null);
  }

  // Another unit: the last one's log is not shown as this one's.
  render(s) {
    if (!this.job.running()) this.read.disabled = !s.unit;
    if (s.unit !== this.unit) {
      this.unit = s.unit;
      this.prov = null;
      this.earlier = false;
      if (this.rows.length) this.setRows([]);
    }
    this.remark(s);
  }

  element() {
    return h('section', { id: 'view-eventlog' },
      h('div', { class: 'toolbar' }, this.mode, this.read, this.cancel, this.filter, this.category, this.csv, this.count),
      this.origin, this.table);
  }
}

export default {
  id: 'eventlog',
  title: 'tab.eventlog',
  create(ctx) {
    const view = new EventLogView(ctx);
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element: view.element() };
  },
};
