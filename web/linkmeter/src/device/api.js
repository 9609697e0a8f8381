// Promises over the page API. Every query goes through app.jsQuery, whose
// return value is the query id a cancel names ("jsquery:cancel"); a
// cancelled call still waits for the program's own answer (the unit stops
// between exchanges), so the next call never overlaps it on the same unit.
// A failure that means a unit's link is gone marks that unit lost: every
// later call for it fails at once (so repeating work stops) until it is
// opened again.
import { isLinkLost, linkKey } from './failures.js';
export class CancelledError extends Error {
  constructor() {
    super('cancelled');
    this.name = 'CancelledError';
  }
}

// A failure the program reported: its object ({code1, msg, api, …}) or a
// device result with isSuccess false.
export class DeviceError extends Error {
  constructor(detail) {
    super((detail && detail.msg) || 'failure');
    this.name = 'DeviceError';
    this.detail = detail || {};
  }
}

// The DeviceError of a native function's throw, whose message is the
// failure JSON (or plain text).
export function nativeError(e) {
  if (e instanceof DeviceError) return e;
  try {
    const detail = JSON.parse(e && e.message);
    if (detail && typeof detail === 'object') return new DeviceError(detail);
  } catch (x) { /* plain text below */ }
  return new DeviceError({ msg: String(e && e.message ? e.message : e) });
}

// How long a cancelled call waits for its answer before giving up on it.
export const CANCEL_GRACE_MS = 20000;

function host() {
  if (typeof globalThis.app !== 'object' || typeof globalThis.app.jsQuery !== 'function') {
    throw new DeviceError({ code1: -1, msg: 'the program bridge is not available' });
  }
  return globalThis.app;
}

const lostLinks = new Set();
const linkListeners = new Set();

// f(comInfo, lost) runs when a unit's link is lost or opened again.
export function onLinkChange(f) {
  linkListeners.add(f);
  return () => linkListeners.delete(f);
}

export function isLost(comInfo) {
  return lostLinks.has(linkKey(comInfo));
}

function markLink(comInfo, lost) {
  const key = linkKey(comInfo);
  if (!key || lostLinks.has(key) === lost) return;
  if (lost) lostLinks.add(key);
  else lostLinks.delete(key);
  for (const f of linkListeners) f(comInfo, lost);
}

// Whether a call may reach the unit: open and close always may.
function gated(name, arg) {
  return name !== 'ComOpen' && name !== 'ComClose' && !!arg && isLost(arg.comInfo);
}

// A device result that failed because the link is gone marks the unit,
// whoever reads the result.
function noteLink(arg, answer) {
  if (answer && typeof answer === 'object' && answer.isSuccess === false && arg && arg.comInfo && isLinkLost(answer)) {
    markLink(arg.comInfo, true);
  }
  return answer;
}

function deviceFailure(arg, detail) {
  if (arg && arg.comInfo && isLinkLost(detail)) markLink(arg.comInfo, true);
  return new DeviceError(detail);
}

// Runs the query `name` with `arg`; resolves with its answer, rejects with
// DeviceError on a failure and CancelledError once `signal` aborted it.
export function query(name, arg, { signal, graceMs = CANCEL_GRACE_MS } = {}) {
  return new Promise((resolve, reject) => {
    if (signal && signal.aborted) {
      reject(new CancelledError());
      return;
    }
    if (gated(name, arg)) {
      reject(new DeviceError({ linkLost: true, cmdName: name.replace(/^ComTcmd/, '') }));
      return;
    }
    let settled = false;
    let cancelled = false;
    let graceTimer = null;
    const onAbort = () => {
      if (settled || cancelled) return;
      cancelled = true;
      if (id) host().jsQuery('cancel', id, () => {}, () => {});
      graceTimer = setTimeout(() => finish(() => reject(new CancelledError())), graceMs);
    };
    const finish = (action) => {
      if (settled) return;
      settled = true;
      if (graceTimer) clearTimeout(graceTimer);
      if (signal) signal.removeEventListener('abort', onAbort);
      action();
    };
    const id = host().jsQuery(
      name,
      arg,
      (answer) => finish(() => (cancelled ? reject(new CancelledError()) : resolve(noteLink(arg, answer)))),
      (failure) => finish(() => (cancelled ? reject(new CancelledError()) : reject(deviceFailure(arg, failure)))),
    );
    if (signal && !settled) signal.addEventListener('abort', onAbort);
  });
}

// A device command `app.com.tcmd` + mnemonic: resolves with the result when
// isSuccess, else rejects (CancelledError for isCancel).
export async function command(mnemonic, arg, options) {
  const result = await query('ComTcmd' + mnemonic, arg, options);
  if (result && result.isCancel) throw new CancelledError();
  if (!result || !result.isSuccess) throw deviceFailure(arg, result);
  return result;
}

export const searchUSB = (flags, options) => query('ComSearchUSB', flags, options);
export const searchLAN = (ports, options) => query('ComSearchLAN', ports, options);
export const searchLogger = (arg, options) => query('ComSearchLogger', arg, options);
export async function open(comInfo) {
  const answer = await query('ComOpen', { comInfo });
  markLink(comInfo, false);
  return answer;
}
export const close = (comInfo) => query('ComClose', { comInfo });
export const rsLevels = (comInfo, freqs, options) => query('ComTcmdGetRsLevel', { comInfo, freqs }, options);
export const fileDialog = (arg) => query('JsFileDialog', arg);
