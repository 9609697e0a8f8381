// The links of a site survey: a link is the hop between two units (the base
// unit or a repeater, and the next unit on the route). Many routes share the
// first links, so each link is listed once with the units whose surveys went
// through it, judged by the one rule for a hop heard on several routes
// (hopmerge.js): its level the median of every probe through it, its
// verdict that of all those probes.
import { levelClass, levelPoor } from './quality.js';
import { DEFAULT_THRESHOLDS } from './thresholds.js';
import { mergeHops, hopFiguresOf, linkKey } from './hopmerge.js';

export { linkKey };

const end = ({ kind, num, label }) => ({ kind, num, label: kind === 'base' ? '' : label });

// Every link some survey heard, weakest first (ties in route order);
// results judged (survey.js judgeResult) under boundaries `th`.
export function surveyedLinks(results, th = DEFAULT_THRESHOLDS) {
  return mergeHops(results)
    .map((hop) => ({ hop, figures: hopFiguresOf(hop, th) }))
    .filter(({ figures }) => figures.answered > 0)
    .map(({ hop, figures: f }) => ({
      key: hop.linkKey, group: hop.group, from: end(hop.from), to: end(hop.to), level: f.level, readings: hop.routes,
      asked: f.asked, answered: f.answered, verdict: f.verdict, units: hop.units,
      levelClass: levelClass(f.level, th), poor: levelPoor(f.level, th) || ['weak', 'bad'].includes(f.verdict),
    }))
    .sort((a, b) => a.level - b.level);
}

// The links a report lists: every weak or bad one, and at least the
// `count` weakest.
export function weakestLinks(results, count = 5, th = DEFAULT_THRESHOLDS) {
  return surveyedLinks(results, th).filter((l, i) => l.poor || i < count);
}
