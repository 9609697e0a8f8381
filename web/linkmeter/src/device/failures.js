// What a failure means for the technician, read from the program's failure
// object or device result: its cause, and the library failure inside it.
// No imports: the api layer and the error texts both use it.

// "Vcomm_SendComm : SEND_ERR(-25)" inside a program text.
const LIBRARY_TEXT = /\b(Vcomm_\w+) : ([A-Z_]+)\((-?\d+)\)/;
// The communication library's error numbers this module tells apart, by
// the library's names (the program's table, vcomm/executor VcommError.cpp;
// tests/tools/apidoc PageListsTest.cpp holds the two together).
export const LIBRARY_ERRORS = Object.freeze({
  SERIALNUM_ERR: -12, ARGUMENT_ERR: -16, CONNECT_ERR: -20, COMOPEN_ERR: -22, COM_IN_PROGRESS: -24,
  SEND_ERR: -25, RECVDATA_ERR: -26, TIMEOUT_ERR: -28, LOGIN_ERR: -29,
});
const E = LIBRARY_ERRORS;
// code2 of a library failure: the call that failed.
export const LIBRARY_CALLS = Object.freeze({ 101: 'Vcomm_OpenUSBComm', 102: 'Vcomm_SendComm', 103: 'Vcomm_RecvComm', 105: 'Vcomm_OpenLANComm' });
// code1 of a channel measurement (GetRsLevel) the unit could not make
// (com/ TcmdGetRsLevel.h).
export const MEASURE_FAILED = -22;
// The send/receive failures that mean the unit is no longer there: the peer
// gone, a handle the library no longer knows, or no frame at all.
const LINK_GONE = new Set([E.ARGUMENT_ERR, E.SEND_ERR, E.RECVDATA_ERR, E.TIMEOUT_ERR]);

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
  if (lib.number === E.LOGIN_ERR) return 'password';
  if (lib.number === E.COM_IN_PROGRESS) return 'busy';
  if (lib.number === E.SERIALNUM_ERR || lib.number === E.COMOPEN_ERR) return 'unitGone';
  if (lib.number === E.CONNECT_ERR) return 'unreachable';
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
  if (msg.startsWith('fail to open')) return d.code2 === E.LOGIN_ERR || /LOGIN/i.test(msg) ? 'password' : 'open';
  if (msg.includes('このAPIは指定したcomInfo')) return 'unsupported';
  if (msg === 'unhandled query') return 'missing';
  if (msg.startsWith('Invalid arguments')) return 'arguments';
  // The base unit's refusal of a channel measurement (its library text);
  // other failures with that code (a plan, a record) are not measurements.
  if (d.code1 === MEASURE_FAILED && msg.startsWith('通信が失敗しました')) return 'measure';
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
