// The acceptance the page shows of a survey, judged the same way on every
// tab: the technician's profile, the boundaries in force, the channel
// advice of the same base unit, the visit's waivers and the records'
// evidence (map, earlier surveys, scan, log) once gathered. Kept per
// survey until one of those changes.
import { judgeAcceptance } from '../site/acceptance.js';
import { loadProfile } from '../site/acceptanceprofile.js';
import { describeAcceptance } from '../site/acceptancetexts.js';
import { currentThresholds } from '../site/thresholds.js';
import { evidenceOf } from './evidencestore.js';
import { language } from '../i18n/i18n.js';

const kept = new WeakMap(); // survey → {inputs, value}

const sameInputs = (a, b) => a && Object.keys(b).every((k) => a[k] === b[k]);

// The channels the channel advice recommends for the survey's base unit.
export function adviceFor(s, survey) {
  const a = s.channelAdvice;
  return a && survey.prov && a.base === String(survey.prov.base.serial) ? a.channels : [];
}

// The described acceptance of `survey` (null before any result). waivers:
// the visit's waiver records; until: the end of a past visit; profile: the
// one a past visit was judged by (the technician's own when not given).
export function acceptanceNow(ctx, survey, { waivers = [], until = Infinity, profile = null } = {}) {
  if (!survey || !survey.results || !survey.results.length) return null;
  const s = ctx.store.get();
  const inputs = {
    profile: profile || s.acceptanceProfile || loadProfile(ctx.storage), th: currentThresholds(s), channels: adviceFor(s, survey),
    // A running survey publishes every answer: its evidence is read once it ends.
    evidence: survey.running ? null : evidenceOf(ctx, survey, { until }), results: survey.results, language: language(),
    waivers: waivers.map((w) => `${w.id}:${w.action}:${w.at}`).join(','),
  };
  const k = kept.get(survey);
  if (k && sameInputs(k.inputs, inputs)) return k.value;
  const value = describeAcceptance(judgeAcceptance(survey, { profile: inputs.profile, thresholds: inputs.th, channels: inputs.channels, waivers, evidence: inputs.evidence || null }));
  kept.set(survey, { inputs, value });
  return value;
}
