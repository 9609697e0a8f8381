// The site-records writes of a command-line run, kept apart from its
// measurements. A write the store refuses as busy (another program holds
// its write lock) is tried again after growing pauses for as long as the
// run lasts; what is still unwritten when the run ends is handed back as a
// pending list, which the next run writes first. A placeholder id stands
// for the id a pending write will get, so the writes after it (a survey of
// a visit not yet stored) can wait with it.
import { recordsFailure, RECORDS_FAILURE, RECORDS_FUNCTIONS, recordsQueryName } from './records.js';

export const BUSY_PAUSES_MS = Object.freeze([250, 500, 1000, 2000, 4000]);

const READS = new Set(['status', 'listSites', 'listVisits', 'readVisit', 'readRecord', 'unitTrend']);
const WRITES = new Set(RECORDS_FUNCTIONS.filter((f) => !READS.has(f) && !f.startsWith('export') && f !== 'import').map(recordsQueryName));
// What stands for the id of a write not made yet.
const PLACEHOLDER = /^pending:\d+:\d+$/;
const isPlaceholderText = (v) => typeof v === 'string' && PLACEHOLDER.test(v);

export const isRecordWrite = (name) => WRITES.has(name);

const defaultSleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// api: the page's api; its records writes go through query().
export function createRecordWrites({ api, sleep = defaultSleep, pauses = BUSY_PAUSES_MS, now = Date.now }) {
  const kept = []; // {name, arg, stands}
  const ids = new Map(); // placeholder → the id its write got
  const failures = [];
  const run = now();
  let count = 0;
  let ending = false;
  let endRun = null;
  const ended = new Promise((resolve) => {
    endRun = resolve;
  });

  const resolved = (arg) => {
    if (!arg || typeof arg !== 'object') return arg;
    // The members naming a record an earlier write made (visitId, surveyId,
    // registrationId, …).
    const out = { ...arg };
    for (const [key, value] of Object.entries(out)) if (ids.has(value)) out[key] = ids.get(value);
    return out;
  };
  const keep = (name, arg, stands = `pending:${run}:${count++}`) => {
    kept.push({ name, arg: resolved(arg), stands });
    return { id: stands };
  };
  const isPlaceholder = (arg) => Boolean(arg) && typeof arg === 'object' && Object.values(arg).some(isPlaceholderText);

  // One write: its answer, or a placeholder once the run has ended; a
  // failure other than a busy store rejects.
  async function write(name, arg, options, stands) {
    for (let i = 0; ; i++) {
      if (ending || isPlaceholder(resolved(arg))) return keep(name, arg, stands);
      const attempt = api.query(name, resolved(arg), options).then((value) => ({ value }), (error) => ({ error }));
      const outcome = await Promise.race([attempt, ended.then(() => null)]);
      // The run ended while the store kept this one waiting: it stays pending
      // (written again next time; the store takes a repeated write once).
      if (outcome === null) return keep(name, arg, stands);
      if (!outcome.error) return outcome.value;
      if (recordsFailure(outcome.error) !== RECORDS_FAILURE.busy) throw outcome.error;
      await Promise.race([sleep(pauses[Math.min(i, pauses.length - 1)]), ended]);
    }
  }

  // Earlier runs' pending writes, in their order; run before this run's own.
  async function replay(list) {
    for (const entry of Array.isArray(list) ? list : []) {
      if (!entry || !isRecordWrite(entry.name)) continue;
      try {
        const answer = await write(entry.name, entry.arg, undefined, entry.stands);
        if (answer && answer.id !== undefined && answer.id !== entry.stands) ids.set(entry.stands, answer.id);
      } catch (e) {
        failures.push((e && e.message) || String(e));
      }
    }
  }

  let replaying = Promise.resolve();
  return {
    query: (name, arg, options) => (isRecordWrite(name) ? replaying.then(() => write(name, arg, options)) : api.query(name, arg, options)),
    replay(list) {
      replaying = replay(list);
      return replaying;
    },
    // The run is over: writes still waiting, and every later one, are kept.
    end() {
      ending = true;
      endRun();
    },
    pending: () => kept.map((entry) => ({ ...entry })),
    failures: () => [...failures],
  };
}
