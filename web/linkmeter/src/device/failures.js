// What a failure means for the technician, read from the program's failure
// object or device result: its cause, and the library failure inside it.
// No imports: the api layer and the error texts both use it.

// "Vcomm_SendComm : SEND_ERR(-25)" inside a program text.
const LIBRARY_TEXT = /\b(Vcomm_\w+) : ([A-Z_]+)\((-?\d+)\)/;
// code2 of a library failure: the call that failed.
const LIBRARY_CALLS = { 101: 'Vcomm_OpenUSBComm', 102: 'Vcomm_SendComm', 103: 'Vcomm_RecvComm', 105: 'Vcomm_OpenLANComm' };
// The send/receive failures that mean the unit is no longer there: the peer
// gone, a handle the library no longer knows, or no frame at all.
const LINK_GONE = new Set([-16, -25, -26, -28]);

// {call, name, number} of the library failure a detail carries, or null.
// Command failures name it in their msg; open failures carry code1 = 1000 +
// the error's magnitude and code2 = the call.
export function libraryFailure(detail) {
  const d = detail || {};
  const m = LIBRARY_TEXT.exec(String(d.msg || ''));
  if (m) return { call: m[1], name: m[2], number: Number(m[3]) };
  const call = LIBRARY_CALLS[d.code2];
  if (call && d.code1 > 1000 && d.code1 < 1100) return { call, name: '', number: 1000 - d.code1 };
  return null;
}

function libraryCause(lib) {
  if (!/Open/.test(lib.call)) return LINK_GONE.has(lib.number) ? 'linkLost' : 'retry';
  if (lib.number === -29) return 'password';
  if (lib.number === -24) return 'busy';
  if (lib.number === -12 || lib.number === -22) return 'unitGone';
  if (lib.number === -20) return 'unreachable';
  return 'open';
}

function statusCause(status) {
  if (status === '0003-0090') return 'busy';
  if (status === '0005-0001') return 'noLogger';
  if (status.startsWith('0004-')) return 'radio';
  return null;
}

// One of: linkLost, unitGone, unreachable, password, open, busy, radio,
// timeout, noLogger, measure, unsupported, arguments, missing, file, bridge,
// retry.
export function failureCause(detail) {
  const d = detail || {};
  const msg = String(d.msg || '');
  if (d.linkLost) return 'linkLost';
  const lib = libraryFailure(d);
  if (lib) return libraryCause(lib);
  if (d.isTimeout || msg === 'timeout') return 'timeout';
  if (String(d.api || '').startsWith('app.file')) return 'file';
  if (msg.startsWith('fail to open')) return d.code2 === -29 || /LOGIN/i.test(msg) ? 'password' : 'open';
  if (msg.includes('このAPIは指定したcomInfo')) return 'unsupported';
  if (msg === 'unhandled query') return 'missing';
  if (msg.startsWith('Invalid arguments')) return 'arguments';
  // The base unit's refusal of a channel measurement (its library text);
  // other -22 failures (a plan, a record) are not measurements.
  if (d.code1 === -22 && msg.startsWith('通信が失敗しました')) return 'measure';
  const byStatus = typeof d.STATUS === 'string' ? statusCause(d.STATUS) : null;
  if (byStatus) return byStatus;
  if (msg.includes('bridge is not available')) return 'bridge';
  return 'retry';
}

// True when the failure means the unit's link is gone: further work with it
// waits for a reconnect.
export function isLinkLost(detail) {
  return failureCause(detail) === 'linkLost';
}

// The key of a unit's link: one per USB serial or LAN address and port.
export function linkKey(comInfo) {
  if (!comInfo || typeof comInfo !== 'object') return '';
  return comInfo.com === 1 ? `usb:${comInfo.serial}` : `lan:${comInfo.ipAddr}:${comInfo.port}`;
}
