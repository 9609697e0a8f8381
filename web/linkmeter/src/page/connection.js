// The connection flows behind the units view and the header: search,
// connect (found or by address), reconnect after a lost link, disconnect.
// No DOM here: the view hands in what to show through `ui`, so the flows
// run under Node with a fake api.
import { t, tn } from '../i18n/i18n.js';
import { sessionPasswords } from './state.js';
import { loadRoutes, manualRegistration } from '../site/manualroutes.js';
import { provenance } from '../ui/provenance.js';
import { modelOfSerialText } from '../device/models.js';

export const USB_FLAGS = { vlb1: true, vlb2: true, vlb3: true, vlb5: true };
// The TCP port base units listen on unless set otherwise (SOCPT).
export const DEFAULT_LAN_PORT = 62500;
const ADDRESS_KEY = 'linkmeter.address';

// Four numbers 0–255 with nothing else; null when the text is not one.
export function parseIPv4(text) {
  const m = /^\s*(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})\s*$/.exec(String(text ?? ''));
  if (!m) return null;
  const parts = m.slice(1).map(Number);
  return parts.every((n) => n <= 255) ? parts.join('.') : null;
}

// A TCP port 1–65535; empty text means the default; null when invalid.
export function parsePort(text) {
  const s = String(text ?? '').trim();
  if (s === '') return DEFAULT_LAN_PORT;
  if (!/^\d{1,5}$/.test(s)) return null;
  const n = Number(s);
  return n >= 1 && n <= 65535 ? n : null;
}

// The address the technician last connected by, for the next start.
export function rememberedAddress(storage) {
  try {
    const saved = JSON.parse(storage.getItem(ADDRESS_KEY) || 'null');
    if (saved && parseIPv4(saved.ipAddr) && parsePort(String(saved.port))) return { ipAddr: saved.ipAddr, port: saved.port };
  } catch (e) { /* nothing usable saved */ }
  return null;
}

export function rememberAddress(storage, ipAddr, port) {
  try {
    storage.setItem(ADDRESS_KEY, JSON.stringify({ ipAddr, port }));
  } catch (e) { /* private mode: not remembered */ }
}

// The line a finished search ends with.
export function searchSummary(unitCount, loggerCount) {
  return t('units.foundAll', { units: tn('units.foundUnits', unitCount), loggers: tn('units.foundLoggers', loggerCount) });
}

export function sameUnit(a, b) {
  if (!a || !b) return false;
  if (a.com === 1 || b.com === 1) return a.com === b.com && a.serial === b.serial;
  return a.ipAddr === b.ipAddr && a.port === b.port;
}

// ui: {askPassword(name) → text|null, showError(e, context), notify(text),
// clearMessages()}; storage: localStorage or
// a stand-in.
export function createConnection({ store, api, ui, storage }) {
  const idle = () => {
    if (!store.get().busy) return true;
    ui.notify(t('units.busy'));
    return false;
  };

  // Runs the three searches in turn; one failing does not stop the others.
  // progress(done, total, text) follows it.
  async function search(progress = () => {}) {
    const steps = [
      ['units.searchUSB', () => api.searchUSB(USB_FLAGS)],
      ['units.searchLAN', () => api.searchLAN({})],
      ['units.searchLogger', () => api.searchLogger({})],
    ];
    const found = [[], [], []];
    for (let i = 0; i < steps.length; i++) {
      progress(i, steps.length, t(steps[i][0]));
      try {
        const list = await steps[i][1]();
        found[i] = Array.isArray(list) ? list : [];
      } catch (e) {
        ui.showError(e, t(steps[i][0]));
      }
    }
    const units = [...found[0], ...found[1]];
    progress(steps.length, steps.length, searchSummary(units.length, found[2].length));
    store.set({ units, loggers: found[2], searched: true });
    return units;
  }

  // A usable comInfo: LAN units get the session password, asked once.
  async function withPassword(entry, label) {
    if (entry.com === 1) return { ...entry };
    let password = sessionPasswords.get(entry);
    if (password === undefined) {
      password = await ui.askPassword(label);
      if (password === null) return null;
      sessionPasswords.set(entry, password);
    }
    return { ...entry, lanPassword: password };
  }

  // The routes entered by hand for this base unit earlier, ready for the
  // site tree and surveys as soon as it is connected.
  function keptRoutes(unit) {
    if (!storage || !unit || !unit.serial) return null;
    const kept = loadRoutes(storage, unit.serial);
    if (!kept.routes.length) return null;
    return { regInfo: manualRegistration(unit.serial, kept.routes), prov: provenance(unit, { source: 'manual', time: kept.time || Date.now() }) };
  }

  async function readInfo(comInfo) {
    const info = {};
    for (const [key, mnemonic] of [['ruinf', 'RUINF'], ['ebsts', 'EBSTS'], ['rdtim', 'RDTIM']]) {
      try {
        info[key] = await api.command(mnemonic, { comInfo });
      } catch (e) {
        info[key] = { error: e };
        ui.showError(e, t('units.info'));
        if (api.isLost(comInfo)) break;
      }
    }
    return info;
  }

  async function disconnect() {
    if (!idle()) return;
    const unit = store.get().unit;
    store.set({ unit: null, unitInfo: null, regInfo: null, regProv: null, manualReg: null, surveyTarget: null, linkLost: false });
    if (unit) await api.close(unit).catch(() => {});
  }

  // Opens comInfo; false (the failure shown) when it cannot.
  async function openUnit(comInfo, entry) {
    try {
      await api.open(comInfo);
      return true;
    } catch (e) {
      if (comInfo.com !== 1) sessionPasswords.forget(entry); // a wrong password is asked again
      ui.showError(e, t('units.connect'));
      return false;
    }
  }

  // Opens `comInfo` in place of the connected unit, which is let go only
  // once the new one is open and logged in: a wrong password or a unit out
  // of reach leaves the current connection as it was. The same unit again
  // is closed first, since a unit takes one connection at a time.
  async function switchTo(comInfo, entry) {
    const old = store.get().unit;
    if (old && sameUnit(old, comInfo)) await disconnect();
    if (!(await openUnit(comInfo, entry))) return false;
    if (store.get().unit && !sameUnit(store.get().unit, comInfo)) await disconnect();
    ui.clearMessages(); // an earlier refusal no longer holds
    return true;
  }

  async function connect(entry) {
    if (!idle()) return false;
    const comInfo = await withPassword(entry, entry.name || entry.ipAddr);
    if (!comInfo || !(await switchTo(comInfo, entry))) return false;
    store.set({ unit: comInfo, unitInfo: { loading: true }, manualReg: keptRoutes(comInfo), linkLost: false });
    store.set({ unitInfo: await readInfo(comInfo) });
    return true;
  }

  // A LAN unit by its address: identified by its RUINF once open (its
  // model from the serial RUINF gives), and remembered for the next start.
  async function connectByAddress(ipAddr, port) {
    if (!idle()) return false;
    const entry = { com: 3, ipAddr, port };
    const comInfo = await withPassword(entry, `${ipAddr}:${port}`);
    if (!comInfo || !(await switchTo(comInfo, entry))) return false;
    rememberAddress(storage, ipAddr, port);
    store.set({ unit: comInfo, unitInfo: { loading: true }, linkLost: false });
    const info = await readInfo(comInfo);
    const ruinf = info.ruinf && !info.ruinf.error ? info.ruinf : {};
    const unit = { ...comInfo, serial: ruinf.SER || '', name: ruinf.NAME || `${ipAddr}:${port}`, descr: ruinf.DESC || '', model: modelOfSerialText(ruinf.SER) };
    store.set({ unit, unitInfo: info, manualReg: keptRoutes(unit) });
    return true;
  }

  // Opens the connected unit again after its link was lost.
  async function reconnect() {
    const unit = store.get().unit;
    if (!unit || !idle()) return false;
    await api.close(unit).catch(() => {});
    try {
      await api.open(unit);
    } catch (e) {
      ui.showError(e, t('link.reconnect'));
      return false;
    }
    ui.clearMessages();
    store.set({ linkLost: false, unitInfo: { loading: true } });
    store.set({ unitInfo: await readInfo(unit) });
    return true;
  }

  // Reads the connected unit's information, status and clock again.
  async function refresh() {
    const unit = store.get().unit;
    if (!unit || !idle()) return;
    const info = await readInfo(unit);
    if (store.get().unit === unit) store.set({ unitInfo: info });
  }

  // A lost link marks the connected unit and lets its connection go, so
  // the program holds nothing open for it and the next search finds it.
  function watchLinks() {
    return api.onLinkChange((comInfo, lost) => {
      if (!sameUnit(comInfo, store.get().unit)) return;
      store.set({ linkLost: lost });
      if (lost) api.close(comInfo).catch(() => {});
    });
  }

  return { search, connect, connectByAddress, reconnect, refresh, disconnect, watchLinks };
}
