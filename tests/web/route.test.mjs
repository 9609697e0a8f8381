// Survey routes built from a registration, and answers matched to hops.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { buildRoute, matchSignals, allRemoteTargets, unitId, RouteError } from '../../web/linkmeter/src/device/route.js';

// Two groups; in the first, R2 hangs from R1 and units hang from the base
// unit, from R1 and from R2.
const regInfo = {
  serial: '009C0021',
  groups: [
    {
      name: 'RIVER', freq: 25, band: 1, id: [82, 86, 49, 0, 0, 0, 0, 2],
      repeaters: [{ num: 1, parent: 0, serial: '00C80201' }, { num: 2, parent: 1, serial: '00C80202' }],
      remoteUnits: [
        { model: 'VL-RD-mA', serial: '00C20201', num: 1, parent: 2, name: 'FLOW', enableWarning: true, enableMonitoring: false, enableDownloading: true },
        { model: 'VL-RC', serial: '00BC0204', num: 4, parent: 0, name: 'NEAR', enableWarning: true, enableMonitoring: true, enableDownloading: true },
        { model: 'VL-RG', serial: '00C40205', num: 5, parent: 1, name: 'SUN', enableWarning: false, enableMonitoring: true, enableDownloadingL: false, enableDownloadingH: true },
      ],
    },
    { name: 'WELLS', freq: 31, band: 0, id: [0, 0, 0, 0, 0, 0, 0, 3], repeaters: [], remoteUnits: [{ model: 'VL-RA', serial: '00B80301', num: 1, parent: 0, name: 'W1' }] },
  ],
};

test('route fields and hops for remote units and repeaters', () => {
  const cases = [
    // target, CH, RELAY, ROUTE, BAND, hop labels
    [{ group: 0, kind: 'remote', num: 1 }, 25, [1, 2], 1, 1, ['repeater 1', 'repeater 2', 'remote 1']],
    [{ group: 0, kind: 'remote', num: 4 }, 25, [], 0, 1, ['remote 4']],
    [{ group: 0, kind: 'remote', num: 5 }, 25, [1], 1, 1, ['repeater 1', 'remote 5']],
    [{ group: 0, kind: 'repeater', num: 2 }, 25, [1], 1, 1, ['repeater 1', 'repeater 2']],
    [{ group: 1, kind: 'remote', num: 1 }, 31, [], 0, 0, ['remote 1']],
  ];
  for (const [target, CH, RELAY, ROUTE, BAND, hops] of cases) {
    const route = buildRoute(regInfo, target);
    assert.deepEqual({ ...route.fields, ID: undefined }, { CH, ID: undefined, RELAY, ROUTE, BAND }, JSON.stringify(target));
    assert.deepEqual(route.hops.map((h) => `${h.kind} ${h.num}`), hops);
    assert.equal(route.group.freq, CH);
  }
});

test('ID is the record type, num, parent, flags and the serial little-endian', () => {
  const g = regInfo.groups[0];
  // VL-RD (97): type 0xFA; warning + downloading = bits 0 and 2.
  assert.deepEqual(unitId('remote', g.remoteUnits[0]), [0xfa, 1, 2, 0b101, 0x01, 0x02, 0xc2, 0x00]);
  // VL-RC (94): type 0xFE, all three flags.
  assert.deepEqual(unitId('remote', g.remoteUnits[1]), [0xfe, 4, 0, 0b111, 0x04, 0x02, 0xbc, 0x00]);
  // VL-RG (98): type 0xF8; monitoring + downloading H = bits 1 and 3.
  assert.deepEqual(unitId('remote', g.remoteUnits[2]), [0xf8, 5, 1, 0b1010, 0x05, 0x02, 0xc4, 0x00]);
  // Repeaters: type 0xFD, no flags.
  assert.deepEqual(unitId('repeater', g.repeaters[1]), [0xfd, 2, 1, 0, 0x02, 0x02, 0xc8, 0x00]);
  // The top byte of a serial is kept (no sign trouble).
  assert.deepEqual(unitId('remote', { serial: 'FFB80001', num: 1, parent: 0 }).slice(4), [0x01, 0x00, 0xb8, 0xff]);
});

test('broken registrations give a RouteError naming the fault', () => {
  const broken = (repeaters, unit) => ({ groups: [{ freq: 1, band: 0, repeaters, remoteUnits: [unit] }] });
  const unit = { serial: '00B80001', num: 1, parent: 3 };
  const cases = [
    [broken([], unit), { group: 0, kind: 'remote', num: 1 }, 'noParent'],
    [broken([{ num: 3, parent: 4, serial: '1' }, { num: 4, parent: 3, serial: '2' }], unit), { group: 0, kind: 'remote', num: 1 }, 'loop'],
    [broken([], unit), { group: 0, kind: 'remote', num: 9 }, 'noTarget'],
    [broken([], unit), { group: 5, kind: 'remote', num: 1 }, 'noTarget'],
    [broken([], { serial: 'not hex', num: 1, parent: 0 }), { group: 0, kind: 'remote', num: 1 }, 'badSerial'],
    [null, { group: 0, kind: 'remote', num: 1 }, 'noTarget'],
  ];
  for (const [reg, target, code] of cases) {
    assert.throws(() => buildRoute(reg, target), (e) => e instanceof RouteError && e.code === code, code);
  }
});

test('signals are matched to hops by number in radio order', () => {
  const hops = [{ num: 1 }, { num: 2 }, { num: 1 }]; // R1, R2, remote unit 1
  // Signals come sorted by number; equal numbers stay in radio order.
  const signals = [{ number: 1, level: 150, battery: 90 }, { number: 1, level: 99, battery: 20 }, { number: 2, level: 120, battery: 80 }];
  assert.deepEqual(matchSignals(hops, signals), [{ level: 150, battery: 90 }, { level: 120, battery: 80 }, { level: 99, battery: 20 }]);
  // The far unit did not answer: only the first hops carry readings.
  assert.deepEqual(matchSignals(hops, signals.slice(0, 1)), [{ level: 150, battery: 90 }, null, null]);
  assert.deepEqual(matchSignals(hops, undefined), [null, null, null]);
});

test('every remote unit of every group is a site-survey target', () => {
  assert.deepEqual(allRemoteTargets(regInfo).map((x) => `${x.group}:${x.num}`), ['0:1', '0:4', '0:5', '1:1']);
  assert.deepEqual(allRemoteTargets({ groups: [] }), []);
});

test('a probed hop names every figure in its tooltip, the loss bound only when all answered', async () => {
  const { figuresTitle } = await import('../../web/linkmeter/src/ui/routeview.js');
  const { setLanguage } = await import('../../web/linkmeter/src/i18n/i18n.js');
  setLanguage('en');
  const cases = [
    [{ asked: 5, answered: 5, min: 107, median: 107, max: 109, lossBound: 0.451 }, ['5 of 5 answered', 'minimum 107, median 107, maximum 109', '45.1 %']],
    [{ asked: 5, answered: 3, min: 90, median: 95, max: 99, lossBound: null }, ['3 of 5 answered', 'median 95'], ['%']],
    [{ asked: 2, answered: 0, lossBound: null }, ['0 of 2 answered'], ['median']],
    [null, [], ['answered']],
  ];
  for (const [figures, has, hasNot = []] of cases) {
    const tip = figuresTitle(figures);
    for (const text of has) assert.ok(tip.includes(text), `${tip} has ${text}`);
    for (const text of hasNot) assert.ok(!tip.includes(text), `${tip} lacks ${text}`);
  }
});
