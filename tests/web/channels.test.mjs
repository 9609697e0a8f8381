// Channel lists as typed, the quietest channels, and which advice a
// failure gets.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { parseChannels, quietest } from '../../web/linkmeter/src/site/channels.js';
import { adviceKey } from '../../web/linkmeter/src/device/errors.js';

test('channel lists: single channels, ranges, separators, repeats', () => {
  const cases = [
    ['5', [5]], ['5, 12 20', [5, 12, 20]], ['20-23', [20, 21, 22, 23]], ['3;1,3 2-3', [3, 1, 2]],
    ['0-0', [0]], ['254-255', [254, 255]], ['', []], [' , ', []],
  ];
  for (const [text, channels] of cases) assert.deepEqual(parseChannels(text), channels, text);
  for (const bad of ['256', '5-3', 'a', '1-', '-1', '1.5', '0-300', '1000']) {
    assert.throws(() => parseChannels(bad), (e) => e instanceof RangeError && bad.includes(e.message), bad);
  }
});

test('the quietest channels: lowest levels, ties to the lower channel', () => {
  const readings = [{ freq: 20, level: 70 }, { freq: 5, level: 30 }, { freq: 12, level: 30 }, { freq: 1, level: 45 }, { freq: 2, level: 90 }];
  assert.deepEqual(quietest(readings), [5, 12, 1]);
  assert.deepEqual(quietest(readings.slice(0, 1)), [20]);
  assert.deepEqual(quietest([]), []);
});

test('failures get the advice that fits them', () => {
  const cases = [
    [{ code1: 1028, code2: -29, msg: 'fail to open : login refused' }, 'advice.password'],
    [{ code1: 1028, code2: -20, msg: 'fail to open : connect' }, 'advice.open'],
    [{ isTimeout: true, msg: 'timeout' }, 'advice.timeout'],
    [{ isSuccess: false, STATUS: '0004-0002', msg: 'STATUS=0004-0002 (EWLEX 0 0)' }, 'advice.radio'],
    [{ STATUS: '0003-0090' }, 'advice.busy'],
    [{ isSuccess: false, STATUS: '0005-0001', msg: 'STATUS=0005-0001 (EISUC 0 0)' }, 'advice.noLogger'],
    [{ code1: -22, msg: '通信が失敗しました。(VLB1 STATUS=0004-0001)' }, 'advice.measure'],
    [{ code1: 0, msg: 'Invalid arguments : このAPIは指定したcomInfo(VL-B1)に対応していません。' }, 'advice.unsupported'],
    [{ code1: -2, msg: "Invalid arguments : 'CH' value is invalid." }, 'advice.arguments'],
    [{ code1: -5, msg: 'method error', api: 'app.fileOpen' }, 'advice.file'],
    [{ code1: -1, msg: 'unhandled query' }, 'advice.missing'],
    [{ code1: 7, msg: 'something else' }, 'advice.retry'],
    [undefined, 'advice.retry'],
  ];
  for (const [detail, key] of cases) assert.equal(adviceKey(detail), key, JSON.stringify(detail));
});
