// Channel lists as the technician types them ("5, 12, 20-25") and the
// quietest channels of a scan.

// Returns the channels in the order typed, without repeats, or throws
// RangeError naming the part that is not a channel 0..255.
export function parseChannels(text) {
  const out = [];
  const seen = new Set();
  for (const part of String(text).split(/[\s,;]+/).filter(Boolean)) {
    const m = /^(\d{1,3})(?:-(\d{1,3}))?$/.exec(part);
    const from = m ? Number(m[1]) : NaN;
    const to = m && m[2] !== undefined ? Number(m[2]) : from;
    if (!m || from > 255 || to > 255 || to < from) throw new RangeError(part);
    for (let c = from; c <= to; c++) {
      if (!seen.has(c)) out.push(c), seen.add(c);
    }
  }
  return out;
}

// The `count` channels with the lowest level (ties: the lower channel).
export function quietest(readings, count = 3) {
  return [...readings]
    .sort((a, b) => a.level - b.level || a.freq - b.freq)
    .slice(0, count)
    .map((r) => r.freq);
}

// Repeated scans. A tally keeps, per channel, the samples taken (n), their
// sum, the maximum seen and the last level; `rounds` counts whole rounds
// and `partial` says the last round was cut off.
export function emptyTally() {
  return { rounds: 0, partial: false, channels: new Map() };
}

// The tally with `readings` ({freq, level}) of the round under way added.
// Readings without a number level are not samples.
export function addReadings(tally, readings) {
  const channels = new Map(tally.channels);
  for (const r of readings) {
    if (typeof r.level !== 'number' || !Number.isFinite(r.level)) continue;
    const c = channels.get(r.freq) || { freq: r.freq, n: 0, sum: 0, max: -Infinity, last: null };
    channels.set(r.freq, { freq: r.freq, n: c.n + 1, sum: c.sum + r.level, max: Math.max(c.max, r.level), last: r.level });
  }
  return { ...tally, channels };
}

// A round ended: whole, or cut off by a cancel or a failure.
export const endRound = (tally, whole) => (whole ? { ...tally, rounds: tally.rounds + 1, partial: false } : { ...tally, partial: true });

// The channels the site's groups already use (registration `regInfo`).
export function siteChannels(regInfo) {
  const groups = regInfo && Array.isArray(regInfo.groups) ? regInfo.groups : [];
  return new Set(groups.map((g) => g.freq).filter((f) => Number.isInteger(f)));
}

// The connected base unit's own channels, when they can be known: from the
// registration in use (`reg`, {regInfo, prov}: the unit's, the sibling's
// once chosen for it, or the routes entered by hand) only while it is this
// base unit's. {known, channels}; another site's registration is no guide.
export function knownSiteChannels(reg, unit) {
  const mine = Boolean(reg && reg.regInfo && reg.prov && unit && reg.prov.base.serial !== '' && reg.prov.base.serial === String(unit.serial || ''));
  return mine ? { known: true, channels: siteChannels(reg.regInfo), source: reg.prov.source } : { known: false, channels: new Set(), source: null };
}

// How suitable a channel is for a new group, by the strongest noise seen
// on it against the link classes: below half the weak boundary it is quiet
// (good), up to the weak boundary noisy, above it busy (as strong as a weak
// link). Lower is better, the reverse of a link's level.
export const SUITABILITY = ['quiet', 'noisy', 'busy'];
export function channelBands(th) {
  const half = Math.round(th.level.weak / 2);
  return [{ name: 'quiet', from: 0, to: half }, { name: 'noisy', from: half, to: th.level.weak }, { name: 'busy', from: th.level.weak, to: 255 }];
}

export function suitability(level, th) {
  const band = channelBands(th).find((b) => level < b.to);
  return band ? band.name : 'busy';
}

// Per channel, in the order scanned: n, mean (one decimal), max, last and
// whether the site uses it.
export function channelStats(tally, inUse = new Set()) {
  return [...tally.channels.values()].map((c) => ({
    freq: c.freq, n: c.n, mean: Math.round((c.sum / c.n) * 10) / 10, max: c.max, last: c.last, inUse: inUse.has(c.freq),
  }));
}

// The ranking rule (docs/link-quality.md): the lowest maximum seen first,
// then the lowest mean, then the lower channel number.
export const byQuiet = (a, b) => a.max - b.max || a.mean - b.mean || a.freq - b.freq;

// The `count` channels to recommend from `stats` (channelStats): the site's
// own channels are never among them. `samples` is the fewest samples any
// recommended channel stands on.
export function recommend(stats, count = 3) {
  const ranked = stats.filter((c) => !c.inUse && c.n > 0).sort(byQuiet).slice(0, count);
  return { channels: ranked.map((c) => c.freq), samples: ranked.length ? Math.min(...ranked.map((c) => c.n)) : 0 };
}
