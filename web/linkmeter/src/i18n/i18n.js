// Page texts: one message table per language, picked from the system
// language and switchable. Views may add their own keys with addMessages.
// Intl only with the page's own language tag: under a C locale
// navigator.language is "C", which Intl refuses.
import ja from './ja.js';
import en from './en.js';

const tables = { ja: { ...ja }, en: { ...en } };
export const LANGUAGES = ['ja', 'en'];
let current = 'ja';
const listeners = new Set();

// "ja-JP" → ja, "en-US" → en; the program's own language for anything it
// has no table for that cannot be read as a language ("C", "POSIX", "").
export function pickLanguage(tag) {
  const primary = String(tag || '').toLowerCase().split(/[-_.@]/)[0];
  if (tables[primary]) return primary;
  if (primary === '' || primary === 'c' || primary === 'posix') return 'ja';
  return 'en';
}

export function addMessages(language, table) {
  Object.assign(tables[language], table);
}

// Every text of a language as it stands (for checks of the wording).
export const messageTable = (language) => ({ ...tables[language] });

export function language() {
  return current;
}

export function setLanguage(lang) {
  if (!tables[lang] || lang === current) return;
  current = lang;
  if (globalThis.document) document.documentElement.lang = lang;
  for (const f of listeners) f(lang);
}

export function onLanguageChange(f) {
  listeners.add(f);
  return () => listeners.delete(f);
}

// The text of `key` with {name} placeholders filled from `params`.
export function t(key, params) {
  const text = tables[current][key] ?? tables.en[key] ?? tables.ja[key] ?? key;
  if (!params) return text;
  return text.replace(/\{(\w+)\}/g, (all, name) => (name in params ? String(params[name]) : all));
}

// Plural rules per page language, made once each.
const pluralRules = new Map();
function pluralCategory(count) {
  if (!pluralRules.has(current)) {
    let rules = null;
    try {
      rules = new Intl.PluralRules(current);
    } catch (e) { /* no Intl: every count but 1 is "other" */ }
    pluralRules.set(current, rules);
  }
  const rules = pluralRules.get(current);
  return rules ? rules.select(count) : count === 1 ? 'one' : 'other';
}

// The text of `key.one` / `key.other` (or any other plural category the
// language has) for `count`, with {count} and `params` filled in.
export function tn(key, count, params) {
  const all = { count, ...params };
  const exact = `${key}.${pluralCategory(count)}`;
  const has = (k) => k in tables[current] || k in tables.en;
  return t(has(exact) ? exact : `${key}.other`, all);
}

// The language a page starts in without a saved choice: the system language
// the program reports ("ja", "en"), else what the engine's own tag says.
export function startLanguage(systemLanguage, engineTag) {
  if (typeof systemLanguage === 'string' && tables[systemLanguage]) return systemLanguage;
  return pickLanguage(engineTag);
}
