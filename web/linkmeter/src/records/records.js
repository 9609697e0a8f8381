// Promises over the site-records functions (linkmeter.records.*): every
// call goes through ctx.api.query under the function's query name, so it
// answers, fails and cancels like the device functions. A failure rejects
// with the api's DeviceError; its detail.code1 says why (RECORDS_FAILURE).

// The failure codes of the records functions.
export const RECORDS_FAILURE = Object.freeze({
  missing: -1, invalid: -2, busy: -20, notFound: -21, refused: -22,
  newerFile: -23, damagedFile: -24, io: -25, internal: -26,
  // the team server: unreachable, refused, or a record that failed its check
  serverUnreachable: -27, serverRefused: -28, unverified: -29,
});

// The page names of the functions; the query is 'LmRecords' + the name
// with its first letter raised.
export const RECORDS_FUNCTIONS = Object.freeze([
  'status', 'listSites', 'listVisits', 'beginVisit', 'endVisit', 'updateVisit',
  'recordRegistration', 'recordDownload', 'recordLog', 'recordSettingsRead',
  'recordSurvey', 'surveyProbes', 'recordScan', 'recordSettingsWrite',
  'readVisit', 'readRecord', 'unitTrend', 'exportSite', 'exportVisit', 'import',
  'sync', 'syncProgress', 'serverInit', 'recordAcceptance', 'recordWaiver',
  'recordPlan', 'recordMapEdit', 'readSiteMap', 'renderPlanPage',
  'alarmTimeline', 'alarmsFiring',
]);

export function recordsQueryName(name) {
  return 'LmRecords' + name.charAt(0).toUpperCase() + name.slice(1);
}

// The failure code of a rejected records call, or null for another error.
// Whether the team records could not keep `text`: U+0000 (PostgreSQL stores
// none) or a lone surrogate (no UTF-8 for it). The store refuses such text
// too; the page says so at the field, before anything is written.
export function unstorableText(text) {
  return /\u0000|[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/.test(String(text));
}

export function recordsFailure(e) {
  const code = e && e.detail && e.detail.code1;
  return typeof code === 'number' ? code : null;
}

// Base64: the engine's btoa and atob where there are (the page), by hand
// where not (the command line's JavaScriptCore).
const B64 = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
const B64_VALUE = new Uint8Array(128);
for (let i = 0; i < B64.length; i++) B64_VALUE[B64.charCodeAt(i)] = i;

// Bytes (Uint8Array or an array of 0..255) as the base64 text the store takes.
export function bytesToBase64(bytes) {
  if (typeof globalThis.btoa === 'function') {
    let text = '';
    for (const b of bytes) text += String.fromCharCode(b & 255);
    return globalThis.btoa(text);
  }
  const parts = [];
  let chunk = '';
  for (let i = 0; i < bytes.length; i += 3) {
    const a = bytes[i] & 255;
    const b = i + 1 < bytes.length ? bytes[i + 1] & 255 : 0;
    const c = i + 2 < bytes.length ? bytes[i + 2] & 255 : 0;
    chunk += B64[a >> 2] + B64[((a & 3) << 4) | (b >> 4)] +
      (i + 1 < bytes.length ? B64[((b & 15) << 2) | (c >> 6)] : '=') + (i + 2 < bytes.length ? B64[c & 63] : '=');
    if (chunk.length >= 8192) {
      parts.push(chunk);
      chunk = '';
    }
  }
  parts.push(chunk);
  return parts.join('');
}

export function base64ToBytes(text) {
  if (typeof globalThis.atob === 'function') {
    const bin = globalThis.atob(text || '');
    const out = new Uint8Array(bin.length);
    for (let i = 0; i < bin.length; i++) out[i] = bin.charCodeAt(i);
    return out;
  }
  const clean = String(text || '').replace(/[^A-Za-z0-9+/]/g, '');
  const out = new Uint8Array(Math.floor((clean.length * 3) / 4));
  let n = 0;
  for (let i = 0; i < clean.length; i += 4) {
    const v = (k) => (i + k < clean.length ? B64_VALUE[clean.charCodeAt(i + k)] : 0);
    const triple = (v(0) << 18) | (v(1) << 12) | (v(2) << 6) | v(3);
    const got = Math.min(3, Math.floor(((Math.min(4, clean.length - i)) * 3) / 4));
    for (let k = 0; k < got; k++) out[n++] = (triple >> (16 - 8 * k)) & 255;
  }
  return out.subarray(0, n);
}

// An object with one promise function per records function: f(arg, options)
// resolves with the program's answer. Calls are made in the order given;
// the program keeps each write in its own transaction.
export function createRecords(ctx) {
  if (!ctx || !ctx.api || typeof ctx.api.query !== 'function') throw new TypeError('createRecords needs ctx.api');
  const records = {};
  for (const name of RECORDS_FUNCTIONS) {
    const query = recordsQueryName(name);
    records[name] = (arg = {}, options) => ctx.api.query(query, arg, options);
  }
  // A visit's records as the history shows them: the visit, newest record first.
  records.visitHistory = async (visitId) => {
    const visit = await records.readVisit({ visitId });
    return { ...visit, records: [...visit.records].sort((a, b) => b.at - a.at) };
  };
  return Object.freeze(records);
}
