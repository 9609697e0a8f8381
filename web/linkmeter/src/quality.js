// Link quality of a hop and battery state of a unit, from one table each.
// docs/link-quality.md documents the same numbers; keep both in step.

// Levels are the 0..255 values a unit reports for the link it heard.
// The first row whose `min` the level reaches gives the class.
export const LEVEL_CLASSES = [
  { name: 'good', min: 130 },
  { name: 'fair', min: 100 },
  { name: 'weak', min: 80 },
  { name: 'bad', min: 0 },
];

// Battery values are percentages; below `min` of a row the next row holds.
export const BATTERY_CLASSES = [
  { name: 'ok', min: 30 },
  { name: 'low', min: 10 },
  { name: 'empty', min: 0 },
];

function classify(table, value) {
  if (typeof value !== 'number' || !Number.isFinite(value)) return 'none';
  for (const row of table) {
    if (value >= row.min) return row.name;
  }
  return table[table.length - 1].name;
}

export const levelClass = (level) => classify(LEVEL_CLASSES, level);
export const batteryClass = (battery) => classify(BATTERY_CLASSES, battery);

// A battery needs attention (warned about on the page and in reports).
export const batteryLow = (battery) => ['low', 'empty'].includes(batteryClass(battery));

// Hops that need attention: weak or bad links.
export const levelPoor = (level) => ['weak', 'bad'].includes(levelClass(level));
