// Message tables, the survey call against a stand-in program, and the exit
// guard and keep-awake lock while a survey runs.
import { test, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import ja from '../../web/linkmeter/src/i18n/ja.js';
import en from '../../web/linkmeter/src/i18n/en.js';
import serviceJa from '../../web/linkmeter/src/i18n/service-ja.js';
import serviceEn from '../../web/linkmeter/src/i18n/service-en.js';
import { pickLanguage, setLanguage, t } from '../../web/linkmeter/src/i18n/i18n.js';
import { runSurvey } from '../../web/linkmeter/src/site/survey.js';
import { beginBusy, installExitGuard } from '../../web/linkmeter/src/page/busy.js';
import { CancelledError, DeviceError } from '../../web/linkmeter/src/device/api.js';

test('both languages carry the same keys and placeholders', () => {
  const holes = (text) => (text.match(/\{\w+\}/g) || []).sort().join();
  for (const [jaTable, enTable] of [[ja, en], [serviceJa, serviceEn]]) {
    assert.deepEqual(Object.keys(jaTable).sort(), Object.keys(enTable).sort());
    for (const key of Object.keys(enTable)) assert.equal(holes(jaTable[key]), holes(enTable[key]), key);
  }
});

test('the language follows the system language; C and POSIX get the program language', () => {
  const cases = [['ja-JP', 'ja'], ['ja', 'ja'], ['en-US', 'en'], ['en_GB.UTF-8', 'en'], ['de-DE', 'en'], ['C', 'ja'], ['POSIX', 'ja'], ['', 'ja'], [undefined, 'ja']];
  for (const [tag, lang] of cases) assert.equal(pickLanguage(tag), lang, String(tag));
  setLanguage('en');
  assert.equal(t('units.found', { n: 2, loggers: 1 }), '2 base units, 1 loggers found');
  assert.equal(t('no.such.key'), 'no.such.key');
});

// The program: each query answered by `answers[name]` (a value or a
// function of the argument); records every call.
let calls;
function program(answers) {
  calls = [];
  globalThis.app = {
    jsQuery(name, arg, ok, fail) {
      calls.push({ name, arg });
      const a = typeof answers[name] === 'function' ? answers[name](arg) : answers[name];
      queueMicrotask(() => (a && a.failure ? fail(a.failure) : ok(a)));
      return calls.length;
    },
    setThreadExecutionState(flags) {
      calls.push({ name: 'keepAwake', arg: flags });
    },
  };
}

const regInfo = { groups: [{ name: 'G', freq: 12, band: 0, repeaters: [{ num: 1, parent: 0, serial: '00C80101' }],
  remoteUnits: [{ model: 'VL-RA', serial: '00B80101', num: 4, parent: 1, name: 'U4' }] }] };
const target = { group: 0, kind: 'remote', num: 4 };
const comInfo = { com: 1, serial: '009A0011' };

test('a survey sends the route fields and reads every outcome', async () => {
  const cases = [
    [{ isSuccess: true, STATUS: '0004-0000', Signals: [{ number: 1, level: 140, battery: 90 }, { number: 4, level: 120, battery: 50 }] }, 'ok'],
    [{ isSuccess: false, STATUS: '0004-0002', Signals: [{ number: 1, level: 140, battery: 90 }] }, 'partial'],
    [{ isSuccess: false, STATUS: '0004-0002' }, 'noAnswer'],
    [{ isSuccess: false, isCancel: true, STATUS: '0004-0008' }, CancelledError],
    [{ isSuccess: false, isTimeout: true, msg: 'timeout' }, DeviceError],
    [{ isSuccess: false, STATUS: '0003-0090', msg: 'STATUS=0003-0090 (EWLRU 0 0)' }, DeviceError],
    [{ failure: { code1: 1028, code2: 103, msg: 'receive error' } }, DeviceError],
  ];
  for (const [answer, expected] of cases) {
    program({ ComTcmdEWLRU: answer });
    const p = runSurvey({ comInfo, regInfo, target, mnemonic: 'EWLRU' });
    if (typeof expected === 'string') assert.equal((await p).status, expected, JSON.stringify(answer));
    else await assert.rejects(p, expected, JSON.stringify(answer));
    assert.deepEqual(calls[0], { name: 'ComTcmdEWLRU', arg: { comInfo, CH: 12, ID: [0xfe, 4, 1, 0, 0x01, 0x01, 0xb8, 0x00], RELAY: [1], ROUTE: 1, BAND: 0 } });
  }
});

test('while busy the computer stays awake and exit asks first', async () => {
  const exitAnswer = async () => new Promise((resolve) => globalThis.app.onConfirmExit(resolve));
  for (const [pressed, leaves] of [[3, true], [4, false], [{ failure: { code1: -1, msg: 'no window' } }, true]]) {
    program({ JsMsgbox: pressed });
    installExitGuard();
    assert.equal(await exitAnswer(), true, 'nothing running: exit at once');
    assert.equal(calls.length, 0);

    const end = beginBusy();
    const second = beginBusy();
    assert.deepEqual(calls.filter((c) => c.name === 'keepAwake').map((c) => c.arg), [{ continuous: true, systemRequired: true }]);
    assert.equal(await exitAnswer(), leaves, JSON.stringify(pressed));
    assert.equal(calls.find((c) => c.name === 'JsMsgbox').arg.btn, 2);
    end();
    end(); // ending twice counts once
    assert.equal(calls.filter((c) => c.name === 'keepAwake').length, 1, 'still one survey running');
    second();
    assert.deepEqual(calls.filter((c) => c.name === 'keepAwake').map((c) => c.arg)[1], { continuous: true });
  }
});
