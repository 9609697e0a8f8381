// The command line's report (linkmeter-cli report --site S --visit N FILE):
// the program opens this page with "#report-pdf?site=…&visit=…&path=…&lang=…",
// the Report tab makes that visit's report and saves it as PDF exactly as
// the window does, the outcome is written to the console (which the program
// copies to the command line) and the program ends.

export const JOB_PREFIX = '#report-pdf?';

// The job a page address carries, or null: {serial (number), visitId, path,
// lang}.
export function printJob(hash) {
  if (typeof hash !== 'string' || !hash.startsWith(JOB_PREFIX)) return null;
  const q = new URLSearchParams(hash.slice(JOB_PREFIX.length));
  const serial = parseInt(q.get('site') || '', 16);
  const visitId = Number(q.get('visit'));
  const path = q.get('path') || '';
  if (!Number.isFinite(serial) || !Number.isInteger(visitId) || !path.startsWith('/')) return null;
  return { serial, visitId, path, lang: q.get('lang') || '' };
}

// Runs the job through `go` (the page's tab switch, answering the tab's
// show()), says how it went and ends the program.
export async function runPrintJob(job, go) {
  try {
    const done = await go('report', { visit: { serial: job.serial, visitId: job.visitId }, pdf: job.path });
    console.log(`linkmeter-report: saved ${JSON.stringify(done)}`);
  } catch (e) {
    const why = (e && e.detail && e.detail.msg) || (e && e.message) || String(e);
    console.error(`linkmeter-report: failed ${JSON.stringify({ why })}`);
  }
  if (globalThis.app && typeof globalThis.app.exit === 'function') globalThis.app.exit(true);
}
