// linkmeter-cli's survey and scan, on the built-in demo site, answer what
// the page's own flows make of the raw answers their JSON carries: the same
// per-hop statistics, verdicts, report summary and channel recommendation.
//   node commands_same_as_page.mjs LINKMETER_CLI
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { summarize } from '../../web/linkmeter/src/site/reportsummary.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';
import { pageSurvey, pageScan, assertSameSurvey } from './page_flows.mjs';

const [cli] = process.argv.slice(2);

// The command's JSON; exit 0, or 5 when a unit did not answer.
function run(...args) {
  const home = mkdtempSync(join(tmpdir(), 'lm-cli-same-'));
  try {
    const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: join(home, '.config'), XDG_DATA_HOME: join(home, '.local/share') };
    const r = spawnSync(cli, ['--demo', ...args, '--no-record', '--format', 'json'], { env, maxBuffer: 1 << 28, timeout: 150000 });
    assert.ok(r.status === 0 || r.status === 5, `exit ${r.status}: ${r.stderr}`);
    return JSON.parse(r.stdout.toString());
  } finally {
    rmSync(home, { recursive: true, force: true });
  }
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
