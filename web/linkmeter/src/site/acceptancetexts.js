// An acceptance in words, in the page's language: the site verdict, each
// unit's verdict, deciding rule, findings and remedies, and the profile's
// rules. The command line prints these; the page and the report show them.
import { addMessages, t } from '../i18n/i18n.js';
import { lossBound95, profileTitle } from './acceptanceprofile.js';
import { timeText } from '../ui/formats.js';
import ja from '../i18n/acceptance-ja.js';
import en from '../i18n/acceptance-en.js';
import diagnosisJa from '../i18n/diagnosis-ja.js';
import diagnosisEn from '../i18n/diagnosis-en.js';

addMessages('ja', { ...ja, ...diagnosisJa });
addMessages('en', { ...en, ...diagnosisEn });

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

const dateText = (ms) => timeText(ms).split(' ')[0];

// The predicted legs of a proposal: "420 m: 131 ± 7; 380 m: 133 ± 7", or
// "3 legs of 825 m: 112 ± 8 each" when they are alike.
export function legsText(legs) {
  const list = legs || [];
  const same = list.length > 1 && list.every((l) => l.metres === list[0].metres && l.level === list[0].level && l.spread === list[0].spread);
  if (same) return t('acceptance.remedyText.legsEqual', { ...list[0], count: list.length });
  return list.map((l) => t('acceptance.remedyText.leg', l)).join('; ');
}

function repeaterText(r) {
  const params = { ...r, legs: legsText(r.predicted), plan: r.planName || '', count: r.repeaters, id: r.proposal };
  if (!r.feasible) return t('acceptance.remedyText.addRepeaterFar', params);
  return t(r.repeaters > 1 ? 'acceptance.remedyText.addRepeatersAt' : 'acceptance.remedyText.addRepeaterAt', params);
}

export function remedyText(r) {
  let text;
  if (r.kind === 'changeChannel' && !r.channels) text = t('acceptance.remedy.changeChannelNoScan', r);
  else if (r.kind === 'addRepeater' && r.proposal) text = repeaterText(r);
  else text = t('acceptance.remedy.' + r.kind, r);
  return r.alternative ? t('acceptance.remedyText.alternative', { text }) : text;
}

// One fact behind a cause in words: times as dates, classes by name.
export function factText(f) {
  const params = { ...f };
  if (typeof f.at === 'number') params.date = dateText(f.at);
  if (f.cls) params.cls = className(f.cls);
  return t('diagnosis.fact.' + f.key, params);
}

export const causeText = (d) => t('diagnosis.cause.' + d.cause);
export const confidenceText = (d) => t('diagnosis.confidence.' + d.confidence);

// A diagnosis with its words: the cause, how sure, and the facts as
// `evidence` (the data stays in `facts`).
export function describeDiagnosis(d) {
  if (!d) return null;
  return { ...d, causeText: causeText(d), causeShort: t('diagnosis.causeShort.' + d.cause), confidenceText: confidenceText(d), line: t('diagnosis.causeLine', { cause: causeText(d), confidence: confidenceText(d) }), evidence: d.facts.map(factText) };
}

// A ranked action in words, with the units it fixes.
export const actionText = (a) => t('acceptance.action', { text: remedyText(a), units: a.units.join(', ') });

// The site's fit in words: its line, what was set aside, its limits; or
// why there is none.
export function fitLines(fit) {
  if (!fit) return [];
  if (!fit.usable) return [t('acceptance.fit.problem.' + fit.problem, { n: fit.n })];
  const slope = fit.slope < 0 ? `− ${-fit.slope}` : `+ ${fit.slope}`;
  const lines = [t('acceptance.fit.line', { ...fit, slope })];
  if (fit.setAside.length) lines.push(t('acceptance.fit.setAside', { hops: fit.setAside.join(', ') }));
  lines.push(t('acceptance.fit.limits'));
  return lines;
}

// Every rule of `profile` in words and figures (boundaries from `th`);
// `prefix` picks the wording ('paper.rule.' for the customer's paper).
export function profileRules(profile, th, prefix = 'acceptance.rule.') {
  const params = { ...profile, cls: className(profile.hopMedian), fair: th.level.fair, weak: th.level.weak, ok: th.battery.ok,
    bound: Math.round(lossBound95(profile.probes) * 100) };
  return ['complete', 'probes', 'median', 'minimum', 'loss', 'battery', 'hops', 'repeaterLoad', 'margin']
    .map((rule) => ({ rule, text: t(prefix + rule, params) }));
}

// The acceptance with its words added: {siteText, countsText, profileTitle,
// rules, fitLines, units: [{..., verdictText, ruleText, findingTexts,
// remedyTexts, marginTexts, diagnosis: {..., causeText, evidence}}],
// fixFirst and gainMargin each with its text}.
export function describeAcceptance(a) {
  return {
    ...a,
    profileTitle: profileTitle(a.profile),
    siteText: siteVerdictText(a.verdict),
    countsText: countsText(a.counts),
    rules: profileRules(a.profile, a.thresholds),
    units: a.units.map((u) => ({ ...u, verdictText: unitVerdictText(u), ruleText: ruleNameText(u.rule),
      findingTexts: u.findings.map(findingText), remedyTexts: u.remedies.map(remedyText),
      marginTexts: (u.marginRemedies || []).map(remedyText), diagnosis: describeDiagnosis(u.diagnosis) })),
    fixFirst: (a.fixFirst || []).map((x) => ({ ...x, text: actionText(x) })),
    gainMargin: (a.gainMargin || []).map((x) => ({ ...x, text: actionText(x) })),
    fitLines: a.propagation ? fitLines(a.propagation) : a.geometry && a.geometry.missing ? [t('acceptance.missing.' + a.geometry.missing)] : [],
  };
}
