// The level and battery class boundaries the technician sets. The page
// keeps them in its storage (one key) and in the store as `thresholds`;
// views read them from there and redraw when they change.

export const THRESHOLDS_KEY = 'linkmeter.thresholds';

// A level reaching `good` is good, reaching `fair` fair, reaching `weak`
// weak, anything lower bad. A battery reaching `ok` is ok, reaching `low`
// low, lower empty. docs/link-quality.md explains the defaults.
export const DEFAULT_THRESHOLDS = Object.freeze({
  level: Object.freeze({ good: 130, fair: 100, weak: 80 }),
  battery: Object.freeze({ ok: 30, low: 10 }),
});

export const LEVEL_NAMES = ['good', 'fair', 'weak'];
export const BATTERY_NAMES = ['ok', 'low'];
const LEVEL_MAX = 255;
const BATTERY_MAX = 100;

const isInt = (v, max) => Number.isInteger(v) && v >= 1 && v <= max;

// Why a set of boundaries cannot be used, or null: each boundary a whole
// number above 0 and within range, each class above the next.
export function thresholdProblem(th) {
  if (!th || !th.level || !th.battery) return 'missing';
  const lv = LEVEL_NAMES.map((k) => th.level[k]);
  const bt = BATTERY_NAMES.map((k) => th.battery[k]);
  if (!lv.every((v) => isInt(v, LEVEL_MAX))) return 'levelRange';
  if (!bt.every((v) => isInt(v, BATTERY_MAX))) return 'batteryRange';
  if (!(lv[0] > lv[1] && lv[1] > lv[2])) return 'levelOrder';
  if (!(bt[0] > bt[1])) return 'batteryOrder';
  return null;
}

function frozen(th) {
  return Object.freeze({
    level: Object.freeze(Object.fromEntries(LEVEL_NAMES.map((k) => [k, th.level[k]]))),
    battery: Object.freeze(Object.fromEntries(BATTERY_NAMES.map((k) => [k, th.battery[k]]))),
  });
}

export const isDefault = (th) => sameThresholds(th, DEFAULT_THRESHOLDS);

export function sameThresholds(a, b) {
  return LEVEL_NAMES.every((k) => a.level[k] === b.level[k]) && BATTERY_NAMES.every((k) => a.battery[k] === b.battery[k]);
}

// The stored boundaries, or the defaults when none were saved or what was
// saved cannot be used (a damaged value never breaks the classes).
export function loadThresholds(storage) {
  let text = null;
  try {
    text = storage ? storage.getItem(THRESHOLDS_KEY) : null;
  } catch (e) {
    text = null;
  }
  if (!text) return DEFAULT_THRESHOLDS;
  try {
    const th = JSON.parse(text);
    return thresholdProblem(th) ? DEFAULT_THRESHOLDS : frozen(th);
  } catch (e) {
    return DEFAULT_THRESHOLDS;
  }
}

// Saves usable boundaries and returns them frozen; throws on unusable ones
// (the editor checks first, so this is a programming error).
export function saveThresholds(storage, th) {
  const problem = thresholdProblem(th);
  if (problem) throw new Error(`thresholds: ${problem}`);
  const f = frozen(th);
  storage.setItem(THRESHOLDS_KEY, JSON.stringify(f));
  return f;
}

export function resetThresholds(storage) {
  return saveThresholds(storage, DEFAULT_THRESHOLDS);
}

// The store's boundaries (the defaults before the page set them).
export const currentThresholds = (state) => (state && state.thresholds) || DEFAULT_THRESHOLDS;

// Saves and publishes: every view subscribed to the store hears the change.
export function applyThresholds(store, storage, th) {
  const f = saveThresholds(storage, th);
  store.set({ thresholds: f });
  return f;
}

const finite = (v) => typeof v === 'number' && Number.isFinite(v);

export function levelClass(level, th = DEFAULT_THRESHOLDS) {
  if (!finite(level)) return 'none';
  const b = th.level;
  if (level >= b.good) return 'good';
  if (level >= b.fair) return 'fair';
  if (level >= b.weak) return 'weak';
  return 'bad';
}

export function batteryClass(v, th = DEFAULT_THRESHOLDS) {
  if (!finite(v)) return 'none';
  if (v >= th.battery.ok) return 'ok';
  if (v >= th.battery.low) return 'low';
  return 'empty';
}

// The class bands of a level chart, lowest first: [{name, from, to}] over
// 0..255 (what a chart shades behind its series).
export function levelBands(th = DEFAULT_THRESHOLDS) {
  const b = th.level;
  return [
    { name: 'bad', from: 0, to: b.weak },
    { name: 'weak', from: b.weak, to: b.fair },
    { name: 'fair', from: b.fair, to: b.good },
    { name: 'good', from: b.good, to: LEVEL_MAX },
  ];
}

// One line stating the boundaries a result was judged by (report, CSV).
export function thresholdsText(th = DEFAULT_THRESHOLDS) {
  const l = th.level;
  const b = th.battery;
  return `level good>=${l.good} fair>=${l.fair} weak>=${l.weak}; battery ok>=${b.ok}% low>=${b.low}%`;
}
