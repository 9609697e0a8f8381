// linkmeter-cli's survey, scan and log, on the built-in demo site, answer
// what the page's own flows make of the raw answers their JSON carries: the
// same per-hop statistics, verdicts, report summary, hops merged over their
// routes, channel recommendation and event-log rows; and its options stop
// where the page's limits stop.
//   node commands_same_as_page.mjs LINKMETER_CLI
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { summarize } from '../../../web/linkmeter/src/site/reportsummary.js';
import { DEFAULT_THRESHOLDS } from '../../../web/linkmeter/src/site/thresholds.js';
import { plainHops } from '../../../web/linkmeter/src/site/hopmerge.js';
import { logRows, logTable } from '../../../web/linkmeter/src/device/eventlog.js';
import { PROBES, SCAN_ROUNDS } from '../../../web/linkmeter/src/site/limits.js';
import { pageSurvey, pageScan, assertSameSurvey } from './page_flows.mjs';

const [cli] = process.argv.slice(2);

// The command's exit status and output, in a home of its own.
function spawn(args, extraEnv = {}) {
  const home = mkdtempSync(join(tmpdir(), 'lm-cli-same-'));
  try {
    const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: join(home, '.config'), XDG_DATA_HOME: join(home, '.local/share'), ...extraEnv };
    return spawnSync(cli, ['--demo', ...args], { env, maxBuffer: 1 << 28, timeout: 150000 });
  } finally {
    rmSync(home, { recursive: true, force: true });
  }
}

// The command's JSON; exit 0, or 5 when a unit did not answer.
function run(...args) {
  const r = spawn([...args, '--no-record', '--format', 'json']);
  assert.ok(r.status === 0 || r.status === 5, `exit ${r.status}: ${r.stderr}`);
  return JSON.parse(r.stdout.toString());
}

const cases = [
  { what: 'a whole-site survey', args: ['survey', '--site', '--probes', '1'], kinds: ['ok', 'partial'] },
  // ORCHARD's APPLE-2 sits behind the demo's weak hop.
  { what: 'a route survey', args: ['survey', '--remote', '00BC0502', '--probes', '4'], kinds: ['ok'] },
];

for (const c of cases) {
  test(`${c.what}: the page's flow over the same raw answers judges it the same`, async () => {
    const out = run(...c.args);
    assert.deepEqual(out.thresholds, JSON.parse(JSON.stringify(DEFAULT_THRESHOLDS)));
    const page = await pageSurvey(out.registration, out.units, out.kind === 'route' ? out.units.map((u) => u.target) : undefined);
    assertSameSurvey(out.survey, { ...page, summary: summarize(page) });
    const base = { serial: out.baseUnit.serial, name: out.baseUnit.name, model: out.baseUnit.model };
    assert.deepEqual(out.survey.hops, JSON.parse(JSON.stringify(plainHops(page.results, { base }))));
    const statuses = new Set(out.survey.results.map((r) => r.status));
    for (const k of c.kinds) assert.ok(statuses.has(k), `no ${k} result among ${[...statuses]}`);
  });
}

test('a channel scan: the page\'s tally of the same rounds recommends the same channels', () => {
  const out = run('scan', '--channels', '0-39', '--rounds', '2');
  assert.equal(out.rounds.length, 2);
  assert.deepEqual(out.scan, JSON.parse(JSON.stringify(pageScan(out.registration, out.rounds, out.cutOff))));
  const own = out.registration.groups.map((g) => g.freq);
  assert.ok(own.length > 0 && !out.scan.recommendation.channels.some((ch) => own.includes(ch)));
});

test('the event log: the page\'s rows of the same answer, in this computer\'s time zone', () => {
  for (const zone of ['Asia/Tokyo', 'America/St_Johns']) {
    process.env.TZ = zone;
    const r = spawn(['log', '--no-record', '--format', 'json'], { TZ: zone });
    assert.equal(r.status, 0, String(r.stderr));
    const out = JSON.parse(r.stdout.toString());
    assert.ok(out.answer.logs.length > 0);
    assert.deepEqual(out.table, JSON.parse(JSON.stringify(logTable(logRows(out.answer.logs)))), zone);
  }
});

test('the options stop at the page\'s limits', () => {
  const cases = [
    [['survey', '--site', '--probes', String(PROBES.max + 1)], `--probes takes a whole number from ${PROBES.min} to ${PROBES.max}`],
    [['accept', '--probes', String(PROBES.min - 1)], `--probes takes a whole number from ${PROBES.min} to ${PROBES.max}`],
    [['scan', '--rounds', String(SCAN_ROUNDS.max + 1)], `--rounds takes a whole number from ${SCAN_ROUNDS.min} to ${SCAN_ROUNDS.max}`],
  ];
  for (const [args, message] of cases) {
    const r = spawn(args);
    assert.equal(r.status, 2, args.join(' '));
    assert.ok(String(r.stderr).includes(message), String(r.stderr));
  }
});
