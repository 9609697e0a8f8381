// Recorded data as uPlot charts: one per channel in its display unit, over
// time, with zoom (drag a range; double-click resets), pan (Shift+drag or
// the arrow buttons) and mouse-wheel zoom, all charts on one time range.
import uPlot from 'uplot';
import { timeTicks, legendTime } from './timeaxis.js';
import { t } from '../i18n/i18n.js';
import { PALETTE } from './palette.js';

// The chart library's own font list names a dozen families, each looked up
// (and most missed) the first time a chart draws; the system font they
// resolve to here is named alone. style.css gives the legends the same.
const AXIS_FONT = '12px system-ui, sans-serif';
const LABEL_FONT = `bold ${AXIS_FONT}`;
const width = (el) => Math.max(360, Math.min(el.clientWidth || 800, 1200));

// Zooms by the wheel around the cursor and pans by Shift+drag.
function wheelAndPan(group) {
  return {
    hooks: {
      ready(u) {
        const over = u.over;
        over.addEventListener('wheel', (e) => {
          e.preventDefault();
          const { min, max } = u.scales.x;
          const at = u.posToVal(e.offsetX, 'x');
          const k = e.deltaY < 0 ? 0.8 : 1.25;
          group.setRange(at - (at - min) * k, at + (max - at) * k);
        }, { passive: false });
        over.addEventListener('mousedown', (e) => {
          if (!e.shiftKey) return;
          e.stopPropagation();
          const { min, max } = u.scales.x;
          const perPx = (max - min) / over.clientWidth;
          const x0 = e.clientX;
          const move = (m) => group.setRange(min - (m.clientX - x0) * perPx, max - (m.clientX - x0) * perPx);
          const up = () => { document.removeEventListener('mousemove', move); document.removeEventListener('mouseup', up); };
          document.addEventListener('mousemove', move);
          document.addEventListener('mouseup', up);
        }, true);
      },
    },
  };
}

// Channel k's chart, its drag-selection zooming every chart of the group.
function chartOptions(channel, k, title, chartWidth, group) {
  return {
    title,
    width: chartWidth,
    height: 220,
    scales: { x: { time: true } },
    cursor: { sync: { key: 'recorded', setSeries: false }, drag: { x: true, y: false, setScale: true } },
    series: [{ label: t('chart.time'), value: legendTime }, { label: channel.unit || `ch${k + 1}`, stroke: k ? PALETTE.secondChannel : PALETTE.accent, width: 1.5, spanGaps: false }],
    axes: [{ values: timeTicks, font: AXIS_FONT, labelFont: LABEL_FONT }, { label: channel.unit, font: AXIS_FONT, labelFont: LABEL_FONT }],
    plugins: [wheelAndPan(group)],
    hooks: {
      setSelect: [(u) => {
        if (u.select.width <= 0) return;
        group.setRange(u.posToVal(u.select.left, 'x'), u.posToVal(u.select.left + u.select.width, 'x'));
      }],
    },
  };
}

// A channel's values as the chart takes them: no value (NaN) becomes a gap
// (null); a channel without one is handed over as it is.
function withGaps(values) {
  for (let i = 0; i < values.length; ++i) {
    if (Number.isNaN(values[i])) return Array.from(values, (v) => (Number.isNaN(v) ? null : v));
  }
  return values;
}

// Charts for a decoded recording in `el`; labels(k) gives channel k's title.
export function recordedCharts(el, decoded, labels) {
  const plots = [];
  const full = [decoded.first, decoded.last];
  // The time range on show, for whoever looks at the page from outside.
  const showRange = (min, max) => { el.dataset.viewFrom = String(min); el.dataset.viewTo = String(max); };
  showRange(full[0], full[1]);
  const group = {
    setRange(min, max) {
      for (const p of plots) p.setScale('x', { min, max });
      showRange(min, max);
    },
    reset() {
      group.setRange(full[0], full[1] === full[0] ? full[0] + 1 : full[1]);
    },
    range: () => (plots.length ? { min: plots[0].scales.x.min, max: plots[0].scales.x.max } : null),
    // The first and last times the charts hold.
    span: () => (plots.length ? [plots[0].data[0][0], plots[0].data[0][plots[0].data[0].length - 1]] : null),
    destroy() {
      for (const p of plots) p.destroy();
      plots.length = 0;
    },
  };
  // Measured once, before any chart is added: reading it between charts
  // would lay the page out again for each.
  const chartWidth = width(el);
  decoded.channels.forEach((c, k) => {
    const box = document.createElement('div');
    box.className = 'record-chart';
    box.dataset.channel = String(k + 1);
    el.append(box);
    const plot = new uPlot(chartOptions(c, k, labels(k), chartWidth, group), [decoded.times, withGaps(c.values)], box);
    plot.over.addEventListener('dblclick', () => group.reset());
    plots.push(plot);
  });
  return group;
}
