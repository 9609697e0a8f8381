// Channel scans kept round by round. The view measures a round in calls of
// a few channels; a round ends when a call brings a channel the round
// already has, or when every channel of the first round was measured again.
// Each round is one write; the scan's end time is written when its run
// ends (a cut-short last round is kept, marked partial).
import { SKIP } from './recorderqueue.js';
import { unitOf } from './recorderkinds.js';

export class ScanRecorder {
  constructor({ push, records }) {
    this.push = push;
    this.records = records;
    this.scan = null;
  }

  // One measuring call's answer or failure (capture from the tap).
  chunk(capture, visit) {
    if (!visit) return;
    if (!this.scan || this.scan.visit !== visit) this.begin(capture, visit);
    const scan = this.scan;
    const freqs = (capture.arg && capture.arg.freqs) || [];
    // A call bringing a channel the round already has starts the next round:
    // the one before is whole, also when this call failed or was stopped.
    if (freqs.some((f) => scan.seen.has(f))) this.endRound(scan, false);
    if (capture.error || !Array.isArray(capture.answer)) {
      scan.cut = true;
      return;
    }
    for (const f of freqs) scan.seen.add(f);
    scan.readings.push(...capture.answer);
    scan.at = capture.at;
    if (scan.channels && scan.channels.every((f) => scan.seen.has(f))) this.endRound(scan, false);
  }

  begin(capture, visit) {
    this.scan = { visit, startedAt: capture.at, unit: unitOf(capture.arg), round: 0, seen: new Set(), readings: [], channels: null, at: capture.at, cut: false };
  }

  // Writes the round gathered so far (`partial` when a cancel or failure
  // cut it) and, with `end`, the scan's end time.
  endRound(scan, partial, end) {
    if (!scan.readings.length && !end) return;
    if (!scan.channels) scan.channels = [...scan.seen];
    const rounds = scan.readings.length ? [{ round: scan.round++, at: scan.at, raw: [], decoded: { readings: scan.readings, partial } }] : [];
    scan.seen = new Set();
    scan.readings = [];
    const { visit, startedAt, unit, channels } = scan;
    const arg = { startedAt, settings: { channels }, rounds, ...(unit === null ? {} : { unit }), ...(end ? { endedAt: end } : {}) };
    this.push(() => (visit.id === null ? SKIP : this.records.recordScan({ visitId: visit.id, ...arg })));
  }

  // The scan's run ended; a scan that measured nothing is not kept.
  end() {
    const scan = this.scan;
    this.scan = null;
    if (!scan || (scan.round === 0 && !scan.readings.length)) return;
    const whole = !scan.cut && (!scan.channels || scan.channels.every((f) => scan.seen.has(f)));
    this.endRound(scan, !whole, scan.at);
  }
}
