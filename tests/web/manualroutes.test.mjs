// Routes entered by hand: what an entry must hold, the registration the
// routes make (surveyed as the unit's own would be), keeping them per base
// unit, and taking them from a registration such as the sibling's.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  checkRoute, manualRegistration, routesFromRegistration, loadRoutes, saveRoutes, routeTarget, modelOfSerial, parseRelays,
} from '../../web/linkmeter/src/site/manualroutes.js';
import { buildRoute, unitId } from '../../web/linkmeter/src/device/route.js';
import { runSurvey } from '../../web/linkmeter/src/site/survey.js';

const entry = (over = {}) => ({ freq: '12', band: '0', relays: '1 2', num: '3', serial: '00BC0103', name: 'FIELD-TH', ...over });
const firstProblem = (checked) => (checked.problems ? Object.entries(checked.problems).map(([f, p]) => `${f} ${p[0]}`)[0] : 'ok');

test('an entry: ranges, serials, repeater lists', () => {
  const cases = [
    [{}, 'ok'],
    [{ relays: '' }, 'ok'], // direct from the base unit
    [{ relays: '1, 2' }, 'ok'],
    [{ serial: 'bc0103' }, 'ok'], // short and lower case: padded, upper-cased
    [{ freq: '' }, 'freq routes.range'],
    [{ freq: '256' }, 'freq routes.range'],
    [{ freq: '1.5' }, 'freq routes.range'],
    [{ band: '7' }, 'band routes.range'],
    [{ num: '0' }, 'num routes.range'],
    [{ num: '251' }, 'num routes.range'],
    [{ serial: '' }, 'serial routes.serial'],
    [{ serial: '00BC01034' }, 'serial routes.serial'],
    [{ serial: '00XC0103' }, 'serial routes.serial'],
    [{ serial: '009A0011' }, 'serial routes.notRemote'], // a base unit's serial
    [{ serial: '00C80101' }, 'serial routes.notRemote'], // a repeater's
    [{ relays: '1 x' }, 'relays routes.badRelays'],
    [{ relays: '1 2 1' }, 'relays routes.repeatTwice'],
    [{ relays: '0' }, 'relays routes.range'],
    [{ relays: Array.from({ length: 17 }, (x, i) => i + 1).join(' ') }, 'relays routes.tooMany'],
  ];
  for (const [over, want] of cases) assert.equal(firstProblem(checkRoute(entry(over))), want, JSON.stringify(over));
  assert.deepEqual(checkRoute(entry({ serial: 'bc0103' })).route.serial, '00BC0103');
  assert.deepEqual(parseRelays('1→2 , 3'), [1, 2, 3]);
  assert.equal(modelOfSerial('00BC0103'), 'VL-RC');
  assert.equal(modelOfSerial('00C20104'), 'VL-RD');
});

test('routes on one channel and band must agree with each other', () => {
  const kept = [checkRoute(entry()).route];
  const cases = [
    [{ serial: '00B80101', num: '1', relays: '' }, 'ok'],
    [{ serial: '00B80101', num: '1', relays: '1' }, 'ok'], // R1 after the base unit, as before
    [{ serial: '00B80101', num: '1', relays: '2' }, 'relays routes.parentClash'], // R2 after R1 in the kept route
    [{ serial: '00B80101', num: '1', relays: '2 1' }, 'relays routes.parentClash'],
    [{ serial: '00B80101', num: '3' }, 'num routes.numTaken'],
    [{ num: '4' }, 'serial routes.twice'],
    [{ serial: '00B80101', num: '3', freq: '13' }, 'ok'], // another channel: another group
    [{ serial: '00B80101', num: '3', band: '1' }, 'ok'],
  ];
  for (const [over, want] of cases) assert.equal(firstProblem(checkRoute(entry(over), kept)), want, JSON.stringify(over));
});

const routes = [
  checkRoute(entry()).route,
  checkRoute(entry({ serial: '00BA0102', num: '2', relays: '1', name: 'HOUSE-2' })).route,
  checkRoute(entry({ serial: '00B80101', num: '1', relays: '', name: 'HOUSE-1' })).route,
  checkRoute(entry({ serial: '00C60106', num: '6', relays: '', freq: '20', band: '2', name: '' })).route,
];

test('the registration the routes make carries every route as entered', () => {
  const reg = manualRegistration('9a0011', routes);
  assert.equal(reg.serial, '009A0011');
  assert.deepEqual(reg.groups.map((g) => [g.freq, g.band, g.repeaters.map((r) => `R${r.num}<${r.parent}`), g.remoteUnits.map((u) => `${u.num}<${u.parent}`)]),
    [[12, 0, ['R1<0', 'R2<1'], ['1<0', '2<1', '3<2']], [20, 2, [], ['6<0']]]);
  const cases = [
    [routes[0], { CH: 12, BAND: 0, RELAY: [1, 2], ROUTE: 1 }, ['R1', 'R2', 'FIELD-TH']],
    [routes[1], { CH: 12, BAND: 0, RELAY: [1], ROUTE: 1 }, ['R1', 'HOUSE-2']],
    [routes[2], { CH: 12, BAND: 0, RELAY: [], ROUTE: 0 }, ['HOUSE-1']],
    [routes[3], { CH: 20, BAND: 2, RELAY: [], ROUTE: 0 }, ['']],
  ];
  for (const [route, fields, hops] of cases) {
    const built = buildRoute(reg, routeTarget(reg, route));
    const { ID, ...rest } = built.fields;
    assert.deepEqual(rest, fields, route.serial);
    assert.deepEqual(built.hops.map((h) => (h.kind === 'repeater' ? 'R' + h.num : h.name)), hops, route.serial);
    assert.deepEqual(ID, unitId('remote', { num: route.num, parent: route.relays.at(-1) ?? 0, serial: route.serial }), route.serial);
  }
});

test('a survey through hand-entered routes sends their fields and reads the answer', async () => {
  const reg = manualRegistration('009A0011', routes);
  const sent = [];
  const api = {
    query: async (name, arg) => {
      sent.push({ name, arg });
      return { isSuccess: true, STATUS: '0002-0000', Signals: [{ number: 1, level: 60, battery: 90 }, { number: 2, level: 50, battery: 80 }, { number: 3, level: 40, battery: 55 }] };
    },
  };
  const result = await runSurvey({ api, comInfo: { com: 1, serial: '009A0011' }, regInfo: reg, target: routeTarget(reg, routes[0]) });
  assert.equal(sent[0].name, 'ComTcmdEWLEX');
  assert.deepEqual([sent[0].arg.CH, sent[0].arg.RELAY, sent[0].arg.ID.slice(4)], [12, [1, 2], [0x03, 0x01, 0xbc, 0x00]]);
  assert.equal(result.status, 'ok');
  assert.deepEqual(result.hops.map((h) => h.reading && h.reading.level), [60, 50, 40]);
});

function memoryStorage() {
  const m = new Map();
  return { getItem: (k) => (m.has(k) ? m.get(k) : null), setItem: (k, v) => m.set(k, String(v)), removeItem: (k) => m.delete(k), m };
}

test('kept per base unit; damaged entries dropped, never surveyed', () => {
  const storage = memoryStorage();
  saveRoutes(storage, '009A0011', routes, 1000);
  saveRoutes(storage, '009C0021', routes.slice(0, 1), 2000);
  assert.deepEqual(loadRoutes(storage, '9a0011'), { routes, time: 1000 });
  assert.equal(loadRoutes(storage, '009C0021').routes.length, 1);
  assert.deepEqual(loadRoutes(storage, '00000001'), { routes: [], time: null });
  saveRoutes(storage, '009C0021', []);
  assert.equal(storage.m.has('linkmeter.routes.009C0021'), false, 'no routes: nothing kept');
  const damaged = [
    ['not JSON', '{'],
    ['no list', '{"routes":5}'],
    ['a bad serial', JSON.stringify({ routes: [{ ...routes[0], serial: 'zz' }], time: 1 })],
    ['a clash', JSON.stringify({ routes: [routes[0], { ...routes[1], num: 3 }], time: 1 })],
  ];
  for (const [what, text] of damaged) {
    storage.setItem('linkmeter.routes.00000002', text);
    assert.ok(loadRoutes(storage, '00000002').routes.length <= 1, what);
  }
});

test('routes taken from a registration: one per remote unit with a sound chain', () => {
  const reg = {
    serial: '009A0011',
    groups: [{ freq: 12, band: 0, repeaters: [{ num: 1, parent: 0, serial: '00C80101' }, { num: 2, parent: 1, serial: '00C80102' }, { num: 4, parent: 9, serial: '00C80104' }],
      remoteUnits: [{ num: 3, parent: 2, serial: '00BC0103', name: 'FIELD-TH', model: 'VL-RC' }, { num: 5, parent: 4, serial: '00BC0105', name: 'LOST' },
        { num: 6, parent: 0, serial: '00C80106', name: 'NOT-REMOTE' }] }],
  };
  const { routes: taken, skipped } = routesFromRegistration(reg);
  assert.deepEqual(taken.map((r) => [r.serial, r.relays, r.num, r.name]), [['00BC0103', [1, 2], 3, 'FIELD-TH']]);
  assert.equal(skipped, 2);
});
