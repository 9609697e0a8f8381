// Site: the registration the surveys work from, as a tree — groups, the
// repeaters hanging from the base unit or from each other, and the remote
// units — from which surveys start. The registration is the unit's own, the
// sibling application's or the routes entered by hand, and says which.
// The last site survey's level is shown on every link (each drawn once: a
// unit's link is the one into it) and the battery on every unit; a chosen
// unit's route is highlighted. Groups collapse (a large site starts
// collapsed and builds a group when it is opened) and a filter keeps units
// by text or only the problems: silent units, weak links, low batteries.
import { h, fill } from '../ui/dom.js';
import { t, tn } from '../i18n/i18n.js';
import { surveyRegistration } from '../page/state.js';
import { showError, notify } from '../page/ui.js';
import { adviceKey, siblingFailureText } from '../device/errors.js';
import { provenance, markResult } from '../ui/provenance.js';
import { resultLine } from '../ui/routeview.js';
import { legend } from '../ui/legend.js';
import { labelOf, groupTag } from '../site/names.js';
import { currentThresholds } from '../site/thresholds.js';
import { overlaySurvey, surveyOverlay, linkInto, nodeKey, routeNodes, isProblem, isSilent, matchesText } from '../site/topology.js';
import { surveyBlock, routeSources, refusesRegistration } from '../page/surveyrules.js';
import '../i18n/servicetexts.js';

// A site with up to this many remote units shows every group open.
const OPEN_UP_TO = 64;

class SiteView {
  constructor(ctx) {
    this.ctx = ctx;
    this.store = ctx.store;
    this.api = ctx.api;
    this.refused = null; // serial of a base unit whose RSETF was refused
    this.failed = null; // the registration shown when a read of it failed
    this.read = h('button', { id: 'site-read', class: 'primary', text: t('site.read'), onclick: () => this.readRegistration() });
    this.sibling = h('button', { id: 'site-import', text: t('site.import'), onclick: () => this.importSibling() });
    this.from = h('select', { id: 'site-routes-from', onchange: () => this.choose(this.from.value) },
      ['unit', 'sibling', 'manual'].map((v) => h('option', { value: v, text: t('site.from.' + v) })));
    this.compare = h('button', { id: 'site-compare', text: t('site.compare'), onclick: () => ctx.go('sibling') });
    this.surveyAll = h('button', { id: 'site-survey-all', text: t('site.surveyAll'), onclick: () => ctx.go('sitesurvey', { start: true }) });
    this.refusedBox = h('div', { id: 'site-refused', class: 'card warning', hidden: true },
      h('p', { text: t('site.refused') }),
      h('button', { id: 'site-refused-sibling', text: t('site.import'), onclick: () => this.importSibling() }),
      this.refusedManual = h('button', { id: 'site-refused-manual', text: t('site.enterRoutes'), onclick: () => ctx.go('routes') }));
    this.prov = h('div', { id: 'site-prov' });
    this.body = h('div', { id: 'site-tree' });
    this.filter = h('input', { id: 'site-filter', type: 'search', size: 16, placeholder: t('site.filter'), oninput: () => this.redraw() });
    this.problems = h('input', { id: 'site-problems', type: 'checkbox', onchange: () => this.redraw() });
    this.section = null;
    this.dirty = false;
    this.selected = null; // nodeKey of the unit whose route is highlighted
    this.open = new Map(); // group index → open, for the registration shown
    this.openFor = null;
  }

  // Rebuilds the tree now if it is on show, else when it is next shown.
  redraw() {
    if (this.section && this.section.hidden) this.dirty = true;
    else this.render(this.store.get());
  }

  shown() {
    if (this.dirty) this.render(this.store.get());
  }

  // The sibling's file names no base unit: chosen for the connected one, it
  // becomes that unit's.
  choose(from) {
    const s = this.store.get();
    const sib = s.siblingReg;
    if (from === 'sibling' && sib && s.unit && !sib.prov.base.serial) {
      this.store.set({ routesFrom: from, siblingReg: { regInfo: sib.regInfo, prov: provenance(s.unit, { source: 'sibling', time: sib.prov.time }) } });
    } else {
      this.store.set({ routesFrom: from });
    }
  }

  async readRegistration() {
    const unit = this.store.get().unit;
    if (!unit) return;
    this.read.disabled = true;
    try {
      const result = await this.api.command('RSETF', { comInfo: unit });
      if (!result.regInfo) throw new this.api.DeviceError({ pageText: t('site.noRegistration') });
      this.failed = null;
      this.store.set({ regInfo: result.regInfo, regProv: provenance(unit, { source: 'unit' }), routesFrom: 'unit' });
    } catch (e) {
      this.failed = surveyRegistration(this.store.get());
      if (e.detail && adviceKey(e.detail) === 'advice.unsupported') this.refused = String(unit.serial);
      showError(e, t('site.read'));
    } finally {
      this.render(this.store.get());
    }
  }

  // The registration kept by the sibling application, kept apart from the
  // unit's: it is used once chosen, or at once when the unit has none.
  importSibling() {
    const s = this.store.get();
    try {
      const settings = globalThis.app.getSettingsVlb1Tool();
      const reg = settings && settings.RSETF;
      if (!reg || !Array.isArray(reg.groups)) throw new this.api.DeviceError({ pageText: t('site.noSibling') });
      const siblingReg = { regInfo: reg, prov: provenance(s.unit || {}, { source: 'sibling' }) };
      const own = s.regInfo && s.regProv && s.unit && s.regProv.base.serial === String(s.unit.serial);
      this.store.set(own ? { siblingReg } : { siblingReg, routesFrom: 'sibling' });
      notify(own ? t('site.siblingLoaded') : t('site.siblingInUse'));
    } catch (e) {
      const error = this.api.nativeError(e);
      const why = siblingFailureText(error.detail && error.detail.code1);
      showError(why ? new this.api.DeviceError({ ...error.detail, pageText: why }) : error, t('site.import'));
    }
  }

  channelText(ch) {
    if (!ch || typeof ch.chType !== 'number') return null;
    const limits = [];
    if (ch.enableLowerLimit) limits.push('≥ ' + this.ctx.host.formatChannel(ch.chType, ch.lowerLimit));
    if (ch.enableUpperLimit) limits.push('≤ ' + this.ctx.host.formatChannel(ch.chType, ch.upperLimit));
    const unit = this.ctx.host.channelUnit(ch.chType);
    return [unit ? `[${unit}]` : '', limits.length ? limits.join(', ') : t('site.noLimits')].filter(Boolean).join(' ');
  }

  surveyButton(test, target, blocked) {
    return h('button', { class: 'small', test, disabled: blocked, text: t('site.survey'),
      onclick: () => { this.store.set({ surveyTarget: target }); this.ctx.go('survey'); } });
  }

  // The level of the link into a unit and the unit's battery, from the
  // survey on show.
  readings(gi, kind, unit) {
    const link = this.overlay.links.get(linkInto(gi, kind, unit));
    const bat = this.overlay.units.get(nodeKey(gi, kind, unit.num));
    return [
      isSilent(this.overlay, gi, kind, unit) ? h('span', { class: 'silent-mark', test: 'site-silent', title: t('site.silentTitle'), text: `⊘ ${t('verdict.silent')}` }) : null,
      link ? h('span', { class: 'link-level q-' + link.cls, test: 'site-link', dataset: { level: String(link.level), class: link.cls }, text: `▲ ${link.level}` }) : null,
      bat ? h('span', { class: 'unit-battery b-' + bat.cls, test: 'site-battery', dataset: { battery: String(bat.battery), class: bat.cls }, text: `${t('site.battery')} ${bat.battery}%` }) : null,
    ];
  }

  // The attributes every unit's node carries: its readings and whether it
  // is on the chosen route.
  nodeData(gi, kind, unit) {
    const key = nodeKey(gi, kind, unit.num);
    const link = this.overlay.links.get(linkInto(gi, kind, unit));
    const bat = this.overlay.units.get(key);
    const data = { group: String(gi), num: String(unit.num), key };
    if (link) data.level = String(link.level);
    if (bat) data.battery = String(bat.battery);
    if (isSilent(this.overlay, gi, kind, unit)) data.silent = 'true';
    if (this.route.has(key)) data.onRoute = 'true';
    return data;
  }

  nodeClass(base, gi, kind, unit) {
    const key = nodeKey(gi, kind, unit.num);
    return [base, this.route.has(key) ? 'on-route' : '', this.selected === key ? 'selected' : '',
      isProblem(this.overlay, gi, kind, unit) ? 'problem' : '', isSilent(this.overlay, gi, kind, unit) ? 'silent' : ''].filter(Boolean).join(' ');
  }

  select(key) {
    this.selected = this.selected === key ? null : key;
    this.redraw();
  }

  labelButton(gi, kind, unit, label) {
    const key = nodeKey(gi, kind, unit.num);
    return h('button', { class: 'unit-pick', test: 'unit-label', title: t('site.showRoute'), text: label, onclick: () => this.select(key) });
  }

  // Whether the filters keep a unit (its subtree kept or not).
  keeps(gi, kind, unit, label) {
    if (this.problems.checked && !isProblem(this.overlay, gi, kind, unit)) return false;
    return matchesText(this.filter.value, label, unit.serial);
  }

  remoteNode(gi, u, blocked) {
    const label = labelOf(gi, 'remote', u.num, u.name);
    if (!this.keeps(gi, 'remote', u, label)) return null;
    const channels = ['ch1', 'ch2', 'ch3', 'ch4'].map((k) => [k, this.channelText(u[k])]).filter(([, text]) => text);
    return h('li', { class: this.nodeClass('node remote', gi, 'remote', u), test: 'site-unit', dataset: this.nodeData(gi, 'remote', u) },
      this.readings(gi, 'remote', u),
      h('span', { class: 'badge', text: u.model }),
      this.labelButton(gi, 'remote', u, label),
      h('span', { class: 'mono dim', text: ` ${u.serial} · #${u.num}` }),
      channels.length ? h('span', { class: 'dim', text: ' · ' + channels.map(([k, text]) => `${k}: ${text}`).join('; ') }) : null,
      this.surveyButton('survey-unit', { group: gi, kind: 'remote', num: u.num }, blocked));
  }

  // The subtree below `parent` (0 = the base unit); `seen` stops loops in a
  // broken registration. A repeater the filters leave out stays when a unit
  // below it is kept.
  children(gi, group, parent, seen, blocked) {
    const items = [];
    for (const r of group.repeaters || []) {
      if (r.parent !== parent || seen.has(r.num)) continue;
      seen.add(r.num);
      const label = labelOf(gi, 'repeater', r.num);
      const below = this.children(gi, group, r.num, seen, blocked);
      if (!below && !this.keeps(gi, 'repeater', r, label)) continue;
      items.push(h('li', { class: this.nodeClass('node repeater', gi, 'repeater', r), test: 'site-repeater', dataset: this.nodeData(gi, 'repeater', r) },
        this.readings(gi, 'repeater', r),
        h('span', { class: 'badge rep' }, this.labelButton(gi, 'repeater', r, label)),
        h('span', { class: 'mono dim', text: ` ${r.serial}` }),
        this.surveyButton('survey-repeater', { group: gi, kind: 'repeater', num: r.num }, blocked),
        below));
    }
    for (const u of group.remoteUnits || []) {
      if (u.parent === parent) items.push(this.remoteNode(gi, u, blocked));
    }
    const kept = items.filter(Boolean);
    return kept.length ? h('ul', { class: 'tree' }, kept) : null;
  }

  // Units whose parent is no registered repeater.
  orphans(gi, group, blocked) {
    const nums = new Set((group.repeaters || []).map((r) => r.num));
    const lost = (group.remoteUnits || []).filter((u) => u.parent !== 0 && !nums.has(u.parent)).map((u) => this.remoteNode(gi, u, blocked)).filter(Boolean);
    if (!lost.length) return null;
    return h('div', { class: 'warning', test: 'site-orphans' }, t('site.orphans'), h('ul', { class: 'tree' }, lost));
  }

  filtering() {
    return this.problems.checked || this.filter.value.trim() !== '';
  }

  // A group's card: a <details> whose body is built only while open.
  groupCard(group, gi, prov, blocked) {
    const open = this.filtering() || this.open.get(gi) === true;
    const units = (group.remoteUnits || []).length;
    const summary = h('summary', {}, h('strong', { text: `${groupTag(gi)} ${group.name || t('site.group')} ` }),
      h('span', { class: 'dim', text: t('site.channelBand', { ch: group.freq, band: group.band }) + ' · ' + tn('site.units', units) }));
    const card = h('details', { class: 'card group', test: 'group', open, dataset: { index: String(gi), units: String(units) } }, summary);
    const body = () => {
      const tree = this.children(gi, group, 0, new Set(), blocked);
      const lost = this.orphans(gi, group, blocked);
      return [h('div', { class: 'node base' }, h('span', { class: 'badge base', text: prov ? prov.base.model : '' }), h('strong', { text: prov ? prov.base.name : '' })),
        tree, lost, !tree && !lost ? h('p', { class: 'hint', test: 'group-empty', text: t('site.noMatch') }) : null];
    };
    if (open) card.append(...body().filter(Boolean));
    card.addEventListener('toggle', () => {
      if (this.filtering()) return;
      this.open.set(gi, card.open);
      if (card.open && card.children.length === 1) card.append(...body().filter(Boolean));
    });
    return card;
  }

  renderControls(s) {
    const sources = routeSources(s);
    for (const option of this.from.options) option.disabled = !sources.find((x) => x.source === option.value).available;
    this.from.value = s.routesFrom;
    this.compare.disabled = !s.siblingReg;
    this.surveyAll.disabled = surveyBlock(s) !== '' || s.busy > 0;
    // A model that cannot give its registration: reading it is not offered,
    // and the way that works (routes by hand) is the first choice.
    const cannot = Boolean(s.unit) && refusesRegistration(s.unit);
    const refused = s.unit && (cannot || this.refused === String(s.unit.serial));
    this.read.disabled = !s.unit || s.busy > 0 || cannot;
    this.read.title = cannot ? t('site.cannotRead', { model: s.unit.model }) : '';
    this.read.classList.toggle('primary', !refused);
    this.refusedManual.classList.toggle('primary', Boolean(refused));
    this.refusedBox.hidden = !refused;
  }

  render(s) {
    this.renderControls(s);
    this.dirty = false;
    const reg = surveyRegistration(s);
    this.body.dataset.source = reg && reg.prov ? reg.prov.source : '';
    if (!reg || !reg.regInfo) {
      fill(this.prov);
      markResult(this.body, null, s);
      fill(this.body, h('p', { class: 'hint', text: s.unit ? t('site.readHint') : t('units.notConnected') }));
      this.built = null;
      return;
    }
    const earlier = this.failed !== null && this.failed.regInfo === reg.regInfo;
    fill(this.prov, reg.prov ? resultLine(reg.prov, s, earlier) : null);
    markResult(this.body, reg.prov, s, { earlier });
    // The tree itself is built only while on show: a survey publishing
    // every result must not rebuild a hidden tree each time.
    if (this.section && this.section.hidden) {
      this.dirty = true;
      return;
    }
    const blocked = surveyBlock(s) !== '';
    const groups = reg.regInfo.groups || [];
    // Nothing the tree shows changed (another view's busy count, say).
    const key = [reg.regInfo, reg.prov, overlaySurvey(s, reg.regInfo), s.thresholds, blocked, this.selected, this.filter.value, this.problems.checked];
    if (this.built && key.every((x, i) => x === this.built[i])) return;
    this.built = key;
    this.prepare(reg.regInfo, s);
    fill(this.body, groups.length ? groups.map((g, i) => this.groupCard(g, i, reg.prov, blocked)) : h('p', { class: 'hint', text: t('site.empty') }));
  }

  // What a tree build needs: the survey readings, the chosen route, and
  // which groups are open (a small site all, a large one none at first).
  prepare(regInfo, s) {
    const survey = overlaySurvey(s, regInfo);
    this.overlay = surveyOverlay(survey, currentThresholds(s));
    this.body.dataset.survey = survey ? String(survey.started) : '';
    const [g, kind, num] = (this.selected || '').split(':');
    this.route = new Set(this.selected ? routeNodes(regInfo, { group: Number(g), kind, num: Number(num) }) : []);
    this.body.dataset.selected = this.selected || '';
    if (this.openFor !== regInfo) {
      const groups = regInfo.groups || [];
      const total = groups.reduce((n, x) => n + (x.remoteUnits || []).length, 0);
      this.open = new Map(groups.map((x, i) => [i, total <= OPEN_UP_TO]));
      this.openFor = regInfo;
    }
  }

  element() {
    this.section = h('section', { id: 'view-site' },
      h('div', { class: 'toolbar' }, this.read, this.sibling, h('label', { for: 'site-routes-from', text: t('site.routesFrom') }), this.from, this.compare, this.surveyAll),
      this.refusedBox, this.prov,
      h('div', { class: 'toolbar' }, h('label', { for: 'site-filter', text: t('site.filterLabel') }), this.filter,
        h('label', {}, this.problems, ' ', t('site.problemsOnly'))),
      h('div', { id: 'site-legend', class: 'route-legend' },
        legend('', ['good', 'fair', 'weak', 'bad'].map((v) => ({ key: v, shape: 'chip', text: t('verdict.' + v) }))),
        h('p', { class: 'legend dim', text: t('site.legend') })),
      this.body);
    return this.section;
  }
}

export default {
  id: 'site',
  title: 'tab.site',
  create(ctx) {
    const view = new SiteView(ctx);
    const element = view.element();
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element, show: () => view.shown() };
  },
};
