// Charts on uPlot: channel levels as bars, and a live level history, in
// the palette's colours (legends beside them use the same, style.css
// .swatch.c-*).
import uPlot from 'uplot';
import { timeTicks, legendTime } from './timeaxis.js';
import { barRange, historyRange } from './chartscales.js';
import { t } from '../i18n/i18n.js';
import { PALETTE, bandFill } from './palette.js';

const width = (el) => Math.max(320, Math.min(el.clientWidth || 640, 1100));

// A uPlot plugin painting the level class bands ({name, from, to}, as
// thresholds.js levelBands gives them) behind the series; `bands()` is asked
// on every draw, so changed thresholds show at the next redraw.
export function bandsPlugin(bands) {
  return {
    hooks: {
      drawClear: (u) => {
        const { ctx, bbox } = u;
        ctx.save();
        for (const b of bands()) {
          const y0 = u.valToPos(b.to, 'y', true);
          const y1 = u.valToPos(b.from, 'y', true);
          ctx.fillStyle = bandFill(b.name);
          ctx.fillRect(bbox.left, y0, bbox.width, y1 - y0);
        }
        ctx.restore();
      },
    },
  };
}

// Bars of the maximum level seen per channel: plain, recommended (green) and
// the site's own channels (blue), with the mean as points and the bands
// `bands()` gives behind (the channel's suitability). Returns {update(channels, max, mean, marked, inUse),
// redraw(), destroy()}.
export function levelBars(el, labels, bands) {
  const bars = uPlot.paths.bars({ size: [0.7, 40] });
  const bar = (label, fill, stroke) => ({ label, paths: bars, points: { show: false }, fill, stroke });
  const opts = {
    width: width(el),
    height: 260,
    scales: { x: { time: false, range: (u, min, max) => barRange(min, max) }, y: { range: [0, 255] } },
    axes: [{ label: labels.channel, incrs: [1, 2, 5, 10, 20, 50, 100] }, { label: labels.level }],
    legend: { show: false },
    cursor: { show: false },
    plugins: [bandsPlugin(bands)],
    series: [
      { label: labels.channel },
      bar(labels.level, PALETTE.level, PALETTE.levelEdge),
      bar(labels.quiet, PALETTE.good, PALETTE.goodText),
      bar(labels.inUse, PALETTE.inUse, PALETTE.inUseEdge),
      { label: labels.mean, stroke: '#222', width: 0, points: { show: true, size: 6, fill: '#fff', stroke: '#222' } },
    ],
  };
  const plot = new uPlot(opts, [[], [], [], [], []], el);
  return {
    update(channels, max, mean, marked, inUse) {
      const pick = (set, yes) => max.map((v, i) => (set.has(channels[i]) === yes ? v : null));
      const markedSet = new Set(marked);
      const own = new Set(inUse);
      const plain = max.map((v, i) => (markedSet.has(channels[i]) || own.has(channels[i]) ? null : v));
      plot.setData([Float64Array.from(channels), plain, pick(markedSet, true), pick(own, true), mean]);
    },
    redraw: () => plot.redraw(),
    destroy: () => plot.destroy(),
  };
}

// A level history (0..255 over time) for one hop; add(time s, level).
// `bands()`, when given, gives the level class bands drawn behind.
export function levelHistory(el, title, bands) {
  const xs = [];
  const ys = [];
  const opts = {
    title,
    width: Math.min(width(el), 520),
    height: 160,
    scales: { x: { time: true, range: (u, min, max) => historyRange(u.data[0], min, max) }, y: { range: [0, 255] } },
    axes: [{ values: timeTicks }, {}],
    legend: { show: false },
    plugins: bands ? [bandsPlugin(bands)] : [],
    series: [{ label: t('chart.time'), value: legendTime }, { label: t('survey.levelHistory'), stroke: PALETTE.accent, width: 2, spanGaps: false }],
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
