// The command line and the page judge a site the same way: the same
// registrations and the same radio answers go once through the page's own
// flows under Node (the site survey view's surveyTargets/runSurvey over a
// stand-in api, the channel view's tally) and once through the command
// line's SiteLogic (the bundle in JavaScriptCore); routes, per-hop
// statistics, verdicts, the report summary, the hops merged over their
// routes, the visit comparison and the channel recommendation must come out
// identical. Sites: the demo site's two base units and the 256-unit
// benchmark site. Recorded data and event logs likewise: the same bytes and
// logs through the page's decoders (with the program's channel types) and
// through the command line's.
//   node site_logic_same.mjs SITE_LOGIC_CALL DEMO_SITE.json BENCH_SITE256_DIR SITE256_SHIM.py
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { buildRoute } from '../../../web/linkmeter/src/device/route.js';
import { siteTargets } from '../../../web/linkmeter/src/site/sitesurveybook.js';
import { summarize } from '../../../web/linkmeter/src/site/reportsummary.js';
import { compareSiteSurveys } from '../../../web/linkmeter/src/site/compare.js';
import { parseChannels } from '../../../web/linkmeter/src/site/channels.js';
import { plainHops } from '../../../web/linkmeter/src/site/hopmerge.js';
import { decodeRecorded, recordedTable } from '../../../web/linkmeter/src/device/recorded.js';
import { logRows, logTable } from '../../../web/linkmeter/src/device/eventlog.js';
import { utcTimeText } from '../../../web/linkmeter/src/ui/formats.js';
import { pageSurvey, pageScan, assertSameSurvey } from './page_flows.mjs';

const [tool, demoPath, benchDir, shim] = process.argv.slice(2);
const WHEN = Date.UTC(2026, 11, 9, 6, 0, 0);

// Every request through one run of the command line's SiteLogic.
function callSiteLogic(requests, env = process.env) {
  const input = requests.map((r) => JSON.stringify(r)).join('\n') + '\n';
  const out = execFileSync(tool, { input, env, maxBuffer: 1 << 30 }).toString().trim().split('\n');
  assert.equal(out.length, requests.length);
  return out.map((line, i) => {
    const a = JSON.parse(line);
    assert.ok(!('error' in a), `${requests[i].function}: ${a.error}`);
    return a.answer;
  });
}

function registrations() {
  const demo = JSON.parse(readFileSync(demoPath, 'utf8'));
  const dir = mkdtempSync(join(tmpdir(), 'lm-site256-'));
  try {
    execFileSync('python3', [shim, benchDir, join(dir, 'site.json')]);
    const big = JSON.parse(readFileSync(join(dir, 'site.json'), 'utf8'));
    // A site file's groups carry what a registration gives the routes.
    return [...demo.baseUnits, ...big.baseUnits].map((b) => ({ name: b.name, serial: b.serial, regInfo: { groups: b.groups } }));
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

// A small seeded generator, so a failure can be run again.
function random(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

// The radio answers of one unit's probes: per hop a base level spread over
// every class, a lost answer now and then, a silent far unit, and one unit
// in twenty whose base unit refuses the survey.
function scriptUnit(route, rnd, probes) {
  if (rnd() < 0.05) return { failed: { isSuccess: false, STATUS: '0001-0003', msg: 'EWLEX refused', cmdName: 'EWLEX' } };
  const base = route.hops.map(() => 60 + Math.floor(rnd() * 150));
  const farSilent = rnd() < 0.1;
  const answers = [];
  for (let p = 0; p < probes; p++) {
    const signals = [];
    route.hops.forEach((hop, i) => {
      const far = i === route.hops.length - 1;
      if ((far && farSilent) || rnd() < 0.08) return;
      signals.push({ number: hop.num, level: Math.max(0, Math.min(255, base[i] + Math.floor(rnd() * 21) - 10)), battery: 5 + Math.floor(rnd() * 95) });
    });
    signals.sort((x, y) => x.number - y.number);
    const whole = signals.length === route.hops.length;
    answers.push(whole ? { isSuccess: true, STATUS: '0000-0000', Signals: signals } : { isSuccess: false, STATUS: '0004-0003', Signals: signals });
  }
  return { answers };
}

function scriptSite(regInfo, seed, probes) {
  const rnd = random(seed);
  return siteTargets(regInfo).map((target) => ({ target, ...scriptUnit(buildRoute(regInfo, target), rnd, probes) }));
}

const cliUnits = (script) => script.map((u) => (u.failed ? { target: u.target, failed: u.failed } : { target: u.target, probes: u.answers.map((answer) => ({ answer })) }));

function scanRounds(seed, text, count, cutOff) {
  const rnd = random(seed);
  const freqs = parseChannels(text);
  const rounds = [];
  for (let r = 0; r < count; r++) {
    const upTo = cutOff && r === count - 1 ? Math.floor(freqs.length / 3) : freqs.length;
    rounds.push(freqs.slice(0, upTo).map((freq) => ({ freq, level: Math.floor(rnd() * 120) })));
  }
  return rounds;
}

const sites = registrations();

for (const [n, site] of sites.entries()) {
  const probes = site.name === 'BIG-SITE' ? 2 : 4;
  test(`${site.name}: same routes, statistics, verdicts, summary and comparison`, async () => {
    const targets = siteTargets(site.regInfo);
    const first = scriptSite(site.regInfo, 1000 + n, probes);
    const second = scriptSite(site.regInfo, 2000 + n, probes);
    const page = [await pageSurvey(site.regInfo, cliUnits(first)), await pageSurvey(site.regInfo, cliUnits(second))];
    const prov = { base: { serial: site.serial, name: site.name } };
    const [cliTargets, cliRoutes, ...rest] = callSiteLogic([
      { function: 'siteTargets', args: [site.regInfo] },
      { function: 'siteRoutes', args: [site.regInfo] },
      ...targets.map((t) => ({ function: 'route', args: [site.regInfo, t] })),
      { function: 'siteSurvey', args: [site.regInfo, cliUnits(first), { when: WHEN, base: prov.base }] },
      { function: 'siteSurvey', args: [site.regInfo, cliUnits(second), { when: WHEN, base: prov.base }] },
    ]);
    assert.deepEqual(cliTargets, JSON.parse(JSON.stringify(targets)));
    const routes = rest.slice(0, targets.length);
    const cli = rest.slice(targets.length);
    targets.forEach((t, i) => {
      const page = JSON.parse(JSON.stringify(buildRoute(site.regInfo, t)));
      assert.deepEqual(routes[i], page, `route ${t.label}`);
      assert.deepEqual(cliRoutes[i].route, page, `route ${t.label} among all`);
    });

    for (const side of [0, 1]) {
      assertSameSurvey(cli[side], { ...page[side], summary: summarize(page[side]) });
      // Every hop merged over its routes by the one rule, as the monitor reads it.
      assert.deepEqual(cli[side].hops, JSON.parse(JSON.stringify(plainHops(page[side].results, { base: prov.base }))));
    }
    // The script reaches every kind of outcome, so the sameness means something.
    const statuses = new Set(cli[0].results.concat(cli[1].results).map((r) => r.status));
    if (site.name !== 'GREENHOUSE') for (const s of ['ok', 'partial', 'failed']) assert.ok(statuses.has(s), `no ${s} result`);

    const [compared] = callSiteLogic([{ function: 'compareSiteSurveys', args: [{ prov, results: cli[0].results }, { prov, results: cli[1].results }, { worseBy: 10 }] }]);
    const pageCompared = compareSiteSurveys({ ...page[0], prov }, { ...page[1], prov }, { worseBy: 10 });
    assert.deepEqual(compared, JSON.parse(JSON.stringify(pageCompared)));
  });

  test(`${site.name}: same channel levels and recommendation`, () => {
    const cases = [
      { text: '0-39', rounds: 3, cutOff: false },
      { text: '0-63', rounds: 2, cutOff: true },
      { text: '12, 24-25, 31, 40-47', rounds: 1, cutOff: false }, // mostly the site's own channels
    ];
    const requests = cases.map((c, i) => ({ function: 'channelScan', args: [site.regInfo, scanRounds(n * 10 + i, c.text, c.rounds, c.cutOff), { cutOff: c.cutOff }] }));
    callSiteLogic(requests).forEach((answer, i) => {
      const page = pageScan(site.regInfo, requests[i].args[1], cases[i].cutOff);
      assert.deepEqual(answer, JSON.parse(JSON.stringify(page)), cases[i].text);
    });
  });
}

// A recording's header: the interval and the two channel types.
function recordingHeader(interval, ch1, ch2 = 0) {
  const h = new Array(64).fill(0);
  [h[0], h[1], h[42], h[43]] = [interval & 0xff, interval >> 8, ch1, ch2];
  return h;
}
const le16 = (values) => values.flatMap((n) => [n & 0xff, (n >> 8) & 0xff]);

// The program's channel types for the raw values `downloads` hold, asked of
// the command line's natives in one run, as the page's types object.
function programTypes(downloads) {
  const asks = new Map();
  const ask = (native, args) => asks.set(JSON.stringify([native, args]), { native, args });
  for (const d of downloads) {
    const types = [d.Header[42], d.Header[43]].filter(Boolean);
    types.forEach((c) => ask('linkmeter.chtype.describe', [c]));
    for (let at = 0; at + 1 < d.Data.length; at += 2) {
      const raw = d.Data[at] | (d.Data[at + 1] << 8);
      for (const c of types) {
        ask('linkmeter.chtype.toReal', [c, raw]);
        ask('linkmeter.chtype.format', [c, raw, false]);
        ask('linkmeter.chtype.format', [c, raw, true]);
      }
    }
  }
  const keys = [...asks.keys()];
  const out = execFileSync(tool, { input: keys.map((k) => JSON.stringify(asks.get(k))).join('\n') + '\n' }).toString().trim().split('\n');
  const known = new Map(keys.map((k, i) => [k, JSON.parse(out[i]).answer]));
  const get = (native, args) => known.get(JSON.stringify([native, args]));
  return {
    describe: (c) => get('linkmeter.chtype.describe', [c]),
    toReal: (c, raw) => get('linkmeter.chtype.toReal', [c, raw]),
    format: (c, raw, withUnit) => get('linkmeter.chtype.format', [c, raw, withUnit !== false]),
  };
}

test('recorded data: the same table from the same bytes, by the program\'s channel types', () => {
  const downloads = [
    // the demo logger's current loop, a value below zero
    { Header: recordingHeader(60, 129), Data: le16([1476, 2000, 0xfffb]), FirstDataTime: 1796827348 },
    // two channels, a no-value marker in each, the humidity's magnitude rule
    { Header: recordingHeader(600, 13, 208), Data: le16([250, 550, 0xeeee, 0xfffb, 0xfff6, 0xeeee]), FirstDataTime: 1700000000 },
    // CO2 with its no-value range, a trailing byte that is no record
    { Header: recordingHeader(1, 66), Data: [...le16([400, 0xf000, 0xffff]), 7], FirstDataTime: 5 },
  ];
  const types = programTypes(downloads);
  const answers = callSiteLogic(downloads.map((d) => ({ function: 'recordedTable', args: [d] })));
  downloads.forEach((d, i) => {
    const decoded = decodeRecorded(d, types);
    const page = recordedTable(decoded, types, utcTimeText);
    assert.deepEqual(answers[i].header, page.header, `download ${i}`);
    assert.deepEqual(answers[i].rows, page.rows, `download ${i}`);
    assert.equal(answers[i].decoded.count, decoded.count);
  });
  // The no-value markers are empty cells, every other value a text.
  assert.deepEqual(answers[1].rows.map((r) => r.slice(2).map((c) => c === '')), [[false, false], [true, false], [false, true]]);
  const refused = callSiteLogic([{ function: 'recordedTable', args: [{ Header: [1, 2, 3], Data: [] }] },
    { function: 'recordedTable', args: [{ Header: recordingHeader(1, 0), Data: [1, 2] }] }]);
  assert.deepEqual(refused, [{ error: 'header' }, { error: 'width' }]);
});

test('event-log times: the same rows in any time zone, offsets rounded, times no date can show last', () => {
  const at = 1796827354;
  const logs = [
    { utctime: at, localtime: at + 9 * 3600, category: 1, number: 1, str: 'Power on' },
    // a clock set a few seconds off its zone: the offset rounds to the minute
    { utctime: at + 60, localtime: at + 60 + 9 * 3600 - 29, category: 2, number: 3, str: 'late clock' },
    { utctime: at + 120, localtime: at + 120 - 5 * 3600 - 1780, category: 4, number: 2, str: 'west, -05:30' },
    // times no date can show, one as decimal text
    { utctime: 9e15, localtime: 9e15, category: 9, number: 9, str: 'far' },
    { utctime: '123456789012345678901', localtime: '123456789012345678901', category: 9, number: 8, str: 'text' },
    { utctime: at - 86400, localtime: at - 86400, category: 3, number: 4, str: 'UTC' },
  ];
  for (const zone of ['UTC', 'Asia/Tokyo', 'America/St_Johns']) {
    process.env.TZ = zone;
    const [cli] = callSiteLogic([{ function: 'eventLog', args: [{ logs }] }], { ...process.env, TZ: zone });
    assert.deepEqual(cli, JSON.parse(JSON.stringify(logTable(logRows(logs)))), zone);
    assert.deepEqual(cli.rows.map((r) => r[2]), ['UTC-05:30', 'UTC+09:00', 'UTC+09:00', 'UTC+00:00', '', ''], zone);
    assert.deepEqual(cli.rows.slice(-2).map((r) => r[6]), ['far', 'text'], zone);
  }
});
