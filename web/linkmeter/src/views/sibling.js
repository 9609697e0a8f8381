// Sibling import: the groups, repeaters and remote units the sibling
// application keeps, compared with the connected unit's registration; a
// warning while that application runs (it may be changing them).
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { showError } from '../page/ui.js';
import { provenance, markResult, provenanceLine } from '../ui/provenance.js';
import { siblingFailureText } from '../device/errors.js';
import { callNative } from '../device/native.js';
import { compareRegistrations, compareSummary } from '../settings/siblingdiff.js';
import { labelOf } from '../site/names.js';
import '../i18n/servicetexts.js';

function running() {
  try {
    return callNative(() => globalThis.app.isRunningVlb1Tool()) === true;
  } catch (e) {
    return false;
  }
}

function siblingTable(reg) {
  const rows = [];
  (reg.groups || []).forEach((g, gi) => {
    for (const r of g.repeaters || []) rows.push([g.name || gi, t('reg.repeater'), labelOf(gi, 'repeater', r.num), r.serial, '', String(r.parent)]);
    for (const u of g.remoteUnits || []) rows.push([g.name || gi, u.model, labelOf(gi, 'remote', u.num, ''), u.serial, u.name || '', String(u.parent)]);
  });
  return h('table', { class: 'list', id: 'sibling-units' },
    h('thead', {}, h('tr', {}, ['site.group', 'units.model', 'reg.number', 'units.serial', 'units.name', 'reg.parent'].map((k) => h('th', { text: t(k) })))),
    h('tbody', {}, rows.map((cells) => h('tr', { test: 'sibling-unit', dataset: { serial: cells[3] } }, cells.map((c) => h('td', { text: String(c) }))))));
}

function compareTable(rows) {
  const n = compareSummary(rows);
  return h('div', { id: 'sibling-compare' },
    h('p', { id: 'sibling-summary', dataset: { same: String(n.same), changed: String(n.changed), unitOnly: String(n.unitOnly), siblingOnly: String(n.siblingOnly) }, text: t('sib.summary', n) }),
    h('table', { class: 'list' },
      h('thead', {}, h('tr', {}, ['units.serial', 'sib.status', 'sib.unit', 'sib.sibling'].map((k) => h('th', { text: t(k) })))),
      h('tbody', {}, rows.map((r) => h('tr', { test: 'compare-row', class: r.status, dataset: { serial: r.serial, status: r.status } },
        h('td', { class: 'mono', text: r.serial }), h('td', { text: t('sib.' + r.status) + (r.differs.length ? ` (${r.differs.join(', ')})` : '') }),
        h('td', { text: r.unit ? `${r.unit.name || r.unit.kind} #${r.unit.num}` : '—' }),
        h('td', { text: r.sibling ? `${r.sibling.name || r.sibling.kind} #${r.sibling.num}` : '—' }))))));
}

class SiblingView {
  constructor(ctx) {
    this.ctx = ctx;
    this.origin = h('div', { class: 'origin' });
    this.oem = h('input', { id: 'sibling-oem', type: 'checkbox' });
    this.load = h('button', { id: 'sibling-load', class: 'primary', text: t('sib.load'), onclick: () => this.read() });
    this.compare = h('button', { id: 'sibling-compare-button', text: t('sib.compare'), disabled: true, onclick: () => this.compareWithUnit() });
    this.warning = h('p', { id: 'sibling-running', class: 'warning', hidden: true, text: t('sib.running') });
    this.body = h('div', { id: 'sibling-body' });
    this.result = h('div', { id: 'sibling-result' });
    this.settings = null;
  }

  checkRunning() {
    this.warning.hidden = !running();
  }

  // The sibling's settings, or a hint saying why there are none.
  read() {
    this.checkRunning();
    this.settings = null;
    try {
      const settings = callNative(() => globalThis.app.getSettingsVlb1Tool(this.oem.checked));
      const reg = settings && settings.RSETF;
      if (reg && Array.isArray(reg.groups)) {
        this.settings = settings;
        // Kept apart from the unit's registration: surveys use it only
        // when the technician chooses it.
        this.ctx.store.set({ siblingReg: { regInfo: reg, prov: provenance({ serial: reg.serial || '' }, { source: 'sibling' }) } });
        fill(this.body, siblingTable(reg));
      } else {
        fill(this.body, h('p', { class: 'hint', id: 'sibling-empty', text: t('site.noSibling') }));
      }
    } catch (e) {
      const why = siblingFailureText(e.detail && e.detail.code1);
      fill(this.body, h('p', { class: 'hint', id: 'sibling-empty', dataset: { code: String(e.detail ? e.detail.code1 : '') }, text: why || '' }));
      if (!why) showError(e, t('tab.sibling'));
    }
    fill(this.result);
    this.compare.disabled = !this.settings;
  }

  // Against the connected unit's registration, read first when needed.
  async compareWithUnit() {
    const { store, api } = this.ctx;
    let reg = store.get().regInfo;
    try {
      if (!reg && store.get().unit) {
        reg = (await api.command('RSETF', { comInfo: store.get().unit })).regInfo;
        store.set({ regInfo: reg, regProv: provenance(store.get().unit, { source: 'unit' }) });
      }
      if (!reg) throw new api.DeviceError({ msg: t('site.readHint') });
      fill(this.result, compareTable(compareRegistrations(reg, this.settings.RSETF)));
    } catch (e) {
      showError(e, t('sib.compare'));
    }
  }

  element() {
    return h('section', { id: 'view-sibling' }, this.warning,
      h('div', { class: 'toolbar' }, h('label', {}, this.oem, t('sib.oem')), this.load, this.compare), this.origin, this.body, this.result);
  }

  // The sibling's registration names its own base unit: current only
  // while that unit is the connected one.
  render(s) {
    const prov = s.siblingReg ? s.siblingReg.prov : null;
    markResult(this.body, prov, s);
    fill(this.origin, prov ? provenanceLine(prov, s) : null);
  }
}

export default {
  id: 'sibling',
  title: 'tab.sibling',
  create(ctx) {
    const view = new SiblingView(ctx);
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element: view.element(), show: () => view.checkRunning() };
  },
};
