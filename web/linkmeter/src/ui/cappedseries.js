// A level history's points: bounded however long a repeat survey runs.
export const HISTORY_POINTS = 600;

// The points kept: appends and drops the oldest past `cap`.
export function cappedSeries(cap = HISTORY_POINTS) {
  const xs = [];
  const ys = [];
  return {
    push(x, y) {
      xs.push(x);
      ys.push(y);
      if (xs.length > cap) {
        xs.splice(0, xs.length - cap);
        ys.splice(0, ys.length - cap);
      }
    },
    data: () => [xs, ys],
    count: () => xs.length,
  };
}
