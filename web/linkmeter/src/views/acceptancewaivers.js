// The waivers of a visit as the page holds them: the records given and
// withdrawn this session, each written to the site records on the visit the
// survey was taken in (never changed: a withdrawal is a record of its own).
import { waiverRecord, withdrawalRecord } from '../site/waivers.js';
import { serialKey } from '../records/recorderkinds.js';

export class VisitWaivers {
  constructor(recorder) {
    this.recorder = recorder;
    this.byVisit = new WeakMap(); // the recorder's visit handle → records
    this.loose = new Map(); // surveys the records did not keep
    this.next = 1;
  }

  listOf(survey) {
    const visit = this.recorder ? this.recorder.visitFor(survey) : null;
    if (visit) {
      if (!this.byVisit.has(visit)) this.byVisit.set(visit, []);
      return this.byVisit.get(visit);
    }
    const key = `${survey.prov.base.serial}@${survey.started}`;
    if (!this.loose.has(key)) this.loose.set(key, []);
    return this.loose.get(key);
  }

  records(survey) {
    return survey ? this.listOf(survey).map((w) => w.record) : [];
  }

  // Keeps the record and writes it; resolves with the store's id (or null).
  write(survey, record) {
    const entry = { record: { ...record, id: `page-${this.next++}` } };
    this.listOf(survey).push(entry);
    const unit = serialKey(record.serial);
    const write = this.recorder
      ? this.recorder.recordFor(survey, 'recordWaiver', { takenAt: record.at, raw: [], decoded: record, ...(unit === null ? {} : { unit }) })
      : Promise.resolve(undefined);
    entry.stored = write.then((answer) => {
      if (answer && answer.id !== undefined) entry.record = { ...entry.record, id: answer.id };
      return answer ? answer.id : null;
    });
    return entry.stored;
  }

  // A waiver of unit {serial, label} for `reason`; throws a RangeError for
  // a missing or too long reason.
  waive(survey, unit, reason) {
    return this.write(survey, waiverRecord({ serial: unit.serial, label: unit.label, reason }));
  }

  // Withdraws the waiver in force for `serial`, once its own record is stored.
  async withdraw(survey, waiverId) {
    const entry = this.listOf(survey).find((w) => w.record.id === waiverId);
    if (!entry) return null;
    await entry.stored;
    return this.write(survey, withdrawalRecord({ id: entry.record.id, serial: entry.record.serial }));
  }
}
