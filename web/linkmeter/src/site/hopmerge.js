// A hop heard on several routes. Routes share their first hops (the base
// unit to a repeater, a repeater to the next), and every route's probes
// measure the same radio link. The one rule, for the report's links, the
// tree and the map, the comparison of visits and the monitor's rounds: a hop
// is one link judged once over every probe of every route through it — the
// level histograms summed, asked and answered summed, and the hop verdict
// rule (linkstats.js) applied to the pooled figures. No route is preferred,
// so neither the order of the routes nor one short or lucky survey moves a
// link; a probe below the weak boundary or a lost one on any route still
// counts against it. docs/link-quality.md states the rule.
//
// A result kept without its probes (a stored survey with only each hop's
// level) counts as one probe at that level. Failed and cancelled surveys
// measured nothing; a hop no probe reached is left out.
import { emptyStats, addProbe, median, hopVerdict } from './linkstats.js';
import { DEFAULT_THRESHOLDS } from './thresholds.js';
import { serialNumber } from '../device/route.js';

const finite = (v) => typeof v === 'number' && Number.isFinite(v);

// A serial as one spelling (upper-case hex without leading zeros), whether
// it came as page text or as the store's number.
export function serialKey(serial) {
  if (typeof serial === 'number' && Number.isInteger(serial)) return (serial >>> 0).toString(16).toUpperCase();
  const n = serialNumber(String(serial || '').trim());
  return n === null ? String(serial || '') : n.toString(16).toUpperCase();
}

// The key of a link by its place in the registration (the tree's key):
// group, then each end's kind and number.
export function linkKey(groupIndex, from, to) {
  return `${groupIndex}:${from.kind}${from.num}>${to.kind}${to.num}`;
}

// One end of a hop: `id` keys it (the serial, so a renumbered registration
// still lines up), `unit` is the serial as the registration writes it.
function endOf(hop, groupIndex) {
  const serial = hop.serial ? serialKey(hop.serial) : '';
  return { id: serial || `${groupIndex}:${hop.kind}${hop.num}`, serial, label: hop.label || '', kind: hop.kind, num: hop.num, unit: hop.serial || '' };
}

function baseEnd(base) {
  const serial = base && base.serial ? serialKey(base.serial) : '';
  return { id: 'base', serial, label: (base && (base.name || base.serial)) || '', kind: 'base', num: 0, unit: (base && base.serial) || '' };
}

// Two hops' statistics as one: every probe of both.
export function pooledStats(a, b) {
  const bins = Uint32Array.from(a.bins);
  for (let v = 0; v < bins.length; v++) bins[v] += b.bins[v] || 0;
  const pick = (x, y, f) => (x === null ? y : y === null ? x : f(x, y));
  const laterBattery = b.batteryLastAt !== null && (a.batteryLastAt === null || b.batteryLastAt >= a.batteryLastAt);
  const earlierBattery = b.batteryFirstAt !== null && (a.batteryFirstAt === null || b.batteryFirstAt < a.batteryFirstAt);
  return {
    asked: a.asked + b.asked, answered: a.answered + b.answered,
    min: pick(a.min, b.min, Math.min), max: pick(a.max, b.max, Math.max), last: b.last === null ? a.last : b.last, bins,
    batteryFirst: earlierBattery ? b.batteryFirst : a.batteryFirst, batteryFirstAt: earlierBattery ? b.batteryFirstAt : a.batteryFirstAt,
    batteryLast: laterBattery ? b.batteryLast : a.batteryLast, batteryLastAt: laterBattery ? b.batteryLastAt : a.batteryLastAt,
  };
}

// A hop's probes as statistics: its own, or its kept level as one probe.
function statsOf(hop, when) {
  if (hop.stats && hop.stats.bins) return hop.stats;
  const r = hop.reading;
  return addProbe(emptyStats(), r && finite(r.level) ? { level: r.level, battery: r.battery } : null, finite(when) ? when : 0);
}

const measured = (hop) => Boolean((hop.stats && hop.stats.asked > 0) || hop.reading !== undefined);

// Every hop the results measured, in the order the routes first reach them:
// {key, linkKey, group, from, to, stats (pooled), routes, units: [{label,
// serial, answered}]}. `base` ({serial, name}) names the base unit's end.
export function mergeHops(results, { base = null } = {}) {
  const hops = new Map();
  const start = baseEnd(base);
  for (const r of results || []) {
    if (r.status === 'failed' || r.status === 'cancelled') continue;
    const g = r.group ? r.group.index : 0;
    (r.hops || []).forEach((hop, i) => {
      if (!measured(hop)) return;
      const from = i === 0 ? start : endOf(r.hops[i - 1], g);
      const to = endOf(hop, g);
      const key = `${from.id}>${to.id}`;
      const stats = statsOf(hop, r.when);
      let entry = hops.get(key);
      if (!entry) {
        entry = { key, linkKey: linkKey(g, from, to), group: g, from, to, stats, routes: 0, units: [] };
        hops.set(key, entry);
      } else {
        entry.stats = pooledStats(entry.stats, stats);
      }
      entry.routes += 1;
      if (r.target && !entry.units.some((u) => u.serial === r.target.serial)) {
        entry.units.push({ label: r.target.label, serial: r.target.serial, answered: r.status === 'ok' });
      }
    });
  }
  return [...hops.values()];
}

// A merged hop's figures: its median level (null when it never answered),
// the verdict of every probe through it under boundaries `th`, and the
// battery last reported at its far end.
export function hopFiguresOf(hop, th = DEFAULT_THRESHOLDS) {
  const st = hop.stats;
  return { level: median(st), verdict: hopVerdict(st, th), asked: st.asked, answered: st.answered, battery: st.batteryLast };
}

// The merged hops as plain JSON for another host (the command line's
// monitor): each end's serial as the registration writes it.
export function plainHops(results, options = {}, th = DEFAULT_THRESHOLDS) {
  const end = ({ unit, kind, num, label }) => ({ serial: unit, kind, num, label });
  return mergeHops(results, options).map((h) => ({ key: h.key, from: end(h.from), to: end(h.to), routes: h.routes, ...hopFiguresOf(h, th) }));
}
