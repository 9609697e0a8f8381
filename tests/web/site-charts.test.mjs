// The channel bars' and level histories' axis ranges, and the hover time in
// the 24-hour clock.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { barRange, timeRange, historyRange, trendRange } from '../../web/linkmeter/src/ui/chartscales.js';
import { legendTime, clockText } from '../../web/linkmeter/src/ui/timeaxis.js';

test('the first and last channel bars are whole; a short or one-point history spans a readable minute', () => {
  const bars = [
    [0, 39, [-0.5, 39.5]],
    [12, 12, [11.5, 12.5]], // one channel
    [null, null, [-0.5, 0.5]], // nothing scanned yet
  ];
  for (const [min, max, range] of bars) assert.deepEqual(barRange(min, max), range, `${min}..${max}`);
  const t0 = 1796785474;
  const times = [
    [t0, t0, [t0 - 30, t0 + 30]], // one point: not a span of years
    [t0, t0 + 10, [t0 - 25, t0 + 35]],
    [t0, t0 + 600, [t0, t0 + 600]], // wide enough as it is
    [null, null, [t0 - 60, t0]], // no points yet
  ];
  for (const [min, max, range] of times) assert.deepEqual(timeRange(min, max, 60, t0), range, `${min}..${max}`);
  // The chart asks with one point stretched over a thousand days: the points decide.
  assert.deepEqual(historyRange([t0], t0, t0 + 86400000, 60, t0), [t0 - 30, t0 + 30]);
  assert.deepEqual(historyRange([t0, null, t0 + 120], t0, t0 + 120, 60, t0), [t0, t0 + 120]);
  assert.deepEqual(historyRange([], null, null, 60, t0), [t0 - 60, t0]);
  // A trend across visits: one visit spans a day around it, not years.
  const day = 86400;
  assert.deepEqual(trendRange([t0], t0 - 1000 * day, t0 + 1000 * day, t0), [t0 - day / 2 - day / 20, t0 + day / 2 + day / 20]);
  const [from, to] = trendRange([t0, t0 + 30 * day], t0, t0 + 30 * day, t0);
  assert.ok(from < t0 && to > t0 + 30 * day && to - from < 34 * day, `${from}..${to}`);
});

test('the hover time reads in the 24-hour clock', () => {
  const at = (h, m, s) => new Date(2026, 11, 9, h, m, s).getTime() / 1000;
  const cases = [[at(15, 4, 5), '2026-12-09 15:04:05'], [at(0, 0, 0), '2026-12-09 00:00:00'], [null, '--'], [NaN, '--']];
  for (const [v, text] of cases) assert.equal(legendTime(null, v), text, String(v));
  assert.equal(clockText(at(23, 59, 59)), '2026-12-09 23:59:59');
});
