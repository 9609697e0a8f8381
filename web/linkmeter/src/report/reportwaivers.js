// The waivers of the visit a report's survey was taken in, read back from
// the site records (the Acceptance tab writes each one there), so the paper
// prints the waivers in force however the page got to the report.
import { createRecords } from '../records/records.js';

// → waiver and withdrawal records ({id, action, serial, reason, at, …}) in
// the store's order; [] for a survey the records did not keep.
export async function recordedWaivers(ctx, survey) {
  const rec = ctx.recorder;
  const visitId = rec && survey ? await rec.visitIdOf(survey) : null;
  if (visitId === null || visitId === undefined) return [];
  await rec.idle(); // a waiver just given is written first
  const records = createRecords(ctx);
  const visit = await records.readVisit({ visitId });
  const ids = visit.records.filter((r) => r.kind === 'waiver').map((r) => r.id);
  const out = [];
  for (const id of ids) {
    const r = await records.readRecord({ kind: 'waiver', id });
    if (r && r.decoded && typeof r.decoded === 'object') out.push({ ...r.decoded, id });
  }
  return out;
}
