// The level history of one hop in a route survey: the latest points only
// (a repeat survey at the shortest interval gains 1,800 points an hour; the
// statistics keep every probe, the chart the last HISTORY_POINTS), with the
// level class bands of the boundaries in force shaded behind.
import uPlot from 'uplot';
import { timeTicks, legendTime } from '../ui/timeaxis.js';
import { historyRange } from '../ui/chartscales.js';
import { levelBands } from '../site/thresholds.js';
import { t } from '../i18n/i18n.js';
import { cappedSeries } from '../ui/cappedseries.js';

export { cappedSeries, HISTORY_POINTS } from '../ui/cappedseries.js';

const BAND_FILL = { good: 'rgba(46,157,79,0.10)', fair: 'rgba(140,200,90,0.12)', weak: 'rgba(230,160,30,0.16)', bad: 'rgba(200,50,40,0.12)' };

function bandsPlugin(thresholds) {
  return {
    hooks: {
      drawClear: (u) => {
        const { ctx, bbox } = u;
        ctx.save();
        for (const b of levelBands(thresholds())) {
          const top = u.valToPos(b.to, 'y', true);
          const bottom = u.valToPos(b.from, 'y', true);
          ctx.fillStyle = BAND_FILL[b.name];
          ctx.fillRect(bbox.left, top, bbox.width, bottom - top);
        }
        ctx.restore();
      },
    },
  };
}

// A history chart in `el`; thresholds() gives the boundaries on every draw.
// Returns {add(time s, level|null), redraw(), count(), destroy()}. The
// element carries data-bands ("weak,fair,good" boundaries) for checks.
export function levelHistory(el, title, thresholds) {
  const series = cappedSeries();
  const opts = {
    title,
    width: Math.max(320, Math.min(el.clientWidth || 520, 520)),
    height: 160,
    scales: { x: { time: true, range: (u, min, max) => historyRange(u.data[0], min, max) }, y: { range: [0, 255] } },
    axes: [{ values: timeTicks }, {}],
    legend: { show: false },
    plugins: [bandsPlugin(thresholds)],
    series: [{ label: t('chart.time'), value: legendTime }, { label: t('survey.levelHistory'), stroke: '#1f4e79', width: 2, spanGaps: false }],
  };
  const plot = new uPlot(opts, series.data(), el);
  const mark = () => {
    const l = thresholds().level;
    el.dataset.bands = `${l.weak},${l.fair},${l.good}`;
  };
  mark();
  return {
    add(time, level) {
      series.push(time, level === undefined ? null : level);
      plot.setData(series.data());
    },
    redraw() {
      mark();
      plot.redraw();
    },
    count: series.count,
    destroy: () => plot.destroy(),
  };
}
