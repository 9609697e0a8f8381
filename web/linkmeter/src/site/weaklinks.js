// The links of a site survey: a link is the hop between two units (the base
// unit or a repeater, and the next unit on the route). Many routes share the
// first links, so each link is listed once with the units whose surveys went
// through it; its level is the lowest any of those surveys measured, its
// verdict the worst, and its probes those of every survey through it.
import { levelClass, levelPoor } from './quality.js';
import { DEFAULT_THRESHOLDS } from './thresholds.js';
import { worse } from './linkstats.js';

const BASE = { kind: 'base', num: 0, label: '' };

function end(hop) {
  return hop ? { kind: hop.kind, num: hop.num, label: hop.label } : BASE;
}

export function linkKey(groupIndex, from, to) {
  return `${groupIndex}:${from.kind}${from.num}>${to.kind}${to.num}`;
}

function addReading(links, r, i) {
  const hop = r.hops[i];
  const from = end(r.hops[i - 1]);
  const to = end(hop);
  const key = linkKey(r.group.index, from, to);
  let link = links.get(key);
  if (!link) {
    link = { key, group: r.group.index, from, to, level: hop.reading.level, readings: 0, asked: 0, answered: 0, verdict: 'good', units: [] };
    links.set(key, link);
  }
  link.level = Math.min(link.level, hop.reading.level);
  link.readings += 1;
  if (hop.figures) {
    link.asked += hop.figures.asked;
    link.answered += hop.figures.answered;
  }
  if (hop.verdict && hop.verdict !== 'none' && hop.verdict !== 'silent') link.verdict = worse(link.verdict, hop.verdict);
  if (!link.units.some((u) => u.serial === r.target.serial)) {
    link.units.push({ label: r.target.label, serial: r.target.serial, answered: r.status === 'ok' });
  }
}

// Every link some survey measured, weakest first (ties in route order);
// results judged (survey.js judgeResult) under boundaries `th`.
export function surveyedLinks(results, th = DEFAULT_THRESHOLDS) {
  const links = new Map();
  for (const r of results) {
    r.hops.forEach((hop, i) => {
      if (hop.reading) addReading(links, r, i);
    });
  }
  return [...links.values()]
    .map((l) => ({ ...l, levelClass: levelClass(l.level, th), poor: levelPoor(l.level, th) || ['weak', 'bad'].includes(l.verdict) }))
    .sort((a, b) => a.level - b.level);
}

// The links a report lists: every weak or bad one, and at least the
// `count` weakest.
export function weakestLinks(results, count = 5, th = DEFAULT_THRESHOLDS) {
  return surveyedLinks(results, th).filter((l, i) => l.poor || i < count);
}
