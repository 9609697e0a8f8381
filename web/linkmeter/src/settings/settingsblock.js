// One settings block of the connected base unit: its form, read and write
// buttons, the read-back of the last write and where what it shows came
// from. Writes only the changed keys, after the checks; a write that may
// cut the link to a LAN unit asks first.
import { h, fill, timeText } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { showError, notify } from '../page/ui.js';
import { compareReadBack, fieldKind, planWrite } from './forms.js';
import { checkForm, checkNetwork } from './fieldchecks.js';
import { provenance, markResult, provenanceLine } from '../ui/provenance.js';
import { fieldInput, fieldElement, formValue, setFormValue, meaningText } from './settingsfields.js';

const CHECKS = { form: checkForm, network: checkNetwork };

// Asks before a write that may cut the link to a LAN unit, saying how to
// reconnect; true when the technician agrees.
async function confirmLink(ctx, blockId, unit, keys, changed) {
  const address = changed.IP || unit.ipAddr;
  const msg = [t('settings.linkConfirm', { name: unit.name || unit.serial, keys: keys.join(', ') }),
    t(keys.includes('PW') ? 'settings.reconnectPassword' : 'settings.reconnect', { address, port: unit.port })].join('\n\n');
  const pressed = await ctx.api.query('JsMsgbox', { title: t('settings.block.' + blockId), msg, btn: 2, icon: 2 });
  return pressed === 3;
}

// One settings block: its form, read and write buttons, the read-back
// table of the last write, and where what it shows came from.
export class SettingsBlock {
  constructor(ctx, block, writeRow) {
    this.ctx = ctx;
    this.block = block;
    this.writeRow = writeRow;
    this.args = writeRow.args.filter((a) => fieldKind(a) !== 'none' && !(block.skip || []).includes(a.key));
    this.fields = new Map(this.args.map((a) => [a.key, this.makeField(a)]));
    this.readButton = h('button', { id: `set-${block.id}-read`, text: t('settings.read'), onclick: () => this.read() });
    this.writeButton = h('button', { id: `set-${block.id}-write`, class: 'primary', text: t('settings.write'), disabled: true, onclick: () => this.write() });
    this.result = h('div', { id: `set-${block.id}-result`, class: 'readback' });
    this.origin = h('div', { class: 'origin' });
    this.clock = block.id === 'clock' ? clockLine(ctx) : null;
    if (this.clock) this.clock.onSet = () => this.read();
    this.last = null; // the block as last read
    this.prov = null; // where and when it was read
    this.earlier = false; // a later read failed: what is shown may be out of date
    this.unit = null;
    this.card = null;
  }

  makeField(arg) {
    const f = { arg, el: fieldInput(this.block.id, arg), msg: h('span', { class: 'field-msg', test: 'field-msg' }), note: h('span', { class: 'meaning dim' }) };
    const edited = () => this.markEdited(f);
    f.el.addEventListener('input', edited);
    f.el.addEventListener('change', edited);
    return f;
  }

  // A field whose value differs from what was read is marked unsaved.
  markEdited(f) {
    const now = formValue(f.arg, f.el);
    const was = this.last ? this.last[f.arg.key] : undefined;
    const unsaved = this.last !== null && now !== undefined && JSON.stringify(now) !== JSON.stringify(was);
    f.el.closest('.field')?.classList.toggle('unsaved', unsaved);
    f.el.dataset.unsaved = String(unsaved);
    f.note.textContent = meaningText(f.arg, now);
    this.countUnsaved();
  }

  countUnsaved() {
    const n = [...this.fields.values()].filter((f) => f.el.dataset.unsaved === 'true').length;
    if (this.card) this.card.dataset.unsaved = String(n);
  }

  // Another unit (or none): what was read from the last one is not shown
  // or written to this one.
  forUnit(state) {
    const unit = state.unit;
    this.readButton.disabled = !unit;
    if (unit !== this.unit) {
      this.unit = unit;
      this.setRead(null, null);
      fill(this.result);
      if (this.clock) this.clock.clear();
    }
    this.remark(state);
  }

  remark(state) {
    const options = { earlier: this.earlier };
    if (this.card) markResult(this.card, this.prov, state, options);
    markResult(this.result, this.prov, state, options);
    fill(this.origin, this.prov ? provenanceLine(this.prov, state, options) : null);
  }

  setRead(values, prov) {
    this.last = values;
    this.prov = prov;
    this.earlier = false;
    this.writeButton.disabled = !values;
    for (const f of this.fields.values()) {
      setFormValue(f.arg, f.el, values ? values[f.arg.key] : undefined);
      f.msg.textContent = '';
      f.el.classList.remove('invalid');
      this.markEdited(f);
    }
  }

  async read() {
    const { store, api } = this.ctx;
    const unit = store.get().unit;
    this.readButton.disabled = true;
    try {
      const values = await api.command(this.block.read, { comInfo: unit });
      if (store.get().unit !== unit) return null; // another unit connected meanwhile
      this.setRead(values, provenance(unit, { source: 'unit' }));
      if (this.clock) this.clock.update(values);
      return values;
    } catch (e) {
      this.earlier = Boolean(this.prov);
      showError(e, this.block.read);
      return null;
    } finally {
      this.readButton.disabled = !store.get().unit;
      this.remark(store.get());
    }
  }

  // The plan of a write, after marking the fields it refuses.
  checked() {
    const edited = {};
    for (const [key, f] of this.fields) edited[key] = formValue(f.arg, f.el);
    const plan = planWrite({ args: this.args }, this.last, edited, { unit: this.ctx.store.get().unit, checks: CHECKS });
    for (const [key, f] of this.fields) {
      const rule = plan.problems[key];
      f.msg.textContent = rule ? t(...rule) : '';
      f.el.classList.toggle('invalid', Boolean(rule));
    }
    return plan;
  }

  async write() {
    const plan = this.checked();
    if (Object.keys(plan.problems).length) return;
    if (!Object.keys(plan.changed).length) {
      notify(t('settings.nothing'));
      return;
    }
    const { store, api } = this.ctx;
    const unit = store.get().unit;
    if (plan.confirm && !(await confirmLink(this.ctx, this.block.id, unit, plan.confirm, plan.changed))) return;
    this.writeButton.disabled = true;
    try {
      await api.command(this.writeRow.name, { comInfo: unit, ...plan.changed });
      showReadBack(this.result, compareReadBack(plan.changed, await this.read()));
    } catch (e) {
      markRefused(this.fields, e);
      showError(e, this.writeRow.name);
    } finally {
      this.writeButton.disabled = !this.last;
      this.remark(store.get());
    }
  }

  element() {
    this.card = h('div', { class: 'card settings-block', test: 'settings-block', id: `set-${this.block.id}`, dataset: { block: this.block.id, unsaved: '0' } },
      h('h3', { text: t('settings.block.' + this.block.id) }),
      this.origin,
      this.clock ? this.clock.el : null,
      h('div', { class: 'fields' }, [...this.fields.values()].map(fieldElement)),
      h('div', { class: 'toolbar' }, this.readButton, this.writeButton),
      this.result);
    return this.card;
  }
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

function offsetText(offset) {
  return t('settings.clockOffset', { unit: timeText(Date.now() + offset * 1000), pc: timeText(Date.now()), offset });
}

// The unit's clock against this computer's, and one click to set it; the
// setting is confirmed with the offset read back.
function clockLine(ctx) {
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
    text.textContent = Number.isFinite(offset) ? offsetText(offset) : t('settings.clockUnknown');
  };
  set.addEventListener('click', async () => {
    set.disabled = true;
    try {
      await ctx.api.command('WDTIM', { comInfo: ctx.store.get().unit });
      const back = line.onSet ? await line.onSet() : null;
      const offset = back ? Number(back.TimeOffset) : NaN;
      notify(Number.isFinite(offset) ? t('settings.clockDone', { offset }) : t('settings.clockUnknown'));
    } catch (e) {
      showError(e, 'WDTIM');
    } finally {
      set.disabled = false;
    }
  });
  return line;
}

