// Recorded data of a unit (EISUC, EWSUC): the 64-byte header and the data
// bytes become one time axis and one series per channel. Values reach
// display units only through the program's channel types (`types`:
// {describe(chType) → {width, unit}, toReal(chType, raw) → number|null,
// format(chType, raw, withUnit) → text}), never through formulas here.

export const HEADER_BYTES = 64;

function u16(bytes, at) {
  return (bytes[at] | (bytes[at + 1] << 8)) >>> 0;
}

function rawAt(bytes, at, width) {
  if (width === 2) return u16(bytes, at);
  if (width === 4) return (u16(bytes, at) + u16(bytes, at + 2) * 65536) >>> 0;
  if (width === 1) return bytes[at];
  return 0;
}

export class RecordedError extends Error {
  constructor(code) {
    super(code);
    this.name = 'RecordedError';
    this.code = code;
  }
}

// The channels a header names: channel 2's type 0 means it has none.
export function headerInfo(header) {
  if (!Array.isArray(header) && !(header instanceof Uint8Array)) throw new RecordedError('header');
  if (header.length < HEADER_BYTES) throw new RecordedError('header');
  const chTypes = [header[42]];
  if (header[43] !== 0) chTypes.push(header[43]);
  return { interval: u16(header, 0), storedBytes: u16(header, 32), chTypes };
}

// One channel's raw values: `width` bytes from `at` in every record of
// `stride` bytes.
function rawColumn(bytes, at, width, stride, count) {
  const raw = new Uint32Array(count);
  if (width === 2) {
    for (let i = 0; i < count; ++i, at += stride) raw[i] = bytes[at] | (bytes[at + 1] << 8);
  } else {
    for (let i = 0; i < count; ++i, at += stride) raw[i] = rawAt(bytes, at, width);
  }
  return raw;
}

// Converts every raw value once per distinct value: long recordings repeat
// few values, and each conversion is a call into the program. A record
// that repeats the one before (slow readings) skips the lookup.
function realColumn(raw, types, chType) {
  const values = new Float64Array(raw.length);
  const cache = new Map();
  let last = -1;
  let real = NaN;
  for (let i = 0; i < raw.length; ++i) {
    const r = raw[i];
    if (r !== last) {
      real = cache.get(r);
      if (real === undefined) {
        const v = types.toReal(chType, r);
        real = typeof v === 'number' && Number.isFinite(v) ? v : NaN;
        cache.set(r, real);
      }
      last = r;
    }
    values[i] = real;
  }
  return values;
}

// {interval, chTypes, count, times (s), channels: [{chType, unit, raw,
// values (NaN: no value)}], first, last}. The record times run from
// FirstDataTime one interval apart, so the last is LastDataTime.
export function decodeRecorded(result, types) {
  const info = headerInfo(result.Header);
  const described = info.chTypes.map((c) => types.describe(c) || {});
  const widths = described.map((d) => d.width | 0);
  const recordWidth = widths.reduce((a, b) => a + b, 0);
  if (recordWidth <= 0) throw new RecordedError('width');
  const data = result.Data || [];
  const count = Math.floor(data.length / recordWidth);
  const times = new Float64Array(count);
  const first = Number(result.FirstDataTime);
  for (let i = 0; i < count; ++i) times[i] = first + i * info.interval;
  let offset = 0;
  const channels = info.chTypes.map((chType, k) => {
    const raw = rawColumn(data, offset, widths[k], recordWidth, count);
    offset += widths[k];
    return { chType, unit: described[k].unit || '', raw, values: realColumn(raw, types, chType) };
  });
  return {
    interval: info.interval, chTypes: info.chTypes, count, times, channels,
    first: count ? times[0] : null, last: count ? times[count - 1] : null,
  };
}

// The text of one value under its column: as the channel type writes it,
// and with its own unit when that is not the column's (a cumulative type
// moves to a prefixed unit higher up its range).
function cellText(types, channel, raw) {
  const bare = String(types.format(channel.chType, raw, false));
  const whole = String(types.format(channel.chType, raw, true));
  const unit = whole.startsWith(bare) ? whole.slice(bare.length).trim() : '';
  return unit && unit !== channel.unit ? whole : bare;
}

// The CSV columns and rows of a decoded recording: the time as
// `timeText(ms)` writes it, the Unix time, and each value as the channel
// type writes it, empty where a record holds no value. The page's CSV and
// the command line's `download` both come from here.
export function recordedTable(decoded, types, timeText) {
  const header = ['time', 'unix time', ...decoded.channels.map((c, k) => `ch${k + 1}${c.unit ? ` (${c.unit})` : ''}`)];
  const rows = [];
  const texts = decoded.channels.map(() => new Map());
  for (let i = 0; i < decoded.count; ++i) {
    const row = [timeText(decoded.times[i] * 1000), decoded.times[i]];
    decoded.channels.forEach((c, k) => {
      if (Number.isNaN(c.values[i])) {
        row.push('');
        return;
      }
      let cell = texts[k].get(c.raw[i]);
      if (cell === undefined) {
        cell = cellText(types, c, c.raw[i]);
        texts[k].set(c.raw[i], cell);
      }
      row.push(cell);
    });
    rows.push(row);
  }
  return { header, rows };
}
