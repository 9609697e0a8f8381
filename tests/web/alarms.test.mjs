// The monitor's alarms on the page: the timeline History lists (one row per
// raise with what followed it), and the header's mark of the alarms firing
// for the connected unit's site, over the records functions with a fake api.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { loadDom } from './dom-support.mjs';

const dom = loadDom();
if (dom) {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node });
}
const skip = !dom && 'no DOM module';
const { alarmRows, alarmKeyParts } = await import('../../web/linkmeter/src/records/alarmlist.js');
const { createRecords } = await import('../../web/linkmeter/src/records/records.js');
const { createStore } = await import('../../web/linkmeter/src/page/state.js');
const { AlarmTimeline } = dom ? await import('../../web/linkmeter/src/views/historyalarms.js') : {};
const { createAlarmBadge } = dom ? await import('../../web/linkmeter/src/views/alarmbadge.js') : {};

const REPEATER = '009A0011/silent-repeater/00C80102';
const HOP = '009A0011/degraded-hop/009A0011-00B80101';
const EVENTS = [
  { id: 1, key: REPEATER, kind: 'raised', at: 1000, raisedId: null, summary: 'Repeater R2 is silent', detail: { unreachable: ['00BC0103'] } },
  { id: 2, key: HOP, kind: 'raised', at: 2000, raisedId: null, summary: 'Link degraded', detail: {} },
  { id: 3, key: HOP, kind: 'flapping', at: 2500, raisedId: 2, summary: '', detail: {} },
  { id: 4, key: REPEATER, kind: 'ack', at: 3000, raisedId: 1, summary: 'ops', detail: {} },
  { id: 5, key: REPEATER, kind: 'resolved', at: 4000, raisedId: 1, summary: 'back', detail: {} },
  { id: 6, key: HOP, kind: 'resolved', at: 5000, raisedId: 99, summary: 'of a raise before the span', detail: {} },
];

test('alarm rows: one per raise, newest first, with its end, acknowledgement and flapping', () => {
  const rows = alarmRows(EVENTS);
  assert.deepEqual(rows.map((r) => [r.key, r.startedAt, r.endedAt, r.ackedAt, r.flapping]),
    [[HOP, 2000, null, null, true], [REPEATER, 1000, 4000, 3000, false]]);
  assert.deepEqual(rows[1].unreachable, ['00BC0103']);
  assert.deepEqual(alarmKeyParts(HOP), { site: '009A0011', rule: 'degraded-hop', subject: '009A0011-00B80101' });
  assert.deepEqual(alarmRows(null), []);
});

function recordsAnswering(answer) {
  const calls = [];
  const api = { query: async (name, arg) => { calls.push([name, arg]); return answer(name, arg); } };
  return { records: createRecords({ api }), calls };
}

test('History lists the site\'s alarms and says when the store cannot', { skip }, async () => {
  const { records, calls } = recordsAnswering(() => EVENTS);
  const timeline = new AlarmTimeline(records);
  const box = timeline.element();
  await timeline.load({ serial: 0x009a0011 });
  assert.deepEqual(calls, [['LmRecordsAlarmTimeline', { serial: 0x009a0011 }]]);
  const rows = [...box.querySelectorAll('[data-test=history-alarm]')];
  assert.deepEqual(rows.map((r) => [r.dataset.key, r.dataset.state, r.dataset.acked, r.dataset.flapping]),
    [[HOP, 'firing', 'false', 'true'], [REPEATER, 'resolved', 'true', 'false']]);
  assert.equal(timeline.status.dataset.state, 'ready');

  const failing = new AlarmTimeline(recordsAnswering(() => { throw new Error('no such table'); }).records);
  failing.element();
  await failing.load({ serial: 1 });
  assert.equal(failing.status.dataset.state, 'failed');
  assert.match(failing.status.textContent, /no such table/);
});

test('the header counts the alarms firing for the connected unit\'s site and follows the unit', { skip }, async () => {
  let release;
  const slow = new Promise((resolve) => { release = resolve; });
  const { records, calls } = recordsAnswering((name, arg) => {
    if (arg.serial === 0x009a0011) return slow.then(() => [{ id: 1, summary: 'stale' }]);
    if (arg.serial === 0x009c0021) return [{ id: 7, summary: 'Unit A is silent' }, { id: 8, summary: 'Link B degraded' }];
    throw new Error('busy');
  });
  const store = createStore({ unit: null });
  const badge = createAlarmBadge({ store }, records, { every: 0 });
  assert.equal(badge.element.hidden, true);
  assert.equal(calls.length, 0);  // no unit, no question
  store.set({ unit: { serial: '009A0011' } });
  store.set({ unit: { serial: '009C0021' } });
  await new Promise((r) => setTimeout(r, 0));
  release();
  await new Promise((r) => setTimeout(r, 0));
  // The first unit's late answer does not overwrite the second's.
  assert.equal(badge.element.dataset.count, '2');
  assert.equal(badge.element.hidden, false);
  assert.match(badge.element.title, /Unit A is silent\nLink B degraded/);
  store.set({ unit: { serial: '00000001' } });
  await new Promise((r) => setTimeout(r, 0));
  assert.equal(badge.element.hidden, true);  // a store that cannot say shows nothing
  badge.stop();
});
