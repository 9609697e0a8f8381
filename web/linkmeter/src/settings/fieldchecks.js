// What a settings value must look like beyond its length or range: IPv4
// addresses and masks, ports, host names and e-mail addresses. The base
// unit takes any text of the right length, so "192.168.1.300" would be
// stored as its address; these checks refuse it before anything is sent.

// The four numbers of a dotted IPv4 address, or null. Exactly four decimal
// numbers 0..255 without signs, spaces or leading zeros ("010" reads as
// octal to some programs and as ten to others).
export function ipv4Parts(text) {
  if (typeof text !== 'string') return null;
  const parts = text.split('.');
  if (parts.length !== 4) return null;
  if (!parts.every((p) => /^(0|[1-9]\d{0,2})$/.test(p))) return null;
  const numbers = parts.map(Number);
  return numbers.every((n) => n <= 255) ? numbers : null;
}

const toInt = (p) => ((p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3]) >>> 0;

// The prefix length of a contiguous mask (ones, then zeros), or -1.
export function maskPrefix(text) {
  const p = ipv4Parts(text);
  if (!p) return -1;
  const n = toInt(p);
  const inverted = ~n >>> 0;
  if ((inverted & (inverted + 1)) !== 0) return -1; // zeros not all at the end
  let ones = 0;
  for (let v = n; v & 0x80000000; v = (v << 1) >>> 0) ones++;
  return ones;
}

// An address a unit can have: not 0.0.0.0, loopback, multicast or
// broadcast.
function usableAddress(p) {
  return p[0] !== 0 && p[0] !== 127 && p[0] < 224;
}

const LABEL = /^[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?$/;

// A host name (labels of letters, digits and inner hyphens) or an IPv4
// address; all-numeric names must be valid addresses.
export function isHostName(text) {
  if (typeof text !== 'string' || text.length === 0 || text.length > 253) return false;
  if (/^[\d.]+$/.test(text)) return ipv4Parts(text) !== null;
  const name = text.endsWith('.') ? text.slice(0, -1) : text;
  return name.split('.').every((l) => LABEL.test(l));
}

const LOCAL = /^[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+(?:\.[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*$/;

// user@host, the host a name with at least one dot or an address.
export function isEmail(text) {
  if (typeof text !== 'string') return false;
  const at = text.lastIndexOf('@');
  if (at <= 0 || at > 64) return false;
  const local = text.slice(0, at);
  const host = text.slice(at + 1);
  return LOCAL.test(local) && isHostName(host) && host.includes('.');
}

export function isPort(value) {
  return Number.isInteger(value) && value >= 1 && value <= 65535;
}

// The form of each key; keys not listed have only the catalogue's checks.
// Host and e-mail keys may stay empty (the feature is not used).
const KINDS = {
  IP: 'address', GW: 'address', DNS1: 'address', DNS2: 'address', MASK: 'mask',
  FTPSV: 'host', SMTPSV: 'host', POPSV: 'host', SNTP1: 'host', SNTP2: 'host',
  FTPIP: 'host', MAILIP: 'host', HTTPIP: 'host',
  FTPPT: 'port', SMTPPT: 'port', POPPT: 'port', SOCPT: 'port', UDPPT: 'port', RESPT: 'port', MAILPT: 'port', HTTPPT: 'port',
  FROM: 'email', TO1: 'email', TO2: 'email', TO3: 'email', TO4: 'email',
};

export function valueForm(key) {
  return KINDS[key] || null;
}

// Why `value` is not a valid `key`: a message key (with parameters) or null.
export function checkForm(key, value) {
  const kind = KINDS[key];
  if (!kind) return null;
  if (kind === 'port') return typeof value !== 'number' || isPort(value) ? null : ['check.port'];
  if (typeof value !== 'string') return null; // the catalogue's check answers
  if (kind === 'address') {
    const p = ipv4Parts(value);
    return p && usableAddress(p) ? null : ['check.address'];
  }
  if (kind === 'mask') return maskPrefix(value) > 0 ? null : ['check.mask'];
  if (value === '') return null;
  if (kind === 'host') return isHostName(value) ? null : ['check.host'];
  return isEmail(value) ? null : ['check.email'];
}

// Checks between keys of the network block, on the values the unit will
// hold after the write (`merged`: what was read with the edits over it).
// {key: rule} for the keys at fault.
export function checkNetwork(merged) {
  const out = {};
  const ip = ipv4Parts(merged.IP || '');
  const prefix = maskPrefix(merged.MASK || '');
  if (!ip || prefix <= 0 || merged.DHCP === 1) return out;
  const mask = prefix === 32 ? 0xffffffff : (~(0xffffffff >>> prefix)) >>> 0;
  const host = toInt(ip) & ~mask;
  if (prefix < 31 && (host === 0 || (host >>> 0) === (~mask >>> 0))) out.IP = ['check.hostPart'];
  const gw = ipv4Parts(merged.GW || '');
  if (gw && ((toInt(gw) & mask) >>> 0) !== ((toInt(ip) & mask) >>> 0)) out.GW = ['check.gateway'];
  return out;
}
