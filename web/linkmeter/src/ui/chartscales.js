// Axis ranges of the page's charts, apart from the chart library so they
// can be checked: bars whole at both ends, and a time axis that stays a
// readable span when there is one point or none.

// Channel bars are centred on their channel: half a channel either side
// keeps the first and last bars whole.
export function barRange(min, max) {
  if (!Number.isFinite(min) || !Number.isFinite(max)) return [-0.5, 0.5];
  return [min - 0.5, max + 0.5];
}

// A time range (seconds) at least `span` wide around the data; with no data,
// the `span` before now.
export function timeRange(min, max, span = 60, now = Date.now() / 1000) {
  if (!Number.isFinite(min) || !Number.isFinite(max)) return [now - span, now];
  if (max - min >= span) return [min, max];
  const middle = (min + max) / 2;
  return [middle - span / 2, middle + span / 2];
}

// The time range of a history from its own points (`xs`, ascending): the
// chart library stretches a single point over a thousand days before asking.
export function historyRange(xs, min, max, span = 60, now = Date.now() / 1000) {
  const points = Array.from(xs || []).filter(Number.isFinite);
  if (!points.length) return timeRange(min, max, span, now);
  return timeRange(points[0], points[points.length - 1], span, now);
}

// The time range of a trend across visits (`xs` seconds, ascending): at
// least a day around the points, so one visit is not stretched over years,
// and a twentieth of the span either side so no point sits on an edge.
export const TREND_SPAN = 86400;
export function trendRange(xs, min, max, now = Date.now() / 1000) {
  const [from, to] = historyRange(xs, min, max, TREND_SPAN, now);
  const pad = (to - from) / 20;
  return [from - pad, to + pad];
}
