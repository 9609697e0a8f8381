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
