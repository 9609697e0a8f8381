// What the page's flows take from a browser, made of the command line's
// host functions (the global lmHost, set by tools/cli PageFlows.cpp) when
// they run in its JavaScriptCore: timers on the command line's main loop,
// abort signals, and app.jsQuery through its in-process router. Under a
// browser or Node (no lmHost) nothing is replaced.

class HostAbortSignal {
  constructor() {
    this.aborted = false;
    this.reason = undefined;
    this.onabort = null;
    this.listeners = new Set();
  }

  addEventListener(type, f) {
    if (type === 'abort') this.listeners.add(f);
  }

  removeEventListener(type, f) {
    if (type === 'abort') this.listeners.delete(f);
  }

  throwIfAborted() {
    if (this.aborted) throw this.reason;
  }
}

class HostAbortController {
  constructor() {
    this.signal = new HostAbortSignal();
  }

  abort(reason = new Error('aborted')) {
    const s = this.signal;
    if (s.aborted) return;
    s.aborted = true;
    s.reason = reason;
    const event = { type: 'abort', target: s };
    for (const f of [...s.listeners]) f(event);
    if (typeof s.onabort === 'function') s.onabort(event);
  }
}

// The answer text of a query as the page's glue parses it: JSON, or the
// text itself.
function parsed(text) {
  try {
    return JSON.parse(text);
  } catch (e) {
    return text;
  }
}

// app.jsQuery(name, arg, onSuccess, onFailure) → query id, as the page's
// glue defines it: "jsquery:NAME JSON"; a failure is the failure object
// with api = NAME. jsQuery('cancel', id) gives the query up.
function hostQuery(host) {
  return (name, arg, onSuccess = () => {}, onFailure = () => {}) => {
    if (name === 'cancel') {
      host.cancel(Number(arg));
      onSuccess(null);
      return 0;
    }
    const request = 'jsquery:' + name + ' ' + (arg === undefined || arg === null ? '' : JSON.stringify(arg));
    return host.query(request, (ok, text) => {
      const value = parsed(text);
      if (ok) {
        onSuccess(value);
        return;
      }
      const failure = value && typeof value === 'object' ? value : { msg: String(value) };
      failure.api = name;
      onFailure(failure);
    });
  };
}

const BASE64 = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';

// atob of the browser (base64 text → a string of byte codes) where the
// engine has none; text that is not base64 throws as the browser's does.
export function decodeBase64(text) {
  const clean = String(text).replace(/[\t\n\f\r ]/g, '').replace(/={1,2}$/, '');
  if (clean.length % 4 === 1 || /[^A-Za-z0-9+/]/.test(clean)) throw new Error('not base64');
  let out = '';
  let bits = 0;
  let value = 0;
  for (const c of clean) {
    value = (value << 6) | BASE64.indexOf(c);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += String.fromCharCode((value >> bits) & 0xff);
    }
  }
  return out;
}

export function installRuntime(host = globalThis.lmHost) {
  if (!host) return;
  globalThis.setTimeout = (f, ms = 0, ...args) => host.setTimer(Math.max(0, Number(ms) || 0), () => f(...args));
  globalThis.clearTimeout = (id) => {
    if (id) host.clearTimer(id);
  };
  if (typeof globalThis.queueMicrotask !== 'function') globalThis.queueMicrotask = (f) => Promise.resolve().then(f);
  if (typeof globalThis.AbortController !== 'function') globalThis.AbortController = HostAbortController;
  if (typeof globalThis.atob !== 'function') globalThis.atob = decodeBase64;
  globalThis.app = { jsQuery: hostQuery(host) };
}
