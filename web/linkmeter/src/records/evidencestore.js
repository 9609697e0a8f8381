// The records' evidence for a survey the page judges, gathered once per
// survey and map revision, so the Acceptance, Map and Report tabs judge
// with the same facts; when some arrives the store's `evidenceTick` moves
// and they redraw. A map edit or a channel scan asks for it again.
import { createRecords } from './records.js';
import { gatherEvidence } from './diagnosisgather.js';

let revision = 0;
const held = new WeakMap(); // survey → {revision, evidence, asked, settled (a promise)}

// The map changed (an edit, a plan, a scale) or a scan ended: gather again.
export function evidenceChanged(store) {
  revision += 1;
  store.set({ evidenceTick: (store.get().evidenceTick || 0) + 1 });
}

// The evidence of `survey` as last gathered (null before any), gathering it
// again (once per revision) when it is older. ctx: {store, api}. `until`
// the end of the survey's visit for a past visit.
export function evidenceOf(ctx, survey, { until = Infinity } = {}) {
  if (!survey || !ctx.api || typeof ctx.api.query !== 'function') return null;
  const entry = held.get(survey) || { revision: -1, evidence: null, asked: -1, settled: Promise.resolve() };
  held.set(survey, entry);
  if (entry.revision !== revision && entry.asked !== revision) {
    const asked = revision;
    entry.asked = asked;
    entry.settled = gatherEvidence(createRecords(ctx), survey, { until })
      .catch(() => ({}))
      .then((evidence) => {
        if (asked < entry.revision) return;
        Object.assign(entry, { revision: asked, evidence });
        ctx.store.set({ evidenceTick: (ctx.store.get().evidenceTick || 0) + 1 });
      });
  }
  return entry.evidence;
}

// Resolves once the evidence of `survey` is gathered (at once when it is):
// what is printed is judged with it, never before it arrived.
export async function evidenceReady(ctx, survey, options) {
  if (!survey || !ctx.api || typeof ctx.api.query !== 'function') return null;
  evidenceOf(ctx, survey, options);
  await held.get(survey).settled;
  return held.get(survey).evidence;
}
