// One unit's level and battery across visits on uPlot: the level (0..255,
// class bands behind) on the left scale, the battery (0..100 %) on the
// right, a point per survey.
import uPlot from 'uplot';
import { bandsPlugin } from '../ui/chart.js';
import { PALETTE } from '../ui/palette.js';
import { timeTicks, legendTime } from '../ui/timeaxis.js';
import { t } from '../i18n/i18n.js';
import { trendRange } from '../ui/chartscales.js';

const width = (el) => Math.max(320, Math.min(el.clientWidth || 640, 900));

// A time range from the points themselves: the chart library stretches a
// single point over years before asking.
const range = (u, min, max) => trendRange(u.data[0], min, max);

// Returns {set(series), destroy()}; series from historylist.trendSeries.
export function trendChart(el, bands) {
  const point = (stroke) => ({ show: true, size: 8, stroke, fill: '#fff' });
  const opts = {
    width: width(el),
    height: 240,
    scales: { x: { time: true, range }, y: { range: [0, 255] }, battery: { range: [0, 100] } },
    axes: [{ values: timeTicks }, { label: t('history.level') }, { scale: 'battery', side: 1, label: t('history.battery'), grid: { show: false } }],
    plugins: [bandsPlugin(bands)],
    series: [
      { label: t('chart.time'), value: legendTime },
      { label: t('history.level'), stroke: PALETTE.accent, width: 2, points: point(PALETTE.accent), spanGaps: false },
      { label: t('history.battery'), scale: 'battery', stroke: PALETTE.battery, width: 2, dash: [6, 4], points: point(PALETTE.battery), spanGaps: false },
    ],
  };
  const plot = new uPlot(opts, [[], [], []], el);
  return {
    set(series) {
      plot.setData([series.x, series.level, series.battery]);
    },
    destroy: () => plot.destroy(),
  };
}
