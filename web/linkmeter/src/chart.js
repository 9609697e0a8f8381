// Charts on uPlot: channel levels as bars, and a live level history.
import uPlot from 'uplot';
import { timeTicks, legendTime } from './timeaxis.js';
import { barRange, historyRange } from './chartscales.js';
import { t } from './i18n.js';

const width = (el) => Math.max(320, Math.min(el.clientWidth || 640, 1100));

// Bars of the level per channel; `marked` channels (the quietest) in a
// second colour. Returns {update(channels, levels, marked), destroy()}.
export function levelBars(el, labels) {
  const bars = uPlot.paths.bars({ size: [0.7, 40] });
  const opts = {
    width: width(el),
    height: 260,
    scales: { x: { time: false, range: (u, min, max) => barRange(min, max) }, y: { range: [0, 255] } },
    axes: [{ label: labels.channel, incrs: [1, 2, 5, 10, 20, 50, 100] }, { label: labels.level }],
    legend: { show: false },
    cursor: { show: false },
    series: [
      { label: labels.channel },
      { label: labels.level, paths: bars, points: { show: false }, fill: '#7a8fa8', stroke: '#52667d' },
      { label: labels.quiet, paths: bars, points: { show: false }, fill: '#2e9d4f', stroke: '#1e6e36' },
    ],
  };
  const plot = new uPlot(opts, [[], [], []], el);
  return {
    update(channels, levels, marked) {
      const markedSet = new Set(marked);
      const plain = levels.map((v, i) => (markedSet.has(channels[i]) ? null : v));
      const quiet = levels.map((v, i) => (markedSet.has(channels[i]) ? v : null));
      plot.setData([Float64Array.from(channels), plain, quiet]);
    },
    destroy: () => plot.destroy(),
  };
}

// A level history (0..255 over time) for one hop; add(time s, level).
export function levelHistory(el, title) {
  const xs = [];
  const ys = [];
  const opts = {
    title,
    width: Math.min(width(el), 520),
    height: 160,
    scales: { x: { time: true, range: (u, min, max) => historyRange(u.data[0], min, max) }, y: { range: [0, 255] } },
    axes: [{ values: timeTicks }, {}],
    legend: { show: false },
    series: [{ label: t('chart.time'), value: legendTime }, { label: t('survey.levelHistory'), stroke: '#1f4e79', width: 2, spanGaps: false }],
  };
  const plot = new uPlot(opts, [xs, ys], el);
  return {
    add(time, level) {
      xs.push(time);
      ys.push(level === undefined ? null : level);
      plot.setData([xs, ys]);
    },
    count: () => xs.length,
    destroy: () => plot.destroy(),
  };
}
