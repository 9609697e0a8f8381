// Native page functions throw an Error whose message is the failure JSON;
// as a DeviceError the views show them like any other failure.
import { DeviceError } from './api.js';

export function callNative(fn) {
  try {
    return fn();
  } catch (e) {
    let detail;
    try {
      detail = JSON.parse(e.message);
    } catch (x) {
      detail = { msg: String(e && e.message) };
    }
    throw new DeviceError(detail);
  }
}

// The channel types of the program (linkmeter.chtype), for the modules that
// take them as a parameter.
export function channelTypes() {
  const ns = globalThis.linkmeter && globalThis.linkmeter.chtype;
  if (!ns) throw new DeviceError({ msg: 'linkmeter.chtype is not available' });
  return {
    describe: (c) => ns.describe(c),
    toReal: (c, raw) => ns.toReal(c, raw),
    fromReal: (c, real) => ns.fromReal(c, real),
    format: (c, raw, withUnit) => ns.format(c, raw, withUnit !== false),
  };
}
