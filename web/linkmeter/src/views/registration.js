// Registration: the connected base unit's groups, repeaters and remote
// units edited in place (names, channels, intervals, limits in display
// units), written with WSETF after a confirmation and read back with RSETF.
// A value the conversion refuses comes back as its number on the field;
// repeater trees that loop or name missing parents are refused before.
import { h, fill } from '../ui/dom.js';
import { t, tn } from '../i18n/i18n.js';
import { showError, notify } from '../page/ui.js';
import { provenance, markResult, provenanceLine, isCurrent } from '../ui/provenance.js';
import { channelTypes } from '../device/native.js';
import {
  GROUP_FIELDS, REPEATER_FIELDS, UNIT_PARENT, unitFields, getPath, setPath, memberPath, readField, limitText,
  conversionError, errorTargets, changedPaths, pathCode, treeProblems, rangeText, durationText,
} from '../settings/regedit.js';
import { labelOf, groupTag } from '../site/names.js';
import { refusesRegistration } from '../page/surveyrules.js';
import '../i18n/servicetexts.js';

// A registration of up to this many remote units shows every group open.
const OPEN_UP_TO = 64;

const dotted = (path) => path.replace(/\[(\d+)\]/g, '.$1');

// `name`: the input's accessible name where no label wraps it (a parent).
function fieldInput(ctx, path, field, name) {
  const value = getPath(ctx.draft, dotted(path));
  const msg = h('span', { class: 'field-msg', test: 'field-msg' });
  let el;
  if (field.kind === 'bool') {
    el = h('input', { type: 'checkbox', checked: value === true });
  } else {
    const text = field.kind === 'limit' ? limitText(ctx.types, field.chType, value) : String(value ?? '');
    el = h('input', { type: 'text', value: text, size: field.kind === 'text' ? 10 : 6 });
  }
  el.dataset.path = path;
  el.dataset.test = 'reg-field';
  if (name) el.setAttribute('aria-label', name);
  const range = rangeText(field);
  const duration = field.kind === 'seconds' ? h('span', { class: 'dim duration', text: durationText(value) }) : null;
  el.addEventListener('change', () => {
    const read = readField(field, el.type === 'checkbox' ? el.checked : el.value, ctx.types);
    // The technician's words; the conversion's number (which a call to the
    // service desk can name) in the tooltip.
    msg.textContent = read.error ? t(read.error, read.params) : '';
    msg.title = read.error ? t('reg.errorCode', { code: read.code }) : '';
    el.classList.toggle('invalid', Boolean(read.error));
    if (duration) duration.textContent = read.error ? '' : durationText(read.value);
    // Nothing is written while a field holds what the unit would refuse.
    if (read.error) ctx.invalid.add(path);
    else {
      ctx.invalid.delete(path);
      ctx.draft = setPath(ctx.draft, dotted(path), read.value);
    }
    ctx.changed();
  });
  ctx.fields.set(path, { el, msg });
  return h('span', { class: 'reg-field' }, el,
    range ? h('span', { class: 'range dim', test: 'field-range', text: range }) : null, duration, msg);
}

// "ch1 Lower limit [°C]" for a channel's field, else the member's text.
function fieldLabel(ctx, f) {
  const ch = /^(ch\d)\.(.+)$/.exec(f.member);
  if (!ch) return t('reg.field.' + f.member);
  return `${ch[1]} ${t('reg.field.' + ch[2])} [${ctx.types.describe(f.chType).unit || '-'}]`;
}

function unitRow(ctx, gi, ui, unit) {
  const cells = unitFields(unit).map((f) => {
    const label = fieldLabel(ctx, f);
    return h('label', { class: 'field' }, h('span', { class: 'label', text: label }), fieldInput(ctx, memberPath(gi, 'remoteUnits', ui, f.member), f));
  });
  return h('tr', { test: 'reg-unit', dataset: { group: String(gi), num: String(unit.num) } },
    h('td', { text: labelOf(gi, 'remote', unit.num, '') }), h('td', { text: unit.model }), h('td', { class: 'mono', text: unit.serial }),
    h('td', {}, fieldInput(ctx, memberPath(gi, 'remoteUnits', ui, 'parent'), UNIT_PARENT, `${labelOf(gi, 'remote', unit.num, '')}: ${t('reg.parent')}`)),
    h('td', {}, h('div', { class: 'fields' }, cells)));
}

function groupBody(ctx, group, gi) {
  const groupFields = GROUP_FIELDS.map((f) => h('label', { class: 'field' },
    h('span', { class: 'label', text: t('reg.group.' + f.member) }), fieldInput(ctx, memberPath(gi, null, 0, f.member), f)));
  const repeaters = (group.repeaters || []).map((r, ri) => h('tr', { test: 'reg-repeater', dataset: { group: String(gi), num: String(r.num) } },
    h('td', { text: labelOf(gi, 'repeater', r.num) }), h('td', { class: 'mono', text: r.serial }),
    h('td', {}, fieldInput(ctx, memberPath(gi, 'repeaters', ri, 'parent'), REPEATER_FIELDS[0], `${labelOf(gi, 'repeater', r.num)}: ${t('reg.parent')}`))));
  return [
    h('div', { class: 'fields' }, groupFields),
    repeaters.length ? h('table', { class: 'list small' }, h('thead', {}, h('tr', {}, h('th', { text: t('reg.repeater') }),
      h('th', { text: t('units.serial') }), h('th', { text: t('reg.parent') }))), h('tbody', {}, repeaters)) : null,
    h('table', { class: 'list' }, h('thead', {}, h('tr', {}, h('th', { text: '#' }), h('th', { text: t('units.model') }),
      h('th', { text: t('units.serial') }), h('th', { text: t('reg.parent') }), h('th', { text: t('reg.values') }))),
    h('tbody', {}, (group.remoteUnits || []).map((u, ui) => unitRow(ctx, gi, ui, u))))];
}

// A group as a <details>: its inputs are made the first time it opens, so
// a large registration shows at once; the draft holds every value either
// way, and what is written does not depend on which groups were opened.
function groupCard(ctx, group, gi, open) {
  const units = (group.remoteUnits || []).length;
  const card = h('details', { class: 'card group', test: 'reg-group', open, dataset: { index: String(gi), built: 'false' } },
    h('summary', {}, h('strong', { text: `${groupTag(gi)} ${group.name || ''}` }), ' ',
      h('span', { class: 'dim', text: t('site.channelBand', { ch: group.freq, band: group.band }) + ' · ' + tn('site.units', units) })));
  const build = () => {
    if (card.dataset.built === 'true') return;
    card.dataset.built = 'true';
    card.append(...groupBody(ctx, ctx.draft.groups[gi], gi).filter(Boolean));
  };
  if (open) build();
  card.addEventListener('toggle', () => {
    if (card.open) {
      build();
      ctx.refreshMarks();
    }
  });
  ctx.cards.set(gi, { card, build });
  return card;
}

// The group index a field path ("groups[3].remoteUnits[1].parent") is in.
const groupOf = (path) => {
  const m = /^groups\[(\d+)\]/.exec(path);
  return m ? Number(m[1]) : -1;
};

// Marks the fields a refused write concerns.
function markConversion(ctx, error) {
  const conv = conversionError(error.detail);
  if (!conv) return false;
  const targets = errorTargets(conv, changedPaths(ctx.base, ctx.draft), pathCode);
  ctx.openGroups(targets);
  for (const path of targets) {
    const f = ctx.fields.get(path);
    if (!f) continue;
    f.msg.textContent = t('reg.refusedField', { what: t('regerr.' + conv.code) });
    f.msg.title = t('reg.errorCode', { code: conv.code });
    f.el.classList.add('invalid');
  }
  return true;
}

async function confirmWrite(api, count) {
  const pressed = await api.query('JsMsgbox', { title: 'WSETF', msg: tn('reg.confirm', count), btn: 2, icon: 3 });
  return pressed === 3;
}

// The view is also the editing context the fields report to: the
// registration as read (`base`), the edited copy (`draft`), the inputs by
// path (`fields`), the paths holding refused values (`invalid`) and those
// whose repeater tree cannot carry a route (`tree`). `page` is the page's
// context (store, api).
class RegistrationView {
  constructor(page) {
    this.page = page;
    this.readButton = h('button', { id: 'reg-read', text: t('site.read'), onclick: () => this.read() });
    this.cannotNote = h('p', { id: 'reg-cannot', class: 'card warning', hidden: true }, t('site.refused'), ' ',
      h('button', { class: 'primary', text: t('site.enterRoutes'), onclick: () => page.go('routes') }));
    this.writeButton = h('button', { id: 'reg-write', class: 'primary', text: t('reg.write'), disabled: true, onclick: () => this.write() });
    this.resetButton = h('button', { id: 'reg-reset', text: t('reg.reset'), disabled: true, onclick: () => this.show(this.base) });
    this.status = h('span', { id: 'reg-status', class: 'dim' });
    this.origin = h('div', { class: 'origin' });
    this.body = h('div', { id: 'reg-groups' });
    this.base = null;
    this.draft = null;
    this.fields = new Map();
    this.invalid = new Set();
    this.tree = [];
    this.types = null;
    this.shownReg = undefined;
    this.cards = new Map(); // group index → {card, build}
    this.section = null;
    this.dirty = false;
  }

  // Opens (and builds) the groups holding `paths`, so what must be fixed is
  // on show.
  openGroups(paths) {
    for (const gi of new Set(paths.map(groupOf))) {
      const c = this.cards.get(gi);
      if (!c) continue;
      c.build();
      c.card.open = true;
    }
  }

  // A group just built shows the marks its fields already have.
  refreshMarks() {
    this.checkTree();
  }

  // Only the connected unit's own registration, as last read from it, is
  // written back to it: never another unit's, never after a lost link.
  ownsUnit() {
    const s = this.page.store.get();
    return Boolean(s.unit) && s.regInfo === this.base && isCurrent(s.regProv, s);
  }

  // Marks the repeater parents that loop or name no repeater.
  checkTree() {
    for (const p of this.tree) {
      const f = this.fields.get(p.path);
      if (f && !this.invalid.has(p.path)) {
        f.msg.textContent = '';
        f.el.classList.remove('invalid');
      }
    }
    this.tree = this.draft ? treeProblems(this.draft) : [];
    this.openGroups(this.tree.map((p) => p.path));
    for (const p of this.tree) {
      const f = this.fields.get(p.path);
      if (!f) continue;
      f.msg.textContent = t(p.error, p.params);
      f.el.classList.add('invalid');
    }
  }

  changed() {
    this.checkTree();
    const n = changedPaths(this.base, this.draft).length;
    const blocked = this.invalid.size + this.tree.length;
    this.writeButton.disabled = n === 0 || blocked > 0 || !this.ownsUnit();
    this.resetButton.disabled = n === 0 && this.invalid.size === 0;
    this.status.textContent = [n ? tn('reg.changes', n) : '', this.invalid.size ? tn('reg.fixFirst', this.invalid.size) : '',
      this.tree.length ? tn('reg.treeFirst', this.tree.length) : ''].filter(Boolean).join(' · ');
    this.status.dataset.changes = String(n);
    this.status.dataset.refused = String(blocked);
  }

  show(regInfo) {
    this.base = regInfo;
    this.draft = regInfo ? structuredClone(regInfo) : null;
    this.fields = new Map();
    this.invalid = new Set();
    this.tree = [];
    this.cards = new Map();
    if (!regInfo) {
      fill(this.body, h('p', { class: 'hint', text: t('site.readHint') }));
    } else {
      try {
        this.types = channelTypes();
        const groups = regInfo.groups || [];
        const open = groups.reduce((n, g) => n + (g.remoteUnits || []).length, 0) <= OPEN_UP_TO;
        fill(this.body, groups.map((g, gi) => groupCard(this, g, gi, open)));
      } catch (e) {
        showError(e);
      }
    }
    this.changed();
  }

  async readBack() {
    const { store, api } = this.page;
    const unit = store.get().unit;
    const back = await api.command('RSETF', { comInfo: unit });
    store.set({ regInfo: back.regInfo, regProv: provenance(unit, { source: 'unit' }) });
    return back.regInfo;
  }

  async read() {
    this.readButton.disabled = true;
    try {
      await this.readBack();
    } catch (e) {
      showError(e, 'RSETF');
    } finally {
      this.readButton.disabled = !this.page.store.get().unit;
    }
  }

  // WSETF after a confirmation, then RSETF to show what the unit holds.
  async write() {
    const draft = this.draft;
    const n = changedPaths(this.base, draft).length;
    this.checkTree();
    if (!n || this.tree.length || !this.ownsUnit() || !(await confirmWrite(this.page.api, n))) return;
    this.writeButton.disabled = true;
    try {
      await this.page.api.command('WSETF', { comInfo: this.page.store.get().unit, regInfo: draft, SAVE: 1 });
      const left = changedPaths(draft, await this.readBack());
      notify(left.length ? t('reg.readBackDiffers', { list: left.join(', ') }) : tn('reg.readBackSame', n));
    } catch (e) {
      showError(e, markConversion(this, e) ? t('reg.refused') : 'WSETF');
      this.changed();
    }
  }

  // The registration shown is the unit's as read, with its provenance;
  // another unit or a lost link marks it earlier.
  render(s) {
    const cannot = refusesRegistration(s.unit);
    this.readButton.disabled = !s.unit || cannot;
    this.readButton.title = cannot ? t('site.cannotRead', { model: s.unit.model }) : '';
    this.cannotNote.hidden = !cannot;
    const prov = s.regInfo ? s.regProv : null;
    markResult(this.body, prov, s);
    fill(this.origin, prov ? provenanceLine(prov, s) : null);
    // Hidden, the editor waits: a survey publishing every result must not
    // compare the whole registration each time.
    if (this.section && this.section.hidden) {
      this.dirty = true;
      return;
    }
    this.dirty = false;
    if (s.regInfo === this.shownReg) {
      this.changed();
      return;
    }
    this.shownReg = s.regInfo;
    this.show(s.regInfo);
  }

  shown() {
    if (this.dirty) this.render(this.page.store.get());
  }

  element() {
    this.section = h('section', { id: 'view-registration' },
      h('div', { class: 'toolbar' }, this.readButton, this.writeButton, this.resetButton, this.status), this.cannotNote, this.origin, this.body);
    return this.section;
  }
}

export default {
  id: 'registration',
  title: 'tab.registration',
  create(ctx) {
    const view = new RegistrationView(ctx);
    const element = view.element();
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element, show: () => view.shown() };
  },
};
