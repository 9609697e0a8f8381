// Units: find base units (USB, LAN) and loggers, connect one, and see its
// information, status and clock at a glance.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import * as api from '../api.js';
import { store, sessionPasswords } from '../state.js';
import { showError, askPassword, progressBar, notify, clearMessages } from '../ui.js';

const USB_FLAGS = { vlb1: true, vlb2: true, vlb3: true, vlb5: true };

function address(entry) {
  return entry.com === 2 ? `${entry.ipAddr}:${entry.port}` : `USB ${entry.port ?? ''}`.trim();
}

// Runs the three searches in turn; one failing does not stop the others.
async function search(progress, button) {
  button.disabled = true;
  const steps = [
    ['units.searchUSB', () => api.searchUSB(USB_FLAGS)],
    ['units.searchLAN', () => api.searchLAN({})],
    ['units.searchLogger', () => api.searchLogger({})],
  ];
  const found = [[], [], []];
  for (let i = 0; i < steps.length; i++) {
    progress.set(i, steps.length, t(steps[i][0]));
    try {
      const list = await steps[i][1]();
      found[i] = Array.isArray(list) ? list : [];
    } catch (e) {
      showError(e, t(steps[i][0]));
    }
  }
  progress.set(steps.length, steps.length, t('units.found', { n: found[0].length + found[1].length, loggers: found[2].length }));
  store.set({ units: [...found[0], ...found[1]], loggers: found[2] });
  button.disabled = false;
}

// A usable comInfo for `entry`: LAN units get the session password, asked
// once per unit.
async function comInfoOf(entry) {
  if (entry.com !== 2) return { ...entry };
  let password = sessionPasswords.get(entry);
  if (password === undefined) {
    password = await askPassword(entry.name || entry.ipAddr);
    if (password === null) return null;
    sessionPasswords.set(entry, password);
  }
  return { ...entry, lanPassword: password };
}

async function readInfo(comInfo) {
  const info = {};
  for (const [key, mnemonic] of [['ruinf', 'RUINF'], ['ebsts', 'EBSTS'], ['rdtim', 'RDTIM']]) {
    try {
      info[key] = await api.command(mnemonic, { comInfo });
    } catch (e) {
      info[key] = { error: e };
      showError(e, mnemonic);
    }
  }
  return info;
}

async function disconnect() {
  if (store.get().busy) {
    notify(t('units.busy'));
    return;
  }
  const unit = store.get().unit;
  store.set({ unit: null, unitInfo: null, regInfo: null, surveyTarget: null });
  if (unit) await api.close(unit).catch(() => {});
}

async function connect(entry) {
  if (store.get().busy) {
    notify(t('units.busy'));
    return;
  }
  await disconnect();
  const comInfo = await comInfoOf(entry);
  if (!comInfo) return;
  try {
    await api.open(comInfo);
  } catch (e) {
    if (entry.com === 2) sessionPasswords.forget(entry); // a wrong password is asked again
    showError(e, t('units.connect'));
    return;
  }
  clearMessages(); // an earlier refusal no longer holds
  store.set({ unit: comInfo, unitInfo: { loading: true } });
  store.set({ unitInfo: await readInfo(comInfo) });
}

function unitRow(entry, connected) {
  const isConnected = connected && connected.serial === entry.serial && connected.com === entry.com;
  return h('tr', { test: 'unit-row', dataset: { serial: String(entry.serial), com: String(entry.com) }, class: isConnected ? 'selected' : '' },
    h('td', { text: entry.com === 2 ? 'LAN' : 'USB' }),
    h('td', { text: entry.model }),
    h('td', { text: entry.name }),
    h('td', { text: entry.descr }),
    h('td', { class: 'mono', text: String(entry.serial) }),
    h('td', { class: 'mono', text: address(entry) }),
    h('td', {}, h('button', { test: 'connect', disabled: isConnected, onclick: () => connect(entry), text: isConnected ? t('units.connected') : t('units.connect') })));
}

function clockText(rdtim) {
  if (!rdtim || rdtim.error || typeof rdtim.TimeOffset !== 'number') return '—';
  const s = rdtim.TimeOffset;
  const sign = s > 0 ? '+' : s < 0 ? '−' : '±';
  return t('units.clockOffset', { offset: `${sign}${Math.abs(s)}` });
}

function infoPanel(unit, info) {
  if (!unit) return h('p', { class: 'hint', text: t('units.notConnected') });
  if (!info || info.loading) return h('p', { class: 'hint', text: t('common.working') });
  const ruinf = info.ruinf && !info.ruinf.error ? info.ruinf : {};
  const state = info.ebsts && !info.ebsts.error ? t('units.statusOk', { status: info.ebsts.STATUS || '' }) : t('units.statusFailed');
  const cell = (label, value, id) => h('div', { class: 'field' }, h('span', { class: 'label', text: label }), h('span', { id, text: value ?? '—' }));
  return h('div', { class: 'fields' },
    cell(t('units.name'), ruinf.NAME ?? unit.name, 'info-name'),
    cell(t('units.descr'), ruinf.DESC ?? unit.descr, 'info-descr'),
    cell(t('units.serial'), ruinf.SER ?? unit.serial, 'info-serial'),
    cell(t('units.model'), unit.model, 'info-model'),
    cell(t('units.firmware'), [ruinf.FWV, ruinf.RFV].filter(Boolean).join(' / ') || '—', 'info-firmware'),
    cell(t('units.status'), state, 'info-status'),
    cell(t('units.clock'), clockText(info.rdtim), 'info-clock'),
    h('button', { id: 'disconnect-button', onclick: disconnect, text: t('units.disconnect') }));
}

export default {
  id: 'units',
  title: 'tab.units',
  create() {
    const progress = progressBar('search-progress');
    const button = h('button', { id: 'search-button', class: 'primary', text: t('units.search') });
    button.addEventListener('click', () => search(progress, button));
    const list = h('tbody', { id: 'unit-list' });
    const loggers = h('ul', { id: 'logger-list' });
    const info = h('div', { id: 'unit-info' });
    const render = (s) => {
      fill(list, s.units.length ? s.units.map((u) => unitRow(u, s.unit)) : h('tr', {}, h('td', { colspan: 7, class: 'hint', text: t('units.none') })));
      fill(loggers, s.loggers.map((l) => h('li', { test: 'logger', text: `${l.model} ${l.serial}` + (l.comInfo ? ` — ${l.comInfo.name}` : '') })));
      fill(info, infoPanel(s.unit, s.unitInfo));
    };
    store.subscribe(render);
    const element = h('section', { id: 'view-units' },
      h('div', { class: 'toolbar' }, button, progress.el),
      h('table', { class: 'list' },
        h('thead', {}, h('tr', {}, ...['kind', 'model', 'name', 'descr', 'serial', 'address', ''].map((k) => h('th', { text: k ? t('units.' + k) : '' })))),
        list),
      h('h3', { text: t('units.loggers') }), loggers,
      h('h3', { text: t('units.info') }), info);
    render(store.get());
    return { element };
  },
};
