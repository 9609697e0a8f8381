// Link quality of a hop and battery state of a unit, from one table each.
// docs/link-quality.md documents the same numbers; keep both in step.

import { DEFAULT_THRESHOLDS, levelClass as levelOf, batteryClass as batteryOf } from './thresholds.js';

// The default tables, highest class first (thresholds.js holds the
// boundaries; the technician may set others). Levels are the 0..255 values
// a unit reports for the link it heard; batteries are percentages.
export const LEVEL_CLASSES = [
  { name: 'good', min: DEFAULT_THRESHOLDS.level.good },
  { name: 'fair', min: DEFAULT_THRESHOLDS.level.fair },
  { name: 'weak', min: DEFAULT_THRESHOLDS.level.weak },
  { name: 'bad', min: 0 },
];

export const BATTERY_CLASSES = [
  { name: 'ok', min: DEFAULT_THRESHOLDS.battery.ok },
  { name: 'low', min: DEFAULT_THRESHOLDS.battery.low },
  { name: 'empty', min: 0 },
];

// `th`: the boundaries in force (thresholds.js); the defaults when omitted.
export const levelClass = (level, th = DEFAULT_THRESHOLDS) => levelOf(level, th);
export const batteryClass = (battery, th = DEFAULT_THRESHOLDS) => batteryOf(battery, th);

// A battery needs attention (warned about on the page and in reports).
export const batteryLow = (battery, th = DEFAULT_THRESHOLDS) => ['low', 'empty'].includes(batteryClass(battery, th));

// Hops that need attention: weak or bad links.
export const levelPoor = (level, th = DEFAULT_THRESHOLDS) => ['weak', 'bad'].includes(levelClass(level, th));
