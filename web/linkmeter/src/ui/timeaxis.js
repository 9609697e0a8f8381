// Time-axis labels in the 24-hour clock the page's users read (the charts'
// own default is a 12-hour clock): the date under the first label of each
// day; dates alone once ticks are a day or more apart.
const pad = (n) => String(n).padStart(2, '0');

// Seconds with as many decimals as steps under a second need.
function seconds(d, incr) {
  const decimals = incr < 1 ? Math.min(3, Math.ceil(-Math.log10(incr) - 1e-9)) : 0;
  const s = (d.getSeconds() + d.getMilliseconds() / 1000).toFixed(decimals);
  return s.padStart(decimals ? decimals + 3 : 2, '0');
}

// uPlot's axis `values` callback: splits in seconds, incr the tick step.
export function timeTicks(u, splits, axisIdx, space, incr) {
  let lastDay = null;
  return splits.map((s) => {
    if (s === null || s === undefined) return null;
    const d = new Date(s * 1000);
    const day = `${d.getMonth() + 1}/${d.getDate()}`;
    if (incr >= 86400) return day;
    const time = `${pad(d.getHours())}:${pad(d.getMinutes())}` + (incr < 60 ? `:${seconds(d, incr)}` : '');
    const label = day === lastDay ? time : `${time}\n${day}`;
    lastDay = day;
    return label;
  });
}

// A time (seconds) as "YYYY-MM-DD hh:mm:ss" in the 24-hour clock.
export function clockText(s) {
  const d = new Date(s * 1000);
  return `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())} ${pad(d.getHours())}:${pad(d.getMinutes())}:${pad(d.getSeconds())}`;
}

// uPlot's series `value` callback for the time of the hover readout.
export function legendTime(u, v) {
  return v === null || v === undefined || !Number.isFinite(v) ? '--' : clockText(v);
}
