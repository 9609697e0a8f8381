// The recorder's writes, one at a time and in order, apart from the
// measurements: a write never throws into the flow that caused it. A busy
// store (another writer holds it) is tried again after a pause; any other
// failure is reported and the next write goes on.
import { recordsFailure, RECORDS_FAILURE } from './records.js';

// What a write answers when it had nothing to write to (its visit or
// survey was never stored): it changes no status.
export const SKIP = Symbol('skip');

export const BUSY_PAUSES_MS = Object.freeze([250, 500, 1000, 2000, 4000]);

const defaultSleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// onStatus({state, code, message, written, pending}) after every change:
// state 'ok', 'retrying' (the store was busy) or 'failed' (until a later
// write succeeds).
export function createWriteQueue({ onStatus = () => {}, sleep = defaultSleep, pauses = BUSY_PAUSES_MS } = {}) {
  const tasks = [];
  const idlers = [];
  let running = false;
  const status = { state: 'ok', code: null, message: '', written: 0, pending: 0 };
  const report = (patch) => {
    Object.assign(status, patch, { pending: tasks.length + (running ? 1 : 0) });
    try {
      onStatus({ ...status });
    } catch (e) { /* a status line must not stop the writes */ }
  };

  async function attempt(task) {
    for (let i = 0; ; i++) {
      try {
        const value = await task();
        if (value === SKIP) return undefined;
        report({ state: 'ok', code: null, message: '', written: status.written + 1 });
        return value;
      } catch (e) {
        const code = recordsFailure(e);
        if (code === RECORDS_FAILURE.busy && i < pauses.length) {
          report({ state: 'retrying', code, message: (e && e.message) || '' });
          await sleep(pauses[i]);
          continue;
        }
        report({ state: 'failed', code, message: (e && e.message) || String(e) });
        return undefined;
      }
    }
  }

  async function drain() {
    running = true;
    while (tasks.length) {
      const { task, done } = tasks.shift();
      done(await attempt(task));
    }
    running = false;
    report({});
    while (idlers.length) idlers.shift()();
  }

  return {
    // Runs task() after the writes before it; resolves with its value, or
    // undefined when it failed.
    push(task) {
      return new Promise((done) => {
        tasks.push({ task, done });
        if (!running) drain();
        else report({});
      });
    },
    // Resolves once every write pushed so far is done.
    idle: () => (running || tasks.length ? new Promise((resolve) => idlers.push(resolve)) : Promise.resolve()),
    status: () => ({ ...status }),
  };
}
