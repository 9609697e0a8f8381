// Recorded data: header and records to times and per-channel values, and
// the CSV text of a recording.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { decodeRecorded, recordedTable, RecordedError } from '../../web/linkmeter/src/device/recorded.js';
import { csvText } from '../../web/linkmeter/src/page/csv.js';
import { timeTicks } from '../../web/linkmeter/src/ui/timeaxis.js';

// Stand-in channel types: 13 tenths of a degree (no value 0xEEEE), 208
// humidity, 250 a 32-bit counter; 0 the null type (width 0).
const calls = [];
const types = {
  describe: (c) => ({ 13: { width: 2, unit: '°C' }, 208: { width: 2, unit: '%' }, 250: { width: 4, unit: 'pulse' } }[c] || { width: 0, unit: '' }),
  toReal: (c, raw) => {
    calls.push(raw);
    if (c === 13) return raw === 0xeeee ? null : (raw > 0x7fff ? raw - 0x10000 : raw) / 10;
    return raw;
  },
  format: (c, raw) => (c === 13 ? ((raw > 0x7fff ? raw - 0x10000 : raw) / 10).toFixed(1) : String(raw)),
};

function header({ interval, ch1, ch2 = 0 }) {
  const h = new Array(64).fill(0);
  h[0] = interval & 0xff;
  h[1] = interval >> 8;
  h[42] = ch1;
  h[43] = ch2;
  return h;
}
const le16 = (n) => [n & 0xff, (n >> 8) & 0xff];

test('two channels, interleaved little-endian, one interval apart from FirstDataTime', () => {
  const data = [...le16(250), ...le16(550), ...le16(0xffec), ...le16(551), ...le16(0xeeee), ...le16(552), 9];
  const result = { Header: header({ interval: 600, ch1: 13, ch2: 208 }), Data: data, FirstDataTime: 1700000000, LastDataTime: 1700001200 };
  const d = decodeRecorded(result, types);
  assert.equal(d.count, 3); // the odd trailing byte is no record
  assert.deepEqual(Array.from(d.times), [1700000000, 1700000600, 1700001200]);
  assert.equal(d.first, result.FirstDataTime);
  assert.equal(d.last, result.LastDataTime);
  assert.deepEqual(Array.from(d.channels[0].values), [25, -2, NaN]);
  assert.deepEqual(Array.from(d.channels[1].values), [550, 551, 552]);
  assert.deepEqual(d.channels.map((c) => c.unit), ['°C', '%']);
});

test('one channel when the second type is 0; 32-bit values; each raw value converted once', () => {
  calls.length = 0;
  const one = decodeRecorded({ Header: header({ interval: 60, ch1: 13 }), Data: [...le16(100), ...le16(100), ...le16(100), ...le16(101)], FirstDataTime: 0 }, types);
  assert.equal(one.channels.length, 1);
  assert.equal(one.count, 4);
  assert.deepEqual(calls, [100, 101]);
  const wide = decodeRecorded({ Header: header({ interval: 1, ch1: 250 }), Data: [0x01, 0x00, 0x01, 0x80], FirstDataTime: 5 }, types);
  assert.equal(wide.channels[0].raw[0], 0x80010001);
});

test('a header that cannot be read is refused, an empty recording has no times', () => {
  assert.throws(() => decodeRecorded({ Header: [1, 2, 3], Data: [] }, types), RecordedError);
  assert.throws(() => decodeRecorded({ Header: header({ interval: 1, ch1: 0 }), Data: [1, 2] }, types), (e) => e.code === 'width');
  const empty = decodeRecorded({ Header: header({ interval: 60, ch1: 13 }), Data: [], FirstDataTime: 10, LastDataTime: 10 }, types);
  assert.equal(empty.count, 0);
  assert.equal(empty.first, null);
});

test('CSV of a recording: unit in the column, channel-type text, empty for no value', () => {
  const d = decodeRecorded({ Header: header({ interval: 60, ch1: 13, ch2: 208 }), Data: [...le16(0xfff6), ...le16(40), ...le16(0xeeee), ...le16(41)], FirstDataTime: 60 }, types);
  const { header: cols, rows } = recordedTable(d, types, (ms) => `t${ms / 1000}`);
  // The channel type's own text, a negative number no formula.
  assert.equal(csvText(cols, rows), 'time,unix time,ch1 (°C),ch2 (%)\r\nt60,60,-1.0,40\r\nt120,120,,41\r\n');
});

test('a value the type writes in another unit than its column keeps that unit', () => {
  // A cumulative type that moves from lxh to klxh at 1000.
  const lux = {
    describe: () => ({ width: 4, unit: 'lxh' }),
    toReal: (c, raw) => raw,
    format: (c, raw, withUnit) => (raw < 1000 ? `${raw}` + (withUnit ? ' lxh' : '') : `${raw / 1000}` + (withUnit ? ' klxh' : '')),
  };
  const le32 = (n) => [...le16(n & 0xffff), ...le16(n >>> 16)];
  const d = decodeRecorded({ Header: header({ interval: 60, ch1: 250 }), Data: [...le32(500), ...le32(2500)], FirstDataTime: 0 }, lux);
  assert.deepEqual(recordedTable(d, lux, String).rows.map((r) => r[2]), ['500', '2.5 klxh']);
});

test('time-axis labels: 24-hour clock, the date under the first label of a day, dates alone for day steps', () => {
  process.env.TZ = 'UTC';
  const t0 = Date.UTC(2026, 11, 7, 20, 0, 0) / 1000;
  const hours = [0, 4, 8].map((h) => t0 + h * 3600);
  assert.deepEqual(timeTicks(null, hours, 0, 50, 4 * 3600), ['20:00\n12/7', '00:00\n12/8', '04:00']);
  assert.deepEqual(timeTicks(null, [t0, t0 + 30], 0, 50, 30), ['20:00:00\n12/7', '20:00:30']);
  assert.deepEqual(timeTicks(null, [t0 + 1.2, t0 + 1.6, t0 + 12], 0, 50, 0.4), ['20:00:01.2\n12/7', '20:00:01.6', '20:00:12.0']);
  assert.deepEqual(timeTicks(null, [t0 + 0.05], 0, 50, 0.05), ['20:00:00.05\n12/7']);
  assert.deepEqual(timeTicks(null, [t0, t0 + 86400, null], 0, 50, 86400), ['12/7', '12/8', null]);
});
