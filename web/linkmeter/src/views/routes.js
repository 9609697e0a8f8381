// Routes entered by hand for the connected base unit, when its own
// registration cannot be read: a list of routes (edit, delete, survey), a
// form for one route, taking the routes from the sibling application's
// settings, and the choice to survey from these routes.
import { h, fill } from '../ui/dom.js';
import { t, tn } from '../i18n/i18n.js';
import { notify } from '../page/ui.js';
import { provenance, markResult, provenanceLine } from '../ui/provenance.js';
import {
  checkRoute, manualRegistration, routesFromRegistration, loadRoutes, saveRoutes, routeTarget, modelOfSerial,
} from '../site/manualroutes.js';
import '../i18n/servicetexts.js';

const FIELDS = ['freq', 'band', 'relays', 'num', 'serial', 'name'];


const relayText = (relays) => (relays.length ? relays.map((r) => 'R' + r).join(' → ') : t('routes.direct'));

class RoutesView {
  constructor(ctx) {
    this.ctx = ctx;
    this.storage = ctx.storage || null; // the page's storage (localStorage)
    this.inputs = Object.fromEntries(FIELDS.map((f) => [f, h('input', { id: 'route-' + f, type: 'text', autocomplete: 'off', size: f === 'relays' ? 16 : f === 'serial' || f === 'name' ? 10 : 4 })]));
    this.msgs = Object.fromEntries(FIELDS.map((f) => [f, h('span', { class: 'field-msg', test: 'field-msg' })]));
    this.model = h('span', { id: 'route-model', class: 'dim' });
    this.inputs.serial.addEventListener('input', () => { this.model.textContent = modelOfSerial(this.inputs.serial.value) || ''; });
    this.save = h('button', { id: 'route-save', class: 'primary', text: t('routes.save'), onclick: () => this.saveEntry() });
    this.cancelEdit = h('button', { id: 'route-cancel-edit', text: t('common.cancel'), hidden: true, onclick: () => this.edit(null) });
    this.fromSibling = h('button', { id: 'routes-from-sibling', text: t('routes.fromSibling'), onclick: () => this.takeSibling() });
    this.use = h('button', { id: 'routes-use', text: t('routes.use'), onclick: () => this.choose('manual') });
    this.stop = h('button', { id: 'routes-stop', text: t('routes.stop'), onclick: () => this.choose('unit') });
    this.state = h('p', { id: 'routes-from', class: 'dim' });
    this.origin = h('div', { class: 'origin' });
    this.list = h('tbody', { id: 'routes-list' });
    this.table = h('table', { class: 'list', id: 'routes-table' }, h('thead', {}, h('tr', {},
      ['routes.freq', 'routes.band', 'routes.relays', 'routes.num', 'units.serial', 'units.model', 'units.name', ''].map((k) => h('th', { text: k ? t(k) : '' })))), this.list);
    this.routes = [];
    this.editing = -1;
    this.base = null; // serial of the base unit the routes belong to
    this.time = null;
  }

  // Another base unit: its own kept routes.
  forUnit(unit) {
    const serial = unit ? String(unit.serial) : null;
    if (serial === this.base) return;
    this.base = serial;
    const kept = serial && this.storage ? loadRoutes(this.storage, serial) : { routes: [], time: null };
    this.routes = kept.routes;
    this.time = kept.time;
    this.edit(null);
    this.publish(false);
  }

  // The registration these routes make, in the store for surveys.
  publish(changed = true) {
    const { store } = this.ctx;
    const unit = store.get().unit;
    if (changed) {
      this.time = Date.now();
      if (this.storage && this.base) saveRoutes(this.storage, this.base, this.routes, this.time);
    }
    const manualReg = unit && this.routes.length
      ? { regInfo: manualRegistration(unit.serial, this.routes), prov: provenance(unit, { source: 'manual', time: this.time || Date.now() }) }
      : null;
    store.set({ manualReg });
  }

  entry() {
    return Object.fromEntries(FIELDS.map((f) => [f, this.inputs[f].value]));
  }

  saveEntry() {
    const others = this.routes.filter((r, i) => i !== this.editing);
    const checked = checkRoute(this.entry(), others);
    for (const f of FIELDS) {
      const p = checked.problems && checked.problems[f];
      this.msgs[f].textContent = p ? t(p[0], this.params(p[1])) : '';
      this.inputs[f].classList.toggle('invalid', Boolean(p));
    }
    if (!checked.route) return;
    if (this.editing >= 0) this.routes[this.editing] = checked.route;
    else this.routes.push(checked.route);
    this.edit(null);
    this.publish();
  }

  params(p) {
    if (!p) return p;
    const name = (x) => (x === 'base' ? t('routes.base') : x);
    return { ...p, p: name(p.p), q: name(p.q) };
  }

  edit(index) {
    this.editing = index === null ? -1 : index;
    const r = index === null ? null : this.routes[index];
    for (const f of FIELDS) {
      this.inputs[f].value = r ? (f === 'relays' ? r.relays.join(' ') : String(r[f])) : '';
      this.msgs[f].textContent = '';
      this.inputs[f].classList.remove('invalid');
    }
    this.model.textContent = r ? modelOfSerial(r.serial) || '' : '';
    this.save.textContent = t(r ? 'routes.update' : 'routes.save');
    this.cancelEdit.hidden = !r;
  }

  remove(index) {
    this.routes.splice(index, 1);
    this.edit(null);
    this.publish();
  }

  // The sibling's routes added to these (the ones that contradict them skipped).
  takeSibling() {
    const sib = this.ctx.store.get().siblingReg;
    if (!sib || !sib.regInfo) {
      notify(t('routes.noSibling'));
      return;
    }
    const { routes, skipped } = routesFromRegistration(sib.regInfo);
    let added = 0;
    for (const r of routes) {
      const checked = checkRoute({ ...r, relays: r.relays.join(' ') }, this.routes);
      if (checked.route) {
        this.routes.push(checked.route);
        added++;
      }
    }
    notify(tn('routes.taken', added, { skipped: skipped + routes.length - added }));
    this.publish();
  }

  choose(from) {
    this.ctx.store.set({ routesFrom: from });
  }

  survey(route) {
    const { store } = this.ctx;
    const reg = store.get().manualReg;
    if (!reg) return;
    store.set({ routesFrom: 'manual', surveyTarget: routeTarget(reg.regInfo, route) });
    this.ctx.go('survey');
  }

  row(r, i) {
    return h('tr', { test: 'manual-route', dataset: { serial: r.serial, num: String(r.num), freq: String(r.freq) } },
      h('td', { text: String(r.freq) }), h('td', { text: String(r.band) }), h('td', { text: relayText(r.relays) }),
      h('td', { text: String(r.num) }), h('td', { class: 'mono', text: r.serial }), h('td', { text: modelOfSerial(r.serial) || '' }),
      h('td', { text: r.name }),
      h('td', {}, h('button', { test: 'route-survey', text: t('site.survey'), onclick: () => this.survey(r) }),
        h('button', { test: 'route-edit', text: t('routes.edit'), onclick: () => this.edit(i) }),
        h('button', { test: 'route-delete', text: t('routes.delete'), onclick: () => this.remove(i) })));
  }

  render(s) {
    this.forUnit(s.unit);
    fill(this.list, this.routes.map((r, i) => this.row(r, i)));
    this.table.hidden = this.routes.length === 0;
    const prov = s.manualReg ? s.manualReg.prov : null;
    markResult(this.table, prov, s);
    fill(this.origin, prov ? provenanceLine(prov, s) : null);
    const using = s.routesFrom === 'manual' && Boolean(s.manualReg);
    this.state.dataset.from = s.routesFrom;
    this.state.textContent = !s.unit ? t('units.notConnected') : using ? t('routes.inUse') : t('routes.notInUse');
    this.use.disabled = !s.manualReg || using;
    this.stop.hidden = !using;
    this.save.disabled = !s.unit;
    this.fromSibling.disabled = !s.unit;
  }

  element() {
    const field = (f, label, extra) => h('label', { class: 'field' }, h('span', { class: 'label', text: t(label) }), this.inputs[f], extra, this.msgs[f]);
    return h('section', { id: 'view-routes' },
      h('p', { class: 'hint', text: t('routes.hint') }),
      h('div', { class: 'toolbar' }, this.use, this.stop, this.fromSibling, this.state),
      this.origin, this.table,
      h('div', { class: 'card', id: 'route-form' },
        h('div', { class: 'fields' },
          field('freq', 'routes.freq', h('span', { class: 'range dim', text: '0–255' })),
          field('band', 'routes.band', h('span', { class: 'range dim', text: '0–6' })),
          field('relays', 'routes.relays', h('span', { class: 'dim', text: t('routes.relaysHint') })),
          field('num', 'routes.num', h('span', { class: 'range dim', text: '1–250' })),
          field('serial', 'units.serial', this.model),
          field('name', 'units.name')),
        h('div', { class: 'toolbar' }, this.save, this.cancelEdit)));
  }
}

export default {
  id: 'routes',
  title: 'tab.routes',
  create(ctx) {
    const view = new RoutesView(ctx);
    const element = view.element();
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element };
  },
};
