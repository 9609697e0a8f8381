// An acceptance in words, in the page's language: the site verdict, each
// unit's verdict, deciding rule, findings and remedies, and the profile's
// rules. The command line prints these; the page and the report show them.
import { addMessages, t } from '../i18n/i18n.js';
import { lossBound95, profileTitle } from './acceptanceprofile.js';
import ja from '../i18n/acceptance-ja.js';
import en from '../i18n/acceptance-en.js';

addMessages('ja', ja);
addMessages('en', en);

const className = (cls) => t('quality.' + cls);

export const siteVerdictText = (verdict) => t('acceptance.site.' + verdict);
export const unitVerdictText = (u) => t(u.waiver ? 'acceptance.verdict.waived' : 'acceptance.verdict.' + u.verdict);
export const ruleNameText = (rule) => (rule ? t('acceptance.ruleName.' + rule) : '');
export const countsText = (c) => t('acceptance.counts', c);

export function findingText(f) {
  if (f.rule === 'median' && f.silent) return t('acceptance.finding.medianSilent', f);
  const params = f.cls ? { ...f, cls: className(f.cls) } : f;
  return t('acceptance.finding.' + f.rule, params);
}

export function remedyText(r) {
  if (r.kind === 'changeChannel' && !r.channels) return t('acceptance.remedy.changeChannelNoScan', r);
  return t('acceptance.remedy.' + r.kind, r);
}

// Every rule of `profile` in words and figures (boundaries from `th`).
export function profileRules(profile, th) {
  const params = { ...profile, cls: className(profile.hopMedian), fair: th.level.fair, weak: th.level.weak, ok: th.battery.ok,
    bound: Math.round(lossBound95(profile.probes) * 100) };
  return ['complete', 'probes', 'median', 'minimum', 'loss', 'battery', 'hops', 'repeaterLoad', 'margin']
    .map((rule) => ({ rule, text: t('acceptance.rule.' + rule, params) }));
}

// The acceptance with its words added: {siteText, countsText, profileTitle,
// rules, units: [{..., verdictText, ruleText, findingTexts, remedyTexts}]}.
export function describeAcceptance(a) {
  return {
    ...a,
    profileTitle: profileTitle(a.profile),
    siteText: siteVerdictText(a.verdict),
    countsText: countsText(a.counts),
    rules: profileRules(a.profile, a.thresholds),
    units: a.units.map((u) => ({ ...u, verdictText: unitVerdictText(u), ruleText: ruleNameText(u.rule),
      findingTexts: u.findings.map(findingText), remedyTexts: u.remedies.map(remedyText) })),
  };
}
