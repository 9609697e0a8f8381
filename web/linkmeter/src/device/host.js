// What the program tells the page beyond `app`: display units of channel
// values (the program's channel types), whether it runs the demo site and
// the user's system language, all in the `linkmeter` namespace the program
// adds to the page.
function extras() {
  return typeof globalThis.linkmeter === 'object' && globalThis.linkmeter ? globalThis.linkmeter : null;
}

// The display text of a raw channel value, with its unit; the raw number
// when the program offers no channel types.
export function formatChannel(chType, raw) {
  const ns = extras();
  if (ns && ns.chtype && typeof ns.chtype.format === 'function') {
    try {
      return String(ns.chtype.format(chType, raw));
    } catch (e) {
      return `raw ${raw}`;
    }
  }
  return `raw ${raw}`;
}

// The unit label of a channel type ("°C", "" when it has none or the
// program offers no channel types).
export function channelUnit(chType) {
  const ns = extras();
  if (!ns || !ns.chtype || typeof ns.chtype.describe !== 'function') return '';
  try {
    const d = ns.chtype.describe(chType);
    return d && d.known && typeof d.unit === 'string' ? d.unit : '';
  } catch (e) {
    return '';
  }
}

export function isDemo() {
  const ns = extras();
  return !!ns && typeof ns.isDemo === 'function' && ns.isDemo() === true;
}

// The user's system language as the program reads it from its environment
// ("ja" or "en"); null when the program does not say.
export function systemLanguage() {
  const ns = extras();
  if (!ns || typeof ns.systemLanguage !== 'function') return null;
  try {
    const lang = ns.systemLanguage();
    return typeof lang === 'string' ? lang : null;
  } catch (e) {
    return null;
  }
}
