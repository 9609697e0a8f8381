// The site's propagation fit on a small uPlot chart: each hop used as a
// point (its median level over its length, metres on a log scale), the
// fitted line and the band of its spread, dashed as a prediction. The data
// comes ready (site/propagation.js fitChartData).
import uPlot from 'uplot';
import { PALETTE } from './palette.js';

// The chart's colours: measured points in the page's accent, the
// prediction (line and band) in the palette's colour of predictions.
function colours() {
  return { hop: PALETTE.accent, line: PALETTE.prediction, band: PALETTE.prediction };
}

// data: {x (metres, ascending), hops (level or null), line, upper, lower};
// labels: {metres, level, hops, fit, spread}. Returns {destroy()}.
export function fitChart(el, data, labels) {
  const FIT_COLOURS = colours();
  const opts = {
    width: Math.max(320, Math.min(el.clientWidth || 480, 520)),
    height: 200,
    scales: { x: { time: false, distr: 3, log: 10 }, y: { range: [0, 255] } },
    axes: [{ label: labels.metres }, { label: labels.level }],
    legend: { show: false }, // the page's legend is beside it
    cursor: { show: false },
    series: [
      { label: labels.metres },
      { label: labels.hops, stroke: FIT_COLOURS.hop, width: 0, points: { show: true, size: 7, fill: FIT_COLOURS.hop, stroke: FIT_COLOURS.hop } },
      { label: labels.fit, stroke: FIT_COLOURS.line, width: 2, dash: [6, 4], points: { show: false }, spanGaps: true },
      { label: labels.spread, stroke: FIT_COLOURS.band, width: 1, dash: [3, 3], points: { show: false }, spanGaps: true },
      { label: '', stroke: FIT_COLOURS.band, width: 1, dash: [3, 3], points: { show: false }, spanGaps: true },
    ],
  };
  const plot = new uPlot(opts, [data.x, data.hops, data.line, data.upper, data.lower], el);
  return { destroy: () => plot.destroy() };
}
