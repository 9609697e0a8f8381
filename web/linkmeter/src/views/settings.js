// Settings: one form per settings block of the connected base unit, built
// from the catalogue's write checks; read → edit → write (only the changed
// keys, checked before sending) → read back, showing what changed. The
// clock block compares the unit's clock with this computer's and sets it.
import rules from 'catalogue-rules';
import { h, fill, timeText } from '../dom.js';
import { t } from '../i18n.js';
import * as api from '../api.js';
import { store } from '../state.js';
import { showError, notify } from '../ui.js';
import { checkWrite, changedValues, compareReadBack, fieldKind, valueText, parseText } from '../forms.js';
import '../servicetexts.js';

export const BLOCKS = [
  { id: 'unit', read: 'RUINF', write: 'WUINF' },
  { id: 'network', read: 'RNETP', write: 'WNETP' },
  { id: 'servers', read: 'RNSRV', write: 'WNSRV' },
  { id: 'proxy', read: 'RPRXY', write: 'WPRXY' },
  { id: 'clock', read: 'RDTIM', write: 'WDTIM', skip: ['TimeOffset'] },
  { id: 'wlan', read: 'RWLAN', write: 'WWLAN' },
  { id: 'current', read: 'RCURP', write: 'WCURP' },
  { id: 'recorded', read: 'RSUCP', write: 'WSUCP' },
  { id: 'encoding', read: 'RENCD', write: 'WENCD' },
  { id: 'warnings', read: 'RWARP', write: 'WWARP' },
];

function input(block, arg) {
  const id = `set-${block.id}-${arg.key}`;
  const kind = fieldKind(arg);
  if (kind === 'switch') return h('input', { id, type: 'checkbox', dataset: { key: arg.key } });
  if (kind === 'members') {
    return h('span', { id, class: 'members', dataset: { key: arg.key, kind } }, arg.members.map((m) =>
      h('input', { type: 'text', size: 3, title: `${m.name} ${m.lo}..${m.hi}`, placeholder: m.name, dataset: { member: m.name } })));
  }
  if (kind === 'choice') return h('select', { id, dataset: { key: arg.key } }, h('option', { value: '' }), arg.check.words.map((w) => h('option', { value: w, text: w })));
  const secret = /PW$|PSK$|WEP$/.test(arg.key);
  return h('input', { id, type: secret ? 'password' : 'text', autocomplete: 'off', size: kind === 'number' ? 8 : 24, dataset: { key: arg.key } });
}

// A form value: what the field holds now, in the key's reader kind.
function formValue(arg, el) {
  if (el.dataset.kind === 'members') {
    const inputs = [...el.querySelectorAll('input')];
    if (inputs.every((i) => i.value.trim() === '')) return undefined;
    return Object.fromEntries(inputs.map((i) => [i.dataset.member, parseText({ reader: 'integer' }, i.value)]));
  }
  if (el.type === 'checkbox') return el.checked ? 1 : 0;
  if (el.value === '' && arg.reader !== 'text') return undefined;
  return parseText(arg, el.value);
}

function setFormValue(arg, el, value) {
  if (el.dataset.kind === 'members') {
    for (const i of el.querySelectorAll('input')) i.value = value && value[i.dataset.member] !== undefined ? String(value[i.dataset.member]) : '';
  } else if (el.type === 'checkbox') el.checked = value === 1;
  else el.value = valueText(arg, value);
}

// One settings block: its form, read and write buttons, and the read-back
// table of the last write.
class SettingsBlock {
  constructor(block, writeRow) {
    this.block = block;
    this.writeRow = writeRow;
    const args = writeRow.args.filter((a) => fieldKind(a) !== 'none' && !(block.skip || []).includes(a.key));
    this.args = args;
    this.fields = new Map(args.map((a) => [a.key, { arg: a, el: input(block, a), msg: h('span', { class: 'field-msg', test: 'field-msg' }) }]));
    this.readButton = h('button', { id: `set-${block.id}-read`, text: t('settings.read'), onclick: () => this.read() });
    this.writeButton = h('button', { id: `set-${block.id}-write`, class: 'primary', text: t('settings.write'), disabled: true, onclick: () => this.write() });
    this.result = h('div', { id: `set-${block.id}-result`, class: 'readback' });
    this.clock = block.id === 'clock' ? clockLine() : null;
    if (this.clock) this.clock.onSet = () => this.read();
    this.last = null; // the block as last read
    this.unit = null;
  }

  // Another unit (or none): what was read from the last one is not shown
  // or written to this one.
  forUnit(unit) {
    this.readButton.disabled = !unit;
    if (unit === this.unit) return;
    this.unit = unit;
    this.last = null;
    this.writeButton.disabled = true;
    for (const f of this.fields.values()) setFormValue(f.arg, f.el, undefined);
    fill(this.result);
    if (this.clock) this.clock.clear();
  }

  async read() {
    this.readButton.disabled = true;
    try {
      this.last = await api.command(this.block.read, { comInfo: store.get().unit });
      for (const f of this.fields.values()) setFormValue(f.arg, f.el, this.last[f.arg.key]);
      this.writeButton.disabled = false;
      if (this.clock) this.clock.update(this.last);
      return this.last;
    } catch (e) {
      showError(e, this.block.read);
      return null;
    } finally {
      this.readButton.disabled = !store.get().unit;
    }
  }

  // The changed keys that pass the catalogue's checks, or null after
  // marking the fields that do not.
  checkedChanges() {
    for (const f of this.fields.values()) {
      f.msg.textContent = '';
      f.el.classList.remove('invalid');
    }
    const edited = {};
    for (const [key, f] of this.fields) edited[key] = formValue(f.arg, f.el);
    const changed = changedValues(this.last, edited);
    const problems = Object.entries(checkWrite({ args: this.args }, changed));
    for (const [key, p] of problems) {
      const f = this.fields.get(key);
      f.msg.textContent = t(...p.rule);
      f.el.classList.add('invalid');
    }
    return problems.length ? null : changed;
  }

  async write() {
    const changed = this.checkedChanges();
    if (!changed) return;
    if (!Object.keys(changed).length) {
      notify(t('settings.nothing'));
      return;
    }
    this.writeButton.disabled = true;
    try {
      await api.command(this.writeRow.name, { comInfo: store.get().unit, ...changed });
      showReadBack(this.result, compareReadBack(changed, await this.read()));
    } catch (e) {
      markRefused(this.fields, e);
      showError(e, this.writeRow.name);
    } finally {
      this.writeButton.disabled = false;
    }
  }

  element() {
    return h('div', { class: 'card settings-block', test: 'settings-block', id: `set-${this.block.id}`, dataset: { block: this.block.id } },
      h('h3', { text: t('settings.block.' + this.block.id) }),
      this.clock ? this.clock.el : null,
      h('div', { class: 'fields' }, [...this.fields.values()].map((f) =>
        h('label', { class: 'field', for: f.el.id }, h('span', { class: 'label', text: keyLabel(f.arg.key) }), f.el, f.msg))),
      h('div', { class: 'toolbar' }, this.readButton, this.writeButton),
      this.result);
  }
}

// "Subject (SBJ)" where a text exists, else the key itself.
function keyLabel(key) {
  const text = t('key.' + key);
  return text === 'key.' + key ? key : `${text} (${key})`;
}

// The program refused a value (code 0, msg "… : 'KEY'"): mark that field.
function markRefused(fields, error) {
  const m = /'([A-Za-z0-9]+)'\s*$/.exec(String((error.detail && error.detail.msg) || ''));
  const f = m && fields.get(m[1]);
  if (!f) return;
  f.msg.textContent = t('settings.refused');
  f.el.classList.add('invalid');
}

function showReadBack(el, entries) {
  fill(el, h('table', { class: 'list small', test: 'readback' },
    h('thead', {}, h('tr', {}, h('th', { text: t('settings.key') }), h('th', { text: t('settings.written') }), h('th', { text: t('settings.readBack') }))),
    h('tbody', {}, entries.map((e) => h('tr', { class: e.ok ? 'ok' : 'mismatch', test: 'readback-row', dataset: { key: e.key, ok: String(e.ok) } },
      h('td', { text: e.key }), h('td', { text: JSON.stringify(e.written) }), h('td', { text: e.read === undefined ? '—' : JSON.stringify(e.read) }))))));
}

// The unit's clock against this computer's, and one click to set it.
function clockLine() {
  const text = h('span', { id: 'clock-offset', test: 'clock-offset' });
  const set = h('button', { id: 'clock-set', text: t('settings.clockSet'), disabled: true });
  const line = { el: h('div', { class: 'toolbar clock' }, text, set), onSet: null };
  line.clear = () => {
    set.disabled = true;
    text.textContent = '';
    delete text.dataset.offset;
  };
  line.update = (rdtim) => {
    const offset = Number(rdtim.TimeOffset);
    set.disabled = false;
    text.dataset.offset = String(offset);
    text.textContent = Number.isFinite(offset)
      ? t('settings.clockOffset', { unit: timeText(Date.now() + offset * 1000), pc: timeText(Date.now()), offset })
      : t('settings.clockUnknown');
  };
  set.addEventListener('click', async () => {
    set.disabled = true;
    try {
      await api.command('WDTIM', { comInfo: store.get().unit });
      if (line.onSet) await line.onSet();
    } catch (e) {
      showError(e, 'WDTIM');
    } finally {
      set.disabled = false;
    }
  });
  return line;
}

export default {
  id: 'settings',
  title: 'tab.settings',
  create() {
    const cards = BLOCKS.filter((b) => rules.commands[b.read] && rules.commands[b.write])
      .map((b) => new SettingsBlock(b, { ...rules.commands[b.write], name: b.write }));
    const readAll = h('button', { id: 'settings-read-all', class: 'primary', text: t('settings.readAll') });
    readAll.addEventListener('click', async () => {
      readAll.disabled = true;
      for (const c of cards) await c.read();  // one command at a time per unit
      readAll.disabled = !store.get().unit;
    });
    const hint = h('p', { class: 'hint' });
    const render = (s) => {
      readAll.disabled = !s.unit;
      for (const c of cards) c.forUnit(s.unit);
      hint.textContent = s.unit ? '' : t('units.notConnected');
    };
    store.subscribe(render);
    render(store.get());
    return { element: h('section', { id: 'view-settings' }, h('div', { class: 'toolbar' }, readAll), hint, cards.map((c) => c.element())) };
  },
};
