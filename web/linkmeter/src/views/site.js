// Site: the registration the surveys work from, as a tree — groups, the
// repeaters hanging from the base unit or from each other, and the remote
// units — from which surveys start. The registration is the unit's own, the
// sibling application's or the routes entered by hand, and says which.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import { surveyRegistration } from '../state.js';
import { showError, notify } from '../ui.js';
import { adviceKey, siblingFailureText } from '../errors.js';
import { provenance, markResult } from '../provenance.js';
import { resultLine } from './routeview.js';
import { labelOf, groupTag } from '../names.js';
import { surveyBlock, routeSources, refusesRegistration } from '../surveyrules.js';
import '../servicetexts.js';

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
      h('button', { id: 'site-refused-manual', text: t('site.enterRoutes'), onclick: () => ctx.go('routes') }));
    this.prov = h('div', { id: 'site-prov' });
    this.body = h('div', { id: 'site-tree' });
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

  remoteNode(gi, u, blocked) {
    const channels = ['ch1', 'ch2', 'ch3', 'ch4'].map((k) => [k, this.channelText(u[k])]).filter(([, text]) => text);
    return h('li', { class: 'node remote', test: 'site-unit', dataset: { group: String(gi), num: String(u.num) } },
      h('span', { class: 'badge', text: u.model }),
      h('strong', { test: 'unit-label', text: labelOf(gi, 'remote', u.num, u.name) }),
      h('span', { class: 'mono dim', text: ` ${u.serial} · #${u.num}` }),
      channels.length ? h('span', { class: 'dim', text: ' · ' + channels.map(([k, text]) => `${k}: ${text}`).join('; ') }) : null,
      this.surveyButton('survey-unit', { group: gi, kind: 'remote', num: u.num }, blocked));
  }

  // The subtree below `parent` (0 = the base unit); `seen` stops loops in a
  // broken registration.
  children(gi, group, parent, seen, blocked) {
    const items = [];
    for (const r of group.repeaters || []) {
      if (r.parent !== parent || seen.has(r.num)) continue;
      seen.add(r.num);
      items.push(h('li', { class: 'node repeater', test: 'site-repeater', dataset: { group: String(gi), num: String(r.num) } },
        h('span', { class: 'badge rep', test: 'unit-label', text: labelOf(gi, 'repeater', r.num) }),
        h('span', { class: 'mono dim', text: ` ${r.serial}` }),
        this.surveyButton('survey-repeater', { group: gi, kind: 'repeater', num: r.num }, blocked),
        this.children(gi, group, r.num, seen, blocked)));
    }
    for (const u of group.remoteUnits || []) if (u.parent === parent) items.push(this.remoteNode(gi, u, blocked));
    return items.length ? h('ul', { class: 'tree' }, items) : null;
  }

  // Units whose parent is no registered repeater.
  orphans(gi, group, blocked) {
    const nums = new Set((group.repeaters || []).map((r) => r.num));
    const lost = (group.remoteUnits || []).filter((u) => u.parent !== 0 && !nums.has(u.parent));
    if (!lost.length) return null;
    return h('div', { class: 'warning', test: 'site-orphans' }, t('site.orphans'), h('ul', { class: 'tree' }, lost.map((u) => this.remoteNode(gi, u, blocked))));
  }

  groupCard(group, gi, prov, blocked) {
    return h('div', { class: 'card group', test: 'group', dataset: { index: String(gi) } },
      h('h3', {}, `${groupTag(gi)} ${group.name || t('site.group')} `, h('span', { class: 'dim', text: t('site.channelBand', { ch: group.freq, band: group.band }) })),
      h('div', { class: 'node base' }, h('span', { class: 'badge base', text: prov ? prov.base.model : '' }), h('strong', { text: prov ? prov.base.name : '' })),
      this.children(gi, group, 0, new Set(), blocked),
      this.orphans(gi, group, blocked));
  }

  renderControls(s) {
    const sources = routeSources(s);
    for (const option of this.from.options) option.disabled = !sources.find((x) => x.source === option.value).available;
    this.from.value = s.routesFrom;
    this.read.disabled = !s.unit || s.busy > 0;
    this.compare.disabled = !s.siblingReg;
    this.surveyAll.disabled = surveyBlock(s) !== '' || s.busy > 0;
    const refused = s.unit && (refusesRegistration(s.unit) || this.refused === String(s.unit.serial));
    this.refusedBox.hidden = !refused;
  }

  render(s) {
    this.renderControls(s);
    const reg = surveyRegistration(s);
    this.body.dataset.source = reg && reg.prov ? reg.prov.source : '';
    if (!reg || !reg.regInfo) {
      fill(this.prov);
      markResult(this.body, null, s);
      fill(this.body, h('p', { class: 'hint', text: s.unit ? t('site.readHint') : t('units.notConnected') }));
      return;
    }
    const earlier = this.failed !== null && this.failed.regInfo === reg.regInfo;
    fill(this.prov, reg.prov ? resultLine(reg.prov, s, earlier) : null);
    markResult(this.body, reg.prov, s, { earlier });
    const blocked = surveyBlock(s) !== '';
    const groups = reg.regInfo.groups || [];
    fill(this.body, groups.length ? groups.map((g, i) => this.groupCard(g, i, reg.prov, blocked)) : h('p', { class: 'hint', text: t('site.empty') }));
  }

  element() {
    return h('section', { id: 'view-site' },
      h('div', { class: 'toolbar' }, this.read, this.sibling, h('label', { for: 'site-routes-from', text: t('site.routesFrom') }), this.from, this.compare, this.surveyAll),
      this.refusedBox, this.prov, this.body);
  }
}

export default {
  id: 'site',
  title: 'tab.site',
  create(ctx) {
    const view = new SiteView(ctx);
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element: view.element() };
  },
};
