// Channel advice from repeated scans: the tally per channel, the ranking
// rule, the site's own channels left out, and scans cut off by a cancel.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { emptyTally, addReadings, endRound, siteChannels, channelStats, recommend, knownSiteChannels, suitability, channelBands } from '../../web/linkmeter/src/site/channels.js';

// Runs `rounds` (each a list of [freq, level]); `cut` ends the last round
// cut off instead of whole.
function scan(rounds, { cut = false } = {}) {
  let tally = emptyTally();
  rounds.forEach((round, i) => {
    tally = addReadings(tally, round.map(([freq, level]) => ({ freq, level })));
    tally = endRound(tally, !(cut && i === rounds.length - 1));
  });
  return tally;
}

test('per channel: samples, mean, maximum seen and last level', () => {
  const tally = scan([[[5, 10], [6, 40]], [[5, 30], [6, 20]], [[5, 21], [6, null]]]);
  assert.equal(tally.rounds, 3);
  assert.equal(tally.partial, false);
  assert.deepEqual(channelStats(tally, new Set([6])), [
    { freq: 5, n: 3, mean: 20.3, max: 30, last: 21, inUse: false },
    // A reading without a level is no sample: last stays the last level read.
    { freq: 6, n: 2, mean: 30, max: 40, last: 20, inUse: true },
  ]);
});

test('ranking: lowest maximum, then lowest mean, then the lower channel; the site keeps its own', () => {
  const cases = [
    // A channel quiet on average but with one burst ranks after a steady one.
    { what: 'burst', rounds: [[[1, 5], [2, 20], [3, 25]], [[1, 90], [2, 22], [3, 24]]], inUse: [], want: [2, 3, 1] },
    { what: 'same max, mean decides', rounds: [[[7, 30], [8, 10]], [[7, 30], [8, 30]]], inUse: [], want: [8, 7] },
    { what: 'full tie, channel decides', rounds: [[[9, 15], [4, 15], [6, 15]]], inUse: [], want: [4, 6, 9] },
    { what: 'site channels left out', rounds: [[[24, 0], [25, 0], [26, 5], [27, 6], [28, 70], [31, 0]]], inUse: [24, 25, 31], want: [26, 27, 28] },
    { what: 'fewer free channels than asked', rounds: [[[12, 3], [13, 4]]], inUse: [12], want: [13] },
    { what: 'nothing scanned', rounds: [], inUse: [1], want: [] },
  ];
  for (const c of cases) {
    const stats = channelStats(scan(c.rounds), new Set(c.inUse));
    assert.deepEqual(recommend(stats).channels, c.want, c.what);
    for (const s of stats) assert.equal(s.inUse, c.inUse.includes(s.freq), `${c.what}: ${s.freq} in use`);
  }
});

test('a cancelled scan: whole rounds counted, the cut round marked, its samples kept', () => {
  // Round 3 reached only channels 1 and 2 before the cancel.
  const tally = scan([[[1, 10], [2, 10], [3, 10]], [[1, 10], [2, 10], [3, 10]], [[1, 80], [2, 12]]], { cut: true });
  assert.equal(tally.rounds, 2);
  assert.equal(tally.partial, true);
  const stats = channelStats(tally);
  assert.deepEqual(stats.map((s) => s.n), [3, 3, 2]);
  // The burst seen in the cut round still counts against channel 1.
  assert.deepEqual(recommend(stats), { channels: [3, 2, 1], samples: 2 });
  assert.deepEqual(recommend(stats, 2), { channels: [3, 2], samples: 2 });
});

test('the site channels: every group’s channel once, whatever the registration holds', () => {
  const cases = [
    [{ groups: [{ freq: 25 }, { freq: 31 }, { freq: 25 }] }, [25, 31]],
    [{ groups: [{ freq: 0 }, { name: 'no channel' }] }, [0]],
    [{ groups: 'broken' }, []],
    [null, []],
  ];
  for (const [reg, want] of cases) assert.deepEqual([...siteChannels(reg)].sort((a, b) => a - b), want, JSON.stringify(reg));
});

test('the site channels are known only from a registration of the connected base unit', () => {
  const bench = { serial: '009A0001' };
  const reg = (serial, source, freqs) => ({ regInfo: { groups: freqs.map((freq) => ({ freq })) }, prov: { base: { serial }, source } });
  const cases = [
    ['its own registration', reg('009A0001', 'unit', [24, 25]), bench, true, [24, 25]],
    ['routes entered by hand', reg('009A0001', 'manual', [12]), bench, true, [12]],
    ['the sibling file chosen for it', reg('009A0001', 'sibling', [31]), bench, true, [31]],
    ["another site's registration", reg('009C0021', 'unit', [24, 25, 31]), bench, false, []],
    ['no registration', null, bench, false, []],
    ['no unit', reg('009A0001', 'unit', [24]), null, false, []],
  ];
  for (const [what, r, unit, known, channels] of cases) {
    const site = knownSiteChannels(r, unit);
    assert.equal(site.known, known, what);
    assert.deepEqual([...site.channels], channels, what);
  }
});

test('a channel suits a new group by its loudest noise: quiet is good, the reverse of a link level', () => {
  const th = { level: { good: 130, fair: 100, weak: 80 } };
  const cases = [[0, 'quiet'], [39, 'quiet'], [40, 'noisy'], [79, 'noisy'], [80, 'busy'], [255, 'busy']];
  for (const [level, want] of cases) assert.equal(suitability(level, th), want, String(level));
  const bands = channelBands(th);
  assert.deepEqual(bands.map((b) => [b.name, b.from, b.to]), [['quiet', 0, 40], ['noisy', 40, 80], ['busy', 80, 255]]);
});
