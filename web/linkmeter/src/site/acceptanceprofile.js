// The written rules a site is accepted by: a named, versioned profile. The
// page keeps the technician's profile in its storage (one key, per
// computer); every acceptance result carries the profile it was judged by,
// so a record is read with the rules in force when it was taken.
// docs/acceptance.md gives every rule and why.

import { PROBES } from './limits.js';

export const PROFILE_KEY = 'linkmeter.acceptance.profile';

export const DEFAULT_PROFILE = Object.freeze({
  name: 'Standard',
  version: 1,
  // Probes per route an acceptance needs; fewer is "not enough probes".
  probes: 20,
  // The lowest class a hop's median may be in ('good' or 'fair').
  hopMedian: 'fair',
  // At most `lostAllowed` lost probes in every `lostPer` sent.
  lostAllowed: 1,
  lostPer: 20,
  // At most this many hops (repeaters and the unit itself) on a route.
  maxHops: 4,
  // A repeater carrying more units than this is a warning.
  repeaterUnits: 6,
});

// The rule fields and their ranges (whole numbers).
export const PROFILE_RANGES = Object.freeze({
  probes: [PROBES.min, PROBES.max], lostAllowed: [0, 100], lostPer: [1, 100], maxHops: [1, 16], repeaterUnits: [1, 255],
});
const MEDIAN_CLASSES = ['good', 'fair'];
const NAME_MAX = 40;
const RULE_KEYS = ['hopMedian', ...Object.keys(PROFILE_RANGES)];

const inRange = (v, [lo, hi]) => Number.isInteger(v) && v >= lo && v <= hi;

export const sameRules = (a, b) => RULE_KEYS.every((k) => a[k] === b[k]);

// Why `p` cannot be used as a profile, or null. Changed rules under the
// default's name and version would make two rule sets read the same, so
// they are refused.
export function profileProblem(p) {
  if (!p || typeof p !== 'object') return 'missing';
  if (typeof p.name !== 'string' || !p.name.trim() || p.name.length > NAME_MAX) return 'name';
  if (!inRange(p.version, [1, 9999])) return 'version';
  if (!MEDIAN_CLASSES.includes(p.hopMedian)) return 'hopMedian';
  for (const [key, range] of Object.entries(PROFILE_RANGES)) if (!inRange(p[key], range)) return key;
  if (p.lostAllowed >= p.lostPer) return 'lostAllowed';
  if (p.name.trim() === DEFAULT_PROFILE.name && p.version === DEFAULT_PROFILE.version && !sameRules(p, DEFAULT_PROFILE)) return 'sameNameChanged';
  return null;
}

// The profile's fields alone, frozen, the name trimmed.
export function cleanProfile(p) {
  return Object.freeze({ name: p.name.trim(), version: p.version, ...Object.fromEntries(RULE_KEYS.map((k) => [k, p[k]])) });
}

// A profile from JSON text (a file or the storage); throws a RangeError
// naming what is wrong.
export function parseProfile(text) {
  let p;
  try {
    p = JSON.parse(text);
  } catch (e) {
    throw new RangeError('profile: not JSON');
  }
  const problem = profileProblem(p);
  if (problem) throw new RangeError('profile: ' + problem);
  return cleanProfile(p);
}

// The stored profile, or the default when none was saved or what was saved
// cannot be used.
export function loadProfile(storage) {
  try {
    const text = storage ? storage.getItem(PROFILE_KEY) : null;
    return text ? parseProfile(text) : DEFAULT_PROFILE;
  } catch (e) {
    return DEFAULT_PROFILE;
  }
}

// Saves a usable profile and returns it; throws on an unusable one.
export function saveProfile(storage, p) {
  const problem = profileProblem(p);
  if (problem) throw new RangeError('profile: ' + problem);
  const clean = cleanProfile(p);
  storage.setItem(PROFILE_KEY, JSON.stringify(clean));
  return clean;
}

// "Standard v1".
export const profileTitle = (p) => `${p.name} v${p.version}`;

// The lost probes `asked` probes may have: lostAllowed in every lostPer,
// rounded down (1 in 20 allows 2 in 40, none in 19).
export const lostAllowedOf = (p, asked) => Math.floor((asked * p.lostAllowed) / p.lostPer + 1e-9);

// With n probes all answered, the loss rate still 95 % plausible.
export const lossBound95 = (n) => (n > 0 ? 1 - Math.pow(0.05, 1 / n) : null);
