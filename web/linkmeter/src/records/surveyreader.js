// Stored surveys of one site read back in the page's shape, each decoded
// with the registration it was measured with (never the visit's newest:
// a sibling file loaded later names other units) and judged by the
// thresholds in force when it was taken, or by today's when asked.
import { surveyFromRecord, regInfoOf, keptThresholds } from './historysurvey.js';
import { snapshotCandidates } from './historylist.js';

// The ways a stored survey's verdicts can be shown.
export const JUDGED = Object.freeze({ then: 'then', now: 'now' });

export class SurveyReader {
  // records: the records functions; site: {serial, name, model};
  // visits(record) → (a promise of) the readVisit answers to look for its
  // registration in; fallbackRegInfo() → the registration to name units by
  // when a survey names none and its visits kept none (or null).
  constructor(records, { site, visits, fallbackRegInfo = () => null }) {
    this.records = records;
    this.site = site;
    this.visits = visits;
    this.fallbackRegInfo = fallbackRegInfo;
    this.kept = new Map(); // `${kind}:${id}` → record
    this.regs = new Map(); // registration id → regInfo or null
    this.described = new Map(); // `${kind}:${id}` → describe's answer, once known
  }

  async record(kind, id) {
    const key = `${kind}:${id}`;
    if (!this.kept.has(key)) this.kept.set(key, this.records.readRecord({ kind, id }));
    try {
      return await this.kept.get(key);
    } catch (e) {
      this.kept.delete(key);
      throw e;
    }
  }

  async registration(id) {
    if (!this.regs.has(id)) this.regs.set(id, regInfoOf((await this.records.readRecord({ kind: 'registration', id })).decoded));
    return this.regs.get(id);
  }

  // The registration that names a stored survey's units, or null.
  async regInfoFor(record) {
    const { named, ids } = snapshotCandidates(record, await this.visits(record));
    for (const id of ids) {
      const regInfo = await this.registration(id);
      if (regInfo) return regInfo;
    }
    return named ? null : this.fallbackRegInfo();
  }

  // {record, survey}: `judged` then (the survey's own thresholds, when it
  // kept usable ones) or now (`today`).
  async survey(kind, id, { judged = JUDGED.then, today } = {}) {
    const record = await this.record(kind, id);
    const regInfo = await this.regInfoFor(record);
    const kept = judged === JUDGED.then ? keptThresholds(record) : null;
    const survey = surveyFromRecord(record, { site: this.site, regInfo, th: kept || today });
    return { record, survey: { ...survey, judged: kept ? JUDGED.then : JUDGED.now } };
  }

  // Whether a stored survey can be a default baseline: complete and with a
  // unit measured.
  async describe(kind, id) {
    const record = await this.record(kind, id);
    const measured = (record.probes || []).length > 0 || (record.hops || []).length > 0;
    const d = { complete: record.endedAt !== null && record.endedAt !== undefined, measured };
    this.described.set(`${kind}:${id}`, d);
    return d;
  }

  // Whether a survey is known to be cut short (described already).
  cutShort(kind, id) {
    const d = this.described.get(`${kind}:${id}`);
    return Boolean(d && !d.complete);
  }
}
