// Promises over the page API. Every query goes through app.jsQuery, whose
// return value is the query id a cancel names ("jsquery:cancel"); a
// cancelled call still waits for the program's own answer (the unit stops
// between exchanges), so the next call never overlaps it on the same unit.
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

// Runs the query `name` with `arg`; resolves with its answer, rejects with
// DeviceError on a failure and CancelledError once `signal` aborted it.
export function query(name, arg, { signal, graceMs = CANCEL_GRACE_MS } = {}) {
  return new Promise((resolve, reject) => {
    if (signal && signal.aborted) {
      reject(new CancelledError());
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
      (answer) => finish(() => (cancelled ? reject(new CancelledError()) : resolve(answer))),
      (failure) => finish(() => (cancelled ? reject(new CancelledError()) : reject(new DeviceError(failure)))),
    );
    if (signal && !settled) signal.addEventListener('abort', onAbort);
  });
}

// A device command `app.com.tcmd` + mnemonic: resolves with the result when
// isSuccess, else rejects (CancelledError for isCancel).
export async function command(mnemonic, arg, options) {
  const result = await query('ComTcmd' + mnemonic, arg, options);
  if (result && result.isCancel) throw new CancelledError();
  if (!result || !result.isSuccess) throw new DeviceError(result);
  return result;
}

export const searchUSB = (flags, options) => query('ComSearchUSB', flags, options);
export const searchLAN = (ports, options) => query('ComSearchLAN', ports, options);
export const searchLogger = (arg, options) => query('ComSearchLogger', arg, options);
export const open = (comInfo) => query('ComOpen', { comInfo });
export const close = (comInfo) => query('ComClose', { comInfo });
export const rsLevels = (comInfo, freqs, options) => query('ComTcmdGetRsLevel', { comInfo, freqs }, options);
export const fileDialog = (arg) => query('JsFileDialog', arg);
