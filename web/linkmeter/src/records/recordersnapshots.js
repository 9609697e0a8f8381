// The registration snapshots of the open visit: every registration the page
// read or loaded is kept once as a record, and a survey names the one it was
// measured with, so the survey is read back later with that registration
// and no other (a sibling file loaded afterwards names other units).
import { SKIP } from './recorderqueue.js';
import { serialKey } from './recorderkinds.js';

export class RegistrationSnapshots {
  // push(task) queues a write; records: the records functions.
  constructor({ push, records }) {
    this.push = push;
    this.records = records;
    this.visit = null;
    this.kept = new WeakMap(); // regInfo object → {id}: id null until stored
  }

  // A new visit: what was kept belongs to the one before.
  begin(visit) {
    this.visit = visit;
    this.kept = new WeakMap();
  }

  // Records a registration of the open visit (arg: recordRegistration's,
  // without visitId) and remembers it for the surveys made from `regInfo`.
  record(regInfo, arg) {
    const visit = this.visit;
    const snap = { id: null };
    if (regInfo && typeof regInfo === 'object') this.kept.set(regInfo, snap);
    this.push(async () => {
      if (!visit || visit.id === null) return SKIP;
      snap.id = (await this.records.recordRegistration({ visitId: visit.id, ...arg })).id;
      return snap.id;
    });
    return snap;
  }

  // The snapshot of `regInfo` (source 'unit', 'sibling' or 'manual', base
  // unit serial text, time it was read): the one kept, else it is recorded
  // now (routes entered by hand, or a registration read before the visit).
  of(regInfo, { source = 'unit', base = null, time = null } = {}) {
    if (!regInfo) return null;
    const known = this.kept.get(regInfo);
    if (known) return known;
    const unit = serialKey(base);
    return this.record(regInfo, { takenAt: time || Date.now(), source, raw: [], decoded: { regInfo }, ...(unit === null ? {} : { unit }) });
  }
}

// The survey arguments naming a snapshot, at the time the write runs (the
// snapshot's own write is queued before it).
export const snapshotArg = (snap) => (snap && snap.id !== null ? { registrationId: snap.id } : {});
