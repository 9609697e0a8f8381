// The site logic the command line runs (JavaScriptCore, no DOM): routes from
// a registration, per-hop statistics and verdicts, the site report summary,
// weak links, the one rule for a hop heard on several routes, the channel
// recommendation, the decoders of recorded data and event logs and the
// limits, all from the page's own modules. cli.js bundles this file as
// LinkmeterCli.site; the program calls its functions by name with plain
// JSON arguments and reads plain JSON back (tools/cli SiteLogic.h lists
// them), so nothing here may answer a Map, a Set or a typed array.
import { buildRoute, RouteError } from './device/route.js';
import { resultFromStats, addAnswer } from './site/survey.js';
import { siteTargets as bookTargets, newSurvey, withResult, finished, failedResult, resultKey } from './site/sitesurveybook.js';
import { summarize } from './site/reportsummary.js';
import { weakestLinks as reportLinks } from './site/weaklinks.js';
import { DEFAULT_THRESHOLDS, thresholdProblem as problemOf } from './site/thresholds.js';
import { parseChannels as parseChannelText, emptyTally, addReadings, endRound, siteChannels, channelStats, recommend } from './site/channels.js';
import { compareSiteSurveys as compareSurveys } from './site/compare.js';
import { DeviceError } from './device/api.js';
import { setLanguage, language } from './i18n/i18n.js';
import { DEFAULT_PROBES } from './site/probedefaults.js';
import * as siteLimits from './site/limits.js';
import { plainHops } from './site/hopmerge.js';
import { decodeRecorded, recordedTable as recordedRows, RecordedError } from './device/recorded.js';
import { logRows, logTable } from './device/eventlog.js';
import { channelTypes } from './device/native.js';
import { timeText, utcTimeText } from './ui/formats.js';
import { judgeAcceptance } from './site/acceptance.js';
import { describeAcceptance } from './site/acceptancetexts.js';
import { DEFAULT_PROFILE, parseProfile } from './site/acceptanceprofile.js';

export { levelClass, batteryClass } from './site/quality.js';
export { hopVerdict, routeVerdict, VERDICTS } from './site/linkstats.js';
// Whether a base unit ({model}) refuses RSETF, so its routes must come from a file.
export { refusesRegistration } from './page/surveyrules.js';
// The probes per route a survey sends unless told otherwise.
export const defaultProbes = () => DEFAULT_PROBES;
// The limits of what a technician may ask for (site/limits.js).
export const limits = () => ({ ...siteLimits });

// A level histogram as [level, count] pairs of the levels seen.
function histogram(bins) {
  const out = [];
  for (let v = 0; v < bins.length; v++) if (bins[v]) out.push([v, bins[v]]);
  return out;
}

function plainStats(stats) {
  if (!stats) return stats;
  const { bins, ...rest } = stats;
  return { ...rest, levels: histogram(bins) };
}

// Statistics back in the page's form: `levels` pairs, or `bins` as JSON
// made of a typed array ({"0": n, ...}) or a plain array.
function revivedStats(stats) {
  if (!stats || typeof stats !== 'object') return stats;
  const bins = new Uint32Array(256);
  if (Array.isArray(stats.levels)) {
    for (const [v, n] of stats.levels) if (v >= 0 && v < bins.length) bins[v] += n;
  } else if (stats.bins && typeof stats.bins === 'object') {
    for (const [v, n] of Object.entries(stats.bins)) if (v >= 0 && v < bins.length) bins[v] = n;
  } else {
    return stats;
  }
  const { levels, ...rest } = stats;
  return { ...rest, bins };
}

function revivedSurvey(survey) {
  if (!survey || !Array.isArray(survey.results)) return survey;
  const results = survey.results.map((r) => ({ ...r, hops: (r.hops || []).map((hop) => ({ ...hop, stats: revivedStats(hop.stats) })) }));
  return { ...survey, results };
}

// A judged result with its statistics in plain form.
function plainResult(result) {
  return { ...result, hops: result.hops.map((hop) => (hop.stats ? { ...hop, stats: plainStats(hop.stats) } : hop)) };
}

// The boundaries of `options`, the page's defaults without; unusable ones
// are refused rather than judged by.
function thresholdsOf(options) {
  const th = options && options.thresholds;
  if (!th) return DEFAULT_THRESHOLDS;
  const problem = problemOf(th);
  if (problem) throw new RangeError('thresholds: ' + problem);
  return th;
}

const whenOf = (options) => new Date(options && Number.isFinite(options.when) ? options.when : Date.now());

export const defaultThresholds = () => DEFAULT_THRESHOLDS;
export const defaultProfile = () => DEFAULT_PROFILE;
// A profile from a file's text; a RangeError says what is wrong with it.
export const profileFromText = (text) => parseProfile(text);
export const thresholdProblem = (th) => problemOf(th);
export const siteTargets = (regInfo) => bookTargets(regInfo);
// Every repeater and remote unit with the names the page shows it by.
export { namedUnits } from './site/names.js';
export const route = (regInfo, target) => buildRoute(regInfo, target);

// Every route of `targets` (default: every remote unit) in one call, so a
// large registration crosses into the script once; a target whose route the
// registration cannot give has {target, error: the RouteError code} instead.
export function siteRoutes(regInfo, targets) {
  return (targets || bookTargets(regInfo)).map((target) => {
    try {
      return { target, route: buildRoute(regInfo, target) };
    } catch (e) {
      if (e instanceof RouteError) return { target, error: e.code };
      throw e;
    }
  });
}
export const parseChannels = (text) => parseChannelText(text);

// The statistics over `probes` ({answer, when}) of the route to `target`,
// judged as the page judges a route survey.
function judgedRoute(regInfo, target, probes, at, th) {
  const r = buildRoute(regInfo, target);
  let stats = [];
  for (const p of probes || []) stats = addAnswer(r, stats, p && p.answer, Number.isFinite(p && p.when) ? p.when : at.getTime());
  const last = probes && probes.length ? probes[probes.length - 1].answer : null;
  return resultFromStats(r, stats, last, at, th);
}

export function routeResult(regInfo, target, probes, options) {
  return plainResult(judgedRoute(regInfo, target, probes, whenOf(options), thresholdsOf(options)));
}

// A unit of the report's summary without its whole result (the survey's
// results list has it): the class and the weakest hop by name.
function plainUnit(u) {
  const { result, hop, ...rest } = u;
  return { ...rest, key: resultKey(result), label: result.target.label, serial: result.target.serial, status: result.status,
    hop: hop ? { kind: hop.kind, num: hop.num, label: hop.label, serial: hop.serial } : null };
}

// One unit's result; a unit whose survey could not be sent (`failed`: the
// program's failure object or text), or whose route the registration cannot
// give, fails as it does in the page's site survey.
function unitResult(regInfo, unit, known, at, th) {
  if (unit.failed !== undefined && unit.failed !== null) {
    const detail = typeof unit.failed === 'object' ? unit.failed : { msg: String(unit.failed) };
    return failedResult(regInfo, known, new DeviceError(detail), at);
  }
  try {
    return judgedRoute(regInfo, unit.target, unit.probes, at, th);
  } catch (e) {
    // Anything else is a caller's mistake, which must not pass for a unit's failure.
    if (e instanceof RouteError) return failedResult(regInfo, known, e, at);
    throw e;
  }
}

// A whole-site survey as the page's site survey keeps it: one result per
// unit in the order of the targets, and the report's summary of them.
export function siteSurvey(regInfo, units, options = {}) {
  return inLanguage(options.language, () => judgedSite(regInfo, units, options));
}

// f() with the page's sentences in `lang`, this call only.
function inLanguage(lang, f) {
  if (!lang || lang === language()) return f();
  const before = language();
  setLanguage(lang);
  try {
    return f();
  } finally {
    setLanguage(before);
  }
}

// The survey in the page's form, every unit's probes judged; it began at
// `options.started` when given (the recorded survey's start), else `at`.
function surveyOf(regInfo, units, options, th, at) {
  const targets = options.targets || bookTargets(regInfo);
  const started = Number.isFinite(options.started) ? options.started : at.getTime();
  let survey = newSurvey({ prov: options.base ? { base: options.base } : null, reg: { regInfo }, targets, now: started });
  for (const u of units || []) {
    const known = targets.find((x) => x.group === u.target.group && x.kind === u.target.kind && x.num === u.target.num) || u.target;
    survey = withResult(survey, unitResult(regInfo, u, known, at, th));
  }
  return finished(survey, { stopped: Boolean(options.stopped), now: at.getTime() });
}

function judgedSite(regInfo, units, options) {
  const th = thresholdsOf(options);
  const targets = options.targets || bookTargets(regInfo);
  const survey = surveyOf(regInfo, units, options, th, whenOf(options));
  const summary = summarize(survey, th);
  return {
    targets,
    results: survey.results.map(plainResult),
    complete: survey.complete,
    summary: { ...summary, units: summary.units.map(plainUnit) },
    hops: plainHops(survey.results, { base: options.base }, th),
  };
}

// A site's acceptance against `options.profile` (the default profile
// without) from every unit's probes, with its words in `options.language`:
// the site verdict, counts, each unit's verdict, rule, cause and remedies,
// and the ranked work. `options.evidence` is what the site records add
// (the flows' diagnosisEvidence), `options.started` the survey's start.
export function acceptance(regInfo, units, options = {}) {
  return inLanguage(options.language, () => {
    const th = thresholdsOf(options);
    const at = whenOf(options);
    const survey = surveyOf(regInfo, units, options, th, at);
    const judged = judgeAcceptance(survey, { profile: options.profile, thresholds: th, channels: options.channels, waivers: options.waivers, evidence: options.evidence, at: at.getTime() });
    return describeAcceptance(judged);
  });
}

// Weakest links of judged results (routeResult or siteSurvey answers).
export const weakestLinks = (results, count = 5, th) => reportLinks(results, count, th || DEFAULT_THRESHOLDS);

// Two site surveys ({prov, results}, results as siteSurvey answers them)
// compared hop by hop as the page's history view and report compare them.
export const compareSiteSurveys = (previous, current, options) =>
  compareSurveys(revivedSurvey(previous), revivedSurvey(current), options || {});

// A channel scan of `rounds` rounds of readings, tallied and ranked as the
// page's channel view does; the site's own channels are never recommended.
export function channelScan(regInfo, rounds, options = {}) {
  let tally = emptyTally();
  const list = rounds || [];
  list.forEach((readings, i) => {
    tally = addReadings(tally, readings || []);
    tally = endRound(tally, !(options.cutOff && i === list.length - 1));
  });
  const channels = channelStats(tally, siteChannels(regInfo));
  return { rounds: tally.rounds, partial: tally.partial, channels, recommendation: recommend(channels, options.count || 3) };
}

// A download (the EISUC/EWSUC answer: Header, Data, FirstDataTime) as the
// page's recorded-data CSV has it, its values written by the program's
// channel types: {header, rows, decoded: {interval, chTypes, count, first,
// last}}, or {error: 'header' | 'width'} for bytes that are no recording.
// Times in UTC unless options.zone is 'local' (this computer's, as the page).
export function recordedTable(answer, options = {}) {
  const types = channelTypes();
  try {
    const decoded = decodeRecorded(answer || {}, types);
    const { header, rows } = recordedRows(decoded, types, options.zone === 'local' ? timeText : utcTimeText);
    const { interval, chTypes, count, first, last } = decoded;
    return { header, rows, decoded: { interval, chTypes, count, first, last } };
  } catch (e) {
    if (e instanceof RecordedError) return { error: e.code };
    throw e;
  }
}

// An event log (the ELOGS answer's `logs`) as the page's event-log table,
// newest first: {header, rows}.
export function eventLog(answer) {
  return logTable(logRows(answer && Array.isArray(answer.logs) ? answer.logs : []));
}
