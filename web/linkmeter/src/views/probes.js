// How many probes a site survey sends each unit: a preset (quick 1,
// standard 5, thorough 20) or any number within PROBES (site/limits.js) in the
// input #sitesurvey-probes. The choice is kept in the page's storage.
import { h } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { PROBES } from '../site/limits.js';

export const PRESETS = { quick: 1, standard: PROBES.default, thorough: 20 };
export const MAX_PROBES = PROBES.max;
const KEY = 'linkmeter.probes';

// A usable probe count from what was typed or stored, else `fallback`.
export function probeCount(value, fallback = PRESETS.standard) {
  const n = Number(value);
  return Number.isInteger(n) && n >= PROBES.min && n <= MAX_PROBES ? n : fallback;
}

const presetOf = (n) => Object.keys(PRESETS).find((k) => PRESETS[k] === n) || 'custom';

// {el, value()}: value() is the count in force (a wrong entry is put back).
export function probesControl(storage) {
  let stored = null;
  try { stored = storage ? storage.getItem(KEY) : null; } catch (e) { stored = null; }
  const start = probeCount(stored);
  const input = h('input', { id: 'sitesurvey-probes', type: 'number', min: PROBES.min, max: MAX_PROBES, step: 1, value: start, size: 3 });
  const preset = h('select', { id: 'sitesurvey-probe-preset', title: t('sitesurvey.probes'), 'aria-label': t('sitesurvey.probePreset') },
    [...Object.keys(PRESETS), 'custom'].map((k) => h('option', { value: k, text: t('sitesurvey.preset.' + k, { n: PRESETS[k] }) })));
  preset.value = presetOf(start);
  const keep = (n) => {
    try { if (storage) storage.setItem(KEY, String(n)); } catch (e) { /* not kept */ }
  };
  preset.addEventListener('change', () => {
    if (preset.value in PRESETS) input.value = PRESETS[preset.value];
    keep(probeCount(input.value));
  });
  input.addEventListener('change', () => {
    const n = probeCount(input.value, probeCount(stored));
    input.value = n;
    preset.value = presetOf(n);
    keep(n);
  });
  const el = h('span', { class: 'probes-choice' }, h('label', { for: 'sitesurvey-probes', text: t('sitesurvey.probes') }), ' ', preset, ' ', input);
  // set(n): the count for the next survey (an acceptance survey's), not kept.
  const set = (n) => {
    input.value = probeCount(n, probeCount(input.value));
    preset.value = presetOf(Number(input.value));
  };
  return { el, value: () => probeCount(input.value), set };
}
