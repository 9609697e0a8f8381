// What the site records know beyond this survey, made ready for the
// diagnosis: the map's geometry and the site's propagation fit, each unit's
// earlier surveys, the channel scan near the survey and the base unit's
// log. The page and the command line gather the same plain JSON
// (records/diagnosisgather.js) and hand it to the acceptance; this module
// turns it into what the causes are read from. Pure logic.
import { serialKey } from './compare.js';
import { siteGeometry, hopLengths, siteFit, plannedPredictions } from './sitegeometry.js';
import { suitability } from './channels.js';

const finite = (v) => typeof v === 'number' && Number.isFinite(v);

// A scan older than this before the survey says nothing of its channels.
export const SCAN_WINDOW_MS = 24 * 3600 * 1000;
// Log events older than this before the survey are not evidence.
export const LOG_WINDOW_MS = 30 * 24 * 3600 * 1000;

// Each unit's earlier surveys (unitTrend points merged per survey, before
// the survey judged): {surveys, answered, lastAnswer {at, level, battery},
// lastBattery {at, battery}}.
export function unitHistory(points, before) {
  const earlier = (points || []).filter((p) => finite(p.surveyStartedAt) && p.surveyStartedAt < before)
    .sort((a, b) => a.surveyStartedAt - b.surveyStartedAt);
  const heard = earlier.filter((p) => p.answered > 0);
  const last = heard[heard.length - 1] || null;
  const withBattery = heard.filter((p) => finite(p.battery));
  const battery = withBattery[withBattery.length - 1] || null;
  return {
    surveys: earlier.length,
    answered: heard.length,
    lastAnswer: last ? { at: last.surveyStartedAt, level: finite(last.levelAvg) ? Math.round(last.levelAvg) : null, sent: last.sent, answeredProbes: last.answered } : null,
    lastBattery: battery ? { at: battery.surveyStartedAt, battery: battery.battery } : null,
  };
}

// The channel the scan heard: freq → {freq, n, mean, max, class}.
function scanChannels(scan, th) {
  const out = new Map();
  for (const c of (scan && scan.channels) || []) {
    if (c && finite(c.freq) && finite(c.max)) out.set(c.freq, { ...c, suitability: suitability(c.max, th) });
  }
  return out;
}

// Events of the log that name a unit, by its name (at least three letters).
export function eventsNaming(events, name) {
  const n = String(name || '').trim().toUpperCase();
  if (n.length < 3) return [];
  return (events || []).filter((e) => String(e.text || '').toUpperCase().includes(n));
}

// The diagnosis' view of the evidence for `survey` (the page's site
// survey) under boundaries `th`: {geo, fit, lengths (hop key → {metres,
// installed}), predictions, history (serial key → unitHistory), scan
// {at, channels} or null, events [{at, text}]}.
export function evidenceFor(survey, evidence, th) {
  const e = evidence || {};
  const started = typeof survey.started === 'number' ? survey.started : Infinity;
  const base = survey.prov && survey.prov.base ? survey.prov.base.serial : null;
  // A site without plans has no geometry at all (nothing to fit).
  const geo = e.map && (e.map.plans || []).length ? siteGeometry({ regInfo: survey.regInfo, baseSerial: base, map: e.map }) : null;
  const fit = geo ? siteFit(geo, survey) : null;
  const lengths = new Map(geo ? hopLengths(geo).map((h) => [h.key, h]) : []);
  const history = new Map(Object.entries(e.history || {}).map(([k, points]) => [serialKey(k), unitHistory(points, started)]));
  const scanAt = e.scan && finite(e.scan.at) ? e.scan.at : null;
  const scan = scanAt !== null && scanAt <= (survey.finished || Date.now()) + 60000 && scanAt >= started - SCAN_WINDOW_MS
    ? { at: scanAt, channels: scanChannels(e.scan, th) } : null;
  const events = (e.events || []).filter((x) => finite(x.at) && x.at <= (survey.finished || started) && x.at >= started - LOG_WINDOW_MS);
  return { geo, fit, lengths, predictions: geo && fit ? plannedPredictions(geo, fit) : [], history, scan, events, given: Boolean(evidence) };
}

// The keys of the hop reaching hop `i` of a result, as the map keys hops.
export function hopKeyOf(result, i) {
  const to = serialKey(result.hops[i].serial);
  const from = i === 0 ? 'base' : serialKey(result.hops[i - 1].serial);
  return `${from}>${to}`;
}
