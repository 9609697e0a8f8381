// The recorder against a fake program: visits follow the connected unit,
// each kind of device answer becomes its record, surveys and scans are
// written as they go (one write per unit or round, never per probe), and a
// failing or busy store never stops a measurement.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRecorder } from '../../web/linkmeter/src/records/recorder.js';
import { useSecretKeys } from '../../web/linkmeter/src/records/recorderkinds.js';
import { createStore } from '../../web/linkmeter/src/page/state.js';
import { CancelledError, DeviceError } from '../../web/linkmeter/src/device/api.js';
import { runSurvey, probeRoute } from '../../web/linkmeter/src/site/survey.js';
import { buildRoute } from '../../web/linkmeter/src/device/route.js';
import { siteTargets, newSurvey, surveyTargets, surveyPatch } from '../../web/linkmeter/src/site/sitesurveybook.js';
import { provenance } from '../../web/linkmeter/src/ui/provenance.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';

// The program sets the catalogue's secret keys; these tests name the one they use.
useSecretKeys(['PW']);

setLanguage('en');

const regInfo = {
  groups: [{
    name: 'ORCHARD', freq: 25, band: 1,
    repeaters: [{ num: 2, parent: 0, serial: '00C80202' }],
    remoteUnits: [
      { num: 1, parent: 2, serial: '00B80201', name: 'TANK-A', model: 'VL-RA' },
      { num: 3, parent: 2, serial: '00B80203', name: 'PEAR-3', model: 'VL-RA' },
      { num: 4, parent: 0, serial: '00B80204', name: 'NEAR', model: 'VL-RA' },
    ],
  }],
};
const lanUnit = { com: 3, serial: '009C0021', name: 'RIVERSIDE', model: 'VL-B7', ipAddr: '127.0.0.1', port: 62500, lanPassword: 'vela1234' };
const usbUnit = { com: 1, serial: '009A0011', name: 'GREENHOUSE', model: 'VL-B1' };
const hex = (s) => parseInt(s, 16);

// A unit's answer to a survey probe: every hop of the route answers unless
// `silent` holds its number.
function probeAnswer(arg, silent = new Set()) {
  const far = arg.ID[1];
  const numbers = [...arg.RELAY, far].filter((n) => !silent.has(n));
  return { isSuccess: numbers.includes(far), STATUS: '0004-0000', Signals: numbers.map((n) => ({ number: n, level: 100 + n, battery: 60 + n })) };
}

// The program: device queries answered by `device(mnemonic, arg)`, records
// queries by `store(name, arg)` (default: an id each); every call kept.
function fakeProgram({ device = () => ({ isSuccess: true }), store: answerStore } = {}) {
  const calls = [];
  let nextId = 100;
  const recordsAnswer = answerStore || ((name) => (name.startsWith('LmRecordsRecord') || name === 'LmRecordsBeginVisit' ? { id: ++nextId } : true));
  const settle = (fn) => new Promise((resolve, reject) => {
    try {
      resolve(fn());
    } catch (e) {
      reject(e);
    }
  });
  const api = {
    CancelledError, DeviceError,
    isLost: () => false,
    query(name, arg) {
      calls.push({ name, arg });
      if (name.startsWith('LmRecords')) return settle(() => recordsAnswer(name, arg));
      return settle(() => device(name.replace(/^ComTcmd/, ''), arg));
    },
    async command(mnemonic, arg) {
      const answer = await api.query('ComTcmd' + mnemonic, arg);
      if (!answer || !answer.isSuccess) throw new DeviceError(answer);
      return answer;
    },
    rsLevels: (comInfo, freqs) => api.query('ComTcmdGetRsLevel', { comInfo, freqs }),
  };
  const records = (name) => calls.filter((c) => c.name === 'LmRecords' + name).map((c) => c.arg);
  return { api, calls, records, recordsCalls: () => calls.filter((c) => c.name.startsWith('LmRecords')) };
}

function setup(options = {}) {
  const program = fakeProgram(options);
  const store = createStore({ unit: null, busy: 0, regInfo: null, regProv: null, routesFrom: 'unit', thresholds: DEFAULT_THRESHOLDS, siteSurvey: null, siteSurveyDone: null });
  const statuses = [];
  const recorder = createRecorder({ api: program.api, store, details: () => ({ technician: 'Aki' }), onStatus: (s) => statuses.push(s), sleep: async () => {}, storage: options.storage });
  recorder.watch();
  return { ...program, store, recorder, statuses };
}

function connect(env, unit) {
  env.store.set({ unit, regInfo, regProv: provenance(unit, { time: 1000 }) });
}

test('a visit begins with the connected unit and ends on disconnect or another unit, not on a lost link', async () => {
  const env = setup();
  const steps = [
    [{ unit: lanUnit }, ['BeginVisit']],
    [{ linkLost: true }, []],
    [{ linkLost: false, unit: { ...lanUnit } }, []], // reconnected: the same visit
    [{ unit: usbUnit }, ['EndVisit', 'BeginVisit']],
    [{ unit: null }, ['EndVisit']],
    [{ unit: null }, []],
  ];
  for (const [patch, expected] of steps) {
    const before = env.recordsCalls().length;
    env.store.set(patch);
    await env.recorder.idle();
    assert.deepEqual(env.recordsCalls().slice(before).map((c) => c.name.slice(9)), expected, JSON.stringify(patch));
  }
  const [first, second] = env.records('BeginVisit');
  assert.ok(first.startedAt > 0);
  assert.deepEqual({ ...first, startedAt: 0 }, { site: { serial: hex('009C0021'), name: 'RIVERSIDE', model: 'VL-B7' }, startedAt: 0, technician: '', customer: '', notes: '' });
  assert.equal(second.site.serial, hex('009A0011'));
  assert.deepEqual(env.records('EndVisit').map((a) => a.visitId), [101, 102]);
});

test('reads made before a unit found by its address has a serial are kept once it has one', async () => {
  const env = setup({ device: () => ({ isSuccess: true, NAME: 'RIVERSIDE', SER: '009C0021' }) });
  env.store.set({ unit: { ...lanUnit, serial: '' } });
  await env.recorder.api.command('RUINF', { comInfo: env.store.get().unit });
  await env.recorder.idle();
  assert.equal(env.recordsCalls().length, 0);
  env.store.set({ unit: lanUnit });
  await env.recorder.idle();
  assert.deepEqual(env.recordsCalls().map((c) => c.name), ['LmRecordsBeginVisit', 'LmRecordsRecordSettingsRead']);
});

test('the report fields belong to the visit of their survey: after a disconnect, never the next site\'s', async () => {
  const env = setup({ device: (m, arg) => probeAnswer(arg) });
  connect(env, usbUnit);
  const { survey } = await siteSurvey(env);
  const greenhouse = env.recorder.visitFor(env.store.get().siteSurvey);
  assert.equal(await env.recorder.visitIdOf(survey), 101);
  await env.recorder.setFields(greenhouse, { technician: 'Aki' });
  env.store.set({ unit: null }); // Disconnect: the visit ends, the report still shows its survey
  await env.recorder.setFields(greenhouse, { customer: 'RIVERSIDE' }, { write: false }); // typing
  await env.recorder.setFields(greenhouse, { customer: 'RIVERSIDE', notes: 'pump house' }); // leaving the field
  await env.recorder.setFields(greenhouse, { notes: 'pump house' }); // unchanged: nothing written
  connect(env, lanUnit);
  await env.recorder.idle();
  assert.deepEqual(env.records('UpdateVisit'), [
    { visitId: 101, technician: 'Aki', customer: '', notes: '' },
    { visitId: 101, technician: 'Aki', customer: 'RIVERSIDE', notes: 'pump house' },
  ]);
  const [, riverside] = env.records('BeginVisit');
  assert.deepEqual([riverside.technician, riverside.customer, riverside.notes], ['Aki', '', ''], 'a new visit starts empty but for the technician');
  assert.equal(env.recorder.visitFor({ prov: { base: { serial: '009C0021' } }, started: 5000 }), null, 'no survey of it yet');
});

test('a survey names the registration snapshot it was measured with; one loaded later changes nothing', async () => {
  const device = (m, arg) => (m === 'RSETF' ? { isSuccess: true, regInfo: structuredClone(regInfo), DATA: [1, 2] } : probeAnswer(arg));
  const cases = [
    // [name, how the registration in use came, snapshot records before the survey, source]
    ['read from the unit', async (env) => {
      const answer = await env.recorder.api.command('RSETF', { comInfo: usbUnit });
      env.store.set({ regInfo: answer.regInfo, regProv: provenance(usbUnit, { source: 'unit', time: 3000 }) });
    }, 1, 'unit'],
    ['never recorded (kept before the visit): recorded with the survey', async () => {}, 1, 'unit'],
  ];
  for (const [name, prepare, snapshots, source] of cases) {
    const env = setup({ device });
    connect(env, usbUnit);
    await prepare(env);
    await env.recorder.idle();
    await siteSurvey(env, { regInfo: env.store.get().regInfo });
    const regs = env.records('RecordRegistration');
    assert.equal(regs.length, snapshots, name);
    // Ids: the visit 101, the snapshot 102 (written before the survey).
    assert.deepEqual([env.records('RecordSurvey')[0].registrationId, regs[0].source], [102, source], name);
    // The sibling's file loaded afterwards: kept as its own snapshot, the survey untouched.
    env.store.set({ siblingReg: { regInfo: structuredClone(regInfo), prov: provenance(lanUnit, { source: 'sibling', time: 9000 }) } });
    env.store.set({ busy: 0 }); // the same sibling registration is not kept twice
    await env.recorder.idle();
    assert.deepEqual(env.records('RecordRegistration').slice(snapshots).map((a) => [a.source, a.takenAt, a.unit]), [['sibling', 9000, hex('009C0021')]], name);
    assert.equal(env.records('RecordSurvey').length, 1, name);
  }
});

test('each kind of answer becomes its record, without the connection or any password', async () => {
  const farId = buildRoute(regInfo, { group: 0, kind: 'remote', num: 1 }).fields;
  const answers = {
    RSETF: { isSuccess: true, regInfo, SAVE: 1, DATA: [0x41, 0, 255], comInfo: lanUnit },
    ELOGS: { isSuccess: true, logs: [{ number: 1, str: 'power on' }] },
    EWSUC: { isSuccess: true, Header: [1, 2], Data: [3, 4, 5], FirstDataTime: 10, LastDataTime: 20 },
    RNETP: { isSuccess: true, IP: '10.0.0.2', PW: 'vela1234', undecoded: { PW: [1] } },
    RDTIM: { isSuccess: true, TimeOffset: 3 },
  };
  const cases = [
    ['RSETF', {}, 'RecordRegistration', (a) => assert.deepEqual([a.decoded, a.raw], [{ regInfo, SAVE: 1 }, [0x41, 0, 255]])],
    ['ELOGS', { MODE: 0 }, 'RecordLog', (a) => assert.deepEqual(a.decoded.logs, answers.ELOGS.logs)],
    ['EWSUC', { ...farId, MODE: 0, RANGE: 0 }, 'RecordDownload', (a) => {
      assert.deepEqual([a.header, a.raw, a.unit], [[1, 2], [3, 4, 5], hex('00B80201')]);
      assert.deepEqual(a.decoded, { FirstDataTime: 10, LastDataTime: 20 });
    }],
    ['RNETP', {}, 'RecordSettingsRead', (a) => assert.deepEqual(a.decoded, { IP: '10.0.0.2', PW: { hidden: true }, undecoded: { PW: { hidden: true } } })],
    ['RDTIM', {}, 'RecordSettingsRead', (a) => assert.equal(a.decoded.TimeOffset, 3)],
  ];
  const env = setup({ device: (m) => answers[m] });
  connect(env, lanUnit);
  for (const [mnemonic, arg, fn, check] of cases) {
    await env.recorder.api.command(mnemonic, { comInfo: lanUnit, ...arg });
    await env.recorder.idle();
    const got = env.records(fn).at(-1);
    assert.ok(got, mnemonic);
    assert.equal(got.visitId, 101, mnemonic);
    assert.equal(got.source, 'unit');
    if (mnemonic !== 'EWSUC') assert.equal(got.unit, hex('009C0021'), mnemonic);
    check(got);
  }
  assert.ok(!JSON.stringify(env.recordsCalls()).includes('vela1234'), 'no password in any record');
});

test('every settings write is kept with its keys, old and new values, also when refused', async () => {
  const device = (m, arg) => {
    if (m === 'RNETP') return { isSuccess: true, IP: '10.0.0.2', GW: '10.0.0.1', PW: 'vela1234' };
    if (m === 'WNETP' && arg.IP === '10.0.0.9') return { isSuccess: false, STATUS: '0002-0003', msg: 'refused' };
    if (m === 'RDTIM') return { isSuccess: true, DTIME: '20261209041500', TimeOffset: 5 };
    return { isSuccess: true };
  };
  const env = setup({ device });
  connect(env, lanUnit);
  const cases = [
    ['WNETP', { IP: '10.0.0.5', PW: 'new-secret' }, true, [{ key: 'IP', old: '10.0.0.2', new: '10.0.0.5' }, { key: 'PW', old: { hidden: true }, new: { hidden: true } }]],
    ['WNETP', { IP: '10.0.0.9' }, false, [{ key: 'IP', old: '10.0.0.2', new: '10.0.0.9' }]],
    ['WSUCP', { ATTACH: 1 }, true, [{ key: 'ATTACH', new: 1 }]], // never read first: no old value
  ];
  await env.recorder.api.command('RNETP', { comInfo: lanUnit });
  for (const [mnemonic, arg, ok, changes] of cases) {
    await env.recorder.api.command(mnemonic, { comInfo: lanUnit, ...arg }).catch(() => {});
    await env.recorder.idle();
    const w = env.records('RecordSettingsWrite').at(-1);
    assert.deepEqual([w.succeeded, w.changes, w.unit], [ok, changes, hex('009C0021')], mnemonic);
    assert.equal(w.message, ok ? '' : 'STATUS 0002-0003 — refused', 'the answer kept with its STATUS');
  }
  // Setting the clock: before, the unit's clock as its last read puts it (5 s ahead).
  await env.recorder.api.command('RDTIM', { comInfo: lanUnit });
  await env.recorder.api.command('WDTIM', { comInfo: lanUnit });
  await env.recorder.idle();
  const [clock] = env.records('RecordSettingsWrite').at(-1).changes;
  const at = Date.parse(clock.new);
  assert.deepEqual([clock.key, Date.parse(clock.old) - at], ['clock', 5000]);
  assert.equal(env.records('RecordSettingsWrite').length, 4, 'each write kept once');
  assert.ok(!JSON.stringify(env.recordsCalls()).includes('secret'));
});

// A site survey of every remote unit as the site survey view runs it, through
// the recorder's api; `stopAfter` cancels after that many units.
async function siteSurvey(env, { probes = 2, stopAfter = Infinity, onUnit = () => {}, regInfo: reg0 = regInfo } = {}) {
  const s = env.store.get();
  const reg = { regInfo: reg0, prov: s.regProv };
  const base = newSurvey({ prov: provenance(s.unit, { time: 5000 }), reg, targets: siteTargets(regInfo), now: 5000 });
  const controller = new AbortController();
  let units = 0;
  const run = async (target, signal) => {
    const r = await runSurvey({ api: env.recorder.api, comInfo: s.unit, regInfo, target, signal, probes });
    if (++units >= stopAfter) controller.abort();
    return r;
  };
  const publish = (survey) => {
    env.store.set(surveyPatch(env.store.get(), { ...survey, probes }));
    onUnit(survey);
  };
  env.store.set({ busy: 1 });
  const out = await surveyTargets({ survey: base, targets: base.targets, run, signal: controller.signal, publish });
  env.store.set({ busy: 0 });
  await env.recorder.idle();
  return out;
}

test('a site survey is written unit by unit: every probe raw, hop statistics, one write per unit', async () => {
  const env = setup({ device: (m, arg) => probeAnswer(arg, new Set([3])) });
  connect(env, usbUnit);
  const written = [];
  await siteSurvey(env, { onUnit: () => written.push(env.records('SurveyProbes').length) });
  const [survey] = env.records('RecordSurvey');
  assert.deepEqual([survey.kind, survey.probesPerRoute, survey.startedAt], ['site', 2, 5000]);
  assert.deepEqual(survey.routes, [[hex('00C80202'), hex('00B80201')], [hex('00C80202'), hex('00B80203')], [hex('00B80204')]]);
  const batches = env.records('SurveyProbes');
  // One write per unit as its result comes, then the end; never one per probe.
  assert.equal(batches.length, 4);
  assert.deepEqual(batches.slice(0, 3).map((b) => b.probes.map((p) => [p.route, p.seq, p.answered])),
    [[[0, 0, true], [0, 1, true]], [[1, 0, false], [1, 1, false]], [[2, 0, true], [2, 1, true]]]);
  assert.deepEqual(batches[0].probes[0].raw, [2, 102, 62, 1, 101, 61]);
  assert.deepEqual(batches[0].hops[1], { route: 0, hop: 1, fromUnit: hex('00C80202'), unit: hex('00B80201'), sent: 2, answered: 2, levelMin: 101, levelAvg: 101, levelMax: 101, battery: 61 });
  assert.equal(batches[0].hops[0].fromUnit, hex('009A0011'));
  assert.deepEqual(batches[1].hops[1], { route: 1, hop: 1, fromUnit: hex('00C80202'), unit: hex('00B80203'), sent: 2, answered: 0 });
  assert.equal(batches[3].endedAt > 0, true);
  assert.equal(batches[3].hops.length, 5);
  // Each unit's probes were on their way before the next unit's result.
  assert.ok(written.slice(1).every((n, i) => n >= Math.min(i, 3)));
});

test('a cut-short survey keeps its probes, stays open, and a run for the units left completes it', async () => {
  const env = setup({ device: (m, arg) => probeAnswer(arg) });
  connect(env, usbUnit);
  const out = await siteSurvey(env, { probes: 3, stopAfter: 2 });
  assert.equal(out.survey.complete, false);
  const batches = env.records('SurveyProbes');
  assert.equal(batches.reduce((n, b) => n + b.probes.length, 0), 6);
  assert.equal(batches.at(-1).endedAt, undefined);
  assert.equal(env.records('RecordSurvey').length, 1);
});

test('a route survey is written probe by probe and ends when its run ends', async () => {
  const env = setup({ device: (m, arg) => probeAnswer(arg) });
  connect(env, usbUnit);
  const route = buildRoute(regInfo, { group: 0, kind: 'remote', num: 3 });
  env.store.set({ busy: 1 });
  for (let i = 0; i < 3; i++) await probeRoute({ api: env.recorder.api, comInfo: usbUnit, route });
  env.store.set({ busy: 0 });
  await env.recorder.idle();
  const [survey] = env.records('RecordSurvey');
  assert.deepEqual([survey.kind, survey.routes], ['route', [[hex('00C80202'), hex('00B80203')]]]);
  const batches = env.records('SurveyProbes');
  assert.deepEqual(batches.map((b) => b.probes.length), [1, 1, 1, 0]);
  assert.deepEqual(batches.at(-1).hops.map((h) => [h.sent, h.answered]), [[3, 3], [3, 3]]);
  assert.ok(batches.at(-1).endedAt > 0);
});

test('a channel scan is written round by round; a cancelled round is kept marked partial', async () => {
  const freqs = Array.from({ length: 10 }, (_, i) => i);
  const cases = [
    { rounds: 2, cancelAt: null, expected: [[0, false, 10], [1, false, 10]] },
    { rounds: 3, cancelAt: [2, 8], expected: [[0, false, 10], [1, false, 10], [2, true, 8]] },
    // Stopped before the first call of a round: the rounds before are whole and the scan ends.
    { rounds: 3, cancelAt: [1, 0], expected: [[0, false, 10]] },
    { rounds: 3, cancelAt: [2, 0], expected: [[0, false, 10], [1, false, 10]] },
  ];
  for (const { rounds, cancelAt, expected } of cases) {
    let cancel = false;
    const device = (m, arg) => {
      if (cancel) throw new CancelledError();
      return arg.freqs.map((freq) => ({ freq, level: 30 + freq }));
    };
    const env = setup({ device });
    connect(env, usbUnit);
    env.store.set({ busy: 1 });
    let done = false;
    for (let r = 0; r < rounds && !done; r++) {
      for (let i = 0; i < freqs.length; i += 8) {
        cancel = Boolean(cancelAt && r === cancelAt[0] && i === cancelAt[1]);
        const ok = await env.recorder.api.rsLevels(usbUnit, freqs.slice(i, i + 8)).then(() => true, () => false);
        if (!ok) {
          done = true;
          break;
        }
      }
    }
    env.store.set({ busy: 0 });
    await env.recorder.idle();
    const scans = env.records('RecordScan');
    const got = scans.flatMap((s) => s.rounds.map((x) => [x.round, x.decoded.partial, x.decoded.readings.length]));
    assert.deepEqual(got, expected, `${rounds} rounds`);
    assert.ok(scans.every((s) => s.startedAt === scans[0].startedAt && s.settings.channels.length === 10 && s.unit === hex('009A0011')));
    assert.ok(scans.at(-1).endedAt > 0);
  }
});

test('a failing store never stops the measurement; a busy one is tried again', async () => {
  const cases = [
    { name: 'no store', fail: () => ({ code1: -25, msg: 'no store' }), state: 'failed', code: -25 },
    { name: 'busy twice', fail: (n) => (n <= 2 ? { code1: -20, msg: 'busy' } : null), state: 'ok', code: null },
  ];
  for (const c of cases) {
    let n = 0;
    let id = 0;
    const env = setup({
      device: (m, arg) => probeAnswer(arg),
      store: () => {
        const failure = c.fail(++n);
        if (failure) throw new DeviceError(failure);
        return { id: ++id };
      },
    });
    connect(env, usbUnit);
    const out = await siteSurvey(env);
    assert.equal(out.survey.complete, true, c.name);
    assert.equal(out.error, null, c.name);
    const last = env.statuses.at(-1);
    assert.deepEqual([last.state, last.code, last.pending], [c.state, c.code, 0], c.name);
    if (c.state === 'ok') {
      assert.ok(env.statuses.some((s) => s.state === 'retrying'), c.name);
      assert.equal(env.records('SurveyProbes').length, 4, c.name);
    }
  }
});

test("the technician's name outlives a restart: the next start's first visit begins with it", async () => {
  const kept = new Map();
  const storage = { getItem: (k) => kept.get(k) ?? null, setItem: (k, v) => kept.set(k, String(v)) };
  const first = setup({ storage, device: (m, arg) => probeAnswer(arg) });
  connect(first, usbUnit);
  await siteSurvey(first);
  await first.recorder.setFields(first.recorder.visitFor(first.store.get().siteSurvey), { technician: '佐藤' });
  await first.recorder.close();
  const again = setup({ storage }); // the program started again
  connect(again, lanUnit);
  await again.recorder.idle();
  assert.equal(again.records('BeginVisit')[0].technician, '佐藤');
  assert.equal(again.recorder.openVisit().technician, '佐藤');
});
