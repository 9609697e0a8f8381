// The level history of one hop in a route survey: the latest points only
// (a repeat survey at the shortest interval gains 1,800 points an hour; the
// statistics keep every probe, the chart the last HISTORY_POINTS), with the
// level class bands of the boundaries in force shaded behind, in the
// palette's colours.
import uPlot from 'uplot';
import { timeTicks, legendTime } from '../ui/timeaxis.js';
import { historyRange } from '../ui/chartscales.js';
import { levelBands } from '../site/thresholds.js';
import { t } from '../i18n/i18n.js';
import { cappedSeries } from '../ui/cappedseries.js';
import { bandsPlugin } from '../ui/chart.js';
import { PALETTE } from '../ui/palette.js';

export { cappedSeries, HISTORY_POINTS } from '../ui/cappedseries.js';

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
    plugins: [bandsPlugin(() => levelBands(thresholds()))],
    series: [{ label: t('chart.time'), value: legendTime }, { label: t('survey.levelHistory'), stroke: PALETTE.accent, width: 2, spanGaps: false }],
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
