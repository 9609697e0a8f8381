// The site survey's results table, kept up to date one row at a time: a new
// result adds (or replaces) its row in its group, so the work per answer
// does not grow with the rows already shown. Groups collapse; a filter and
// a sort apply to every row. The table element carries the id; rows are
// [data-test=result-row] inside one tbody per group.
import { h } from '../ui/dom.js';
import { t, tn } from '../i18n/i18n.js';
import { resultKey, targetKey } from '../site/sitesurveybook.js';
import { judgeResult } from '../site/survey.js';
import { sortKey, groupCounts, rowShown, COLLAPSE_OVER } from '../site/surveylist.js';

export class ResultTable {
  // rowOf(judged result) → <tr>; columns: heading keys.
  constructor({ id, rowOf, columns }) {
    this.rowOf = rowOf;
    this.columns = columns;
    this.el = h('table', { id, class: 'list results' },
      h('thead', {}, h('tr', {}, columns.map((k) => h('th', { text: t('sitesurvey.col.' + k) })))));
    this.filter = 'all';
    this.sort = 'route';
    this.clear();
  }

  clear() {
    for (const g of this.groups ? this.groups.values() : []) g.body.remove();
    this.groups = new Map(); // group index → {body, head, rows: Map(key → {result, judged, tr, index})}
    this.survey = null;
    this.th = null;
    this.order = new Map();
  }

  group(result, survey) {
    const index = result.group.index;
    let g = this.groups.get(index);
    if (g) return g;
    const open = survey.targets.length <= COLLAPSE_OVER;
    const toggle = h('button', { class: 'group-toggle', test: 'group-toggle', 'aria-expanded': String(open), onclick: () => this.toggle(g) });
    const caption = h('span', { test: 'group-counts' });
    const head = h('tr', { class: 'group-head', test: 'result-group-head' }, h('th', { colspan: String(this.columns.length) }, toggle, ' ', caption));
    g = { index, open, toggle, caption, body: h('tbody', { test: 'result-group', dataset: { group: String(index), open: String(open) } }, head), rows: new Map() };
    g.name = `${result.group.name} (${result.group.freq})`;
    this.groups.set(index, g);
    // Groups in registration order.
    const after = [...this.groups.values()].filter((x) => x.index > index).sort((a, b) => a.index - b.index)[0];
    this.el.insertBefore(g.body, after ? after.body : null);
    return g;
  }

  toggle(g) {
    g.open = !g.open;
    g.body.dataset.open = String(g.open);
    g.toggle.setAttribute('aria-expanded', String(g.open));
    this.refreshGroup(g);
  }

  refreshGroup(g) {
    const c = groupCounts([...g.rows.values()].map((x) => x.judged));
    g.toggle.textContent = (g.open ? '▾ ' : '▸ ') + g.name;
    g.caption.textContent = tn('sitesurvey.groupCounts', c.units, c);
    for (const x of g.rows.values()) x.tr.hidden = !rowShown(x.judged, this.filter, g.open);
  }

  // Shows `survey` under boundaries `th`, touching only the rows whose
  // result changed since the last call (all of them for another survey or
  // other boundaries).
  update(survey, th) {
    if (!survey) {
      this.clear();
      return;
    }
    if (survey.started !== (this.survey && this.survey.started) || th !== this.th) this.clear();
    if (!this.order.size) this.order = new Map(survey.targets.map((x, i) => [targetKey(x), i]));
    this.survey = survey;
    this.th = th;
    const touched = new Set();
    for (const r of survey.results) {
      const g = this.group(r, survey);
      const key = resultKey(r);
      const had = g.rows.get(key);
      if (had && had.result === r) continue;
      const judged = judgeResult(r, th);
      const tr = this.rowOf(judged);
      const entry = { result: r, judged, tr, index: this.order.get(key) ?? 1e6 };
      if (had) had.tr.remove();
      g.rows.set(key, entry);
      this.place(g, entry);
      touched.add(g);
    }
    for (const g of touched) this.refreshGroup(g);
  }

  // Puts a row before the first row that sorts after it.
  place(g, entry) {
    const k = sortKey(entry.judged, this.sort, entry.index);
    let before = null;
    for (const x of g.rows.values()) {
      if (x !== entry && x.tr.parentNode === g.body && sortKey(x.judged, this.sort, x.index) > k && (!before || sortKey(x.judged, this.sort, x.index) < sortKey(before.judged, this.sort, before.index))) before = x;
    }
    g.body.insertBefore(entry.tr, before ? before.tr : null);
  }

  setView({ filter = this.filter, sort = this.sort }) {
    const resort = sort !== this.sort;
    this.filter = filter;
    this.sort = sort;
    for (const g of this.groups.values()) {
      if (resort) {
        const rows = [...g.rows.values()].sort((a, b) => sortKey(a.judged, sort, a.index) - sortKey(b.judged, sort, b.index));
        for (const x of rows) g.body.append(x.tr);
      }
      this.refreshGroup(g);
    }
    this.el.dataset.filter = filter;
    this.el.dataset.sort = sort;
  }

  // The judged results on show, in target order.
  results() {
    return [...this.groups.values()].flatMap((g) => [...g.rows.values()]).sort((a, b) => a.index - b.index).map((x) => x.judged);
  }
}

// Filter and sort choices for a table; onchange({filter, sort}).
export function listControls(prefix, onchange) {
  const filter = h('select', { id: `${prefix}-filter`, title: t('sitesurvey.filter') },
    ['all', 'problems', 'weak', 'silent', 'battery'].map((f) => h('option', { value: f, text: t('sitesurvey.filter.' + f) })));
  const sort = h('select', { id: `${prefix}-sort`, title: t('sitesurvey.sort') },
    ['route', 'worst'].map((s) => h('option', { value: s, text: t('sitesurvey.sort.' + s) })));
  const changed = () => onchange({ filter: filter.value, sort: sort.value });
  filter.addEventListener('change', changed);
  sort.addEventListener('change', changed);
  return h('span', { class: 'list-controls' }, h('label', { for: `${prefix}-filter`, text: t('sitesurvey.filter') }), ' ', filter, ' ',
    h('label', { for: `${prefix}-sort`, text: t('sitesurvey.sort') }), ' ', sort);
}

