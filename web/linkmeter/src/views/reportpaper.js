// The customer's report of a survey on paper, as the Report tab prints it,
// saves it as PDF and shows its page 1 before printing: judged as every tab
// judges it (records/acceptancenow.js, with the visit's waivers and the
// records' evidence), with the technician's fields as typed on the screen,
// the comparison and weakest links copied from the screen, and the site's
// plans as pages of their own.
import { h, timeText } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { baseText } from '../ui/provenance.js';
import { showError } from '../page/ui.js';
import { currentThresholds } from '../site/thresholds.js';
import { layoutPages, imagesReady } from './reportprint.js';
import { acceptanceNow } from '../records/acceptancenow.js';
import { customerReport } from '../report/customerreport.js';
import { customerPaper } from '../report/customerpaper.js';
import { reportPlans } from '../report/reportplans.js';
import { planPaper } from '../report/planpaper.js';
import { createRecords } from '../records/records.js';

// The site's plans as the report's pages: none without site records. Site
// records that cannot be read do not stop the report: it is printed
// without its plans, and the page says so.
export async function planPapers(ctx, survey, proposals = []) {
  if (!ctx.api || typeof ctx.api.query !== 'function') return [];
  try {
    const plans = await reportPlans({ records: createRecords(ctx), recorder: ctx.recorder }, survey, currentThresholds(ctx.store.get()));
    return plans.map(({ page, image }) => planPaper(page, image, proposals));
  } catch (e) {
    showError(e, t('paper.plan.unread'));
    return [];
  }
}

// The customer's report of `survey` on paper, judged with `waivers` (the
// visit's waiver records), `until` the end of a past visit and `profile`
// the one it was judged by (the technician's own when null), followed
// by `plans` (planPapers), with its report id and the PDF's metadata; null
// for no survey. The same layout is printed, saved as PDF and previewed.
export function paperOf(ctx, survey, screen, { waivers = [], plans = [], until = Infinity, profile = null } = {}) {
  if (!survey || !survey.results.length) return null;
  const th = currentThresholds(ctx.store.get());
  const acceptance = acceptanceNow(ctx, survey, { waivers, until, profile });
  const report = customerReport(survey, acceptance, th);
  const typed = (k) => screen.querySelector('#report-' + k)?.value ?? '';
  // The comparison prints its hops; each unit's battery now is in its row.
  const comparison = screen.querySelector('#report-comparison')?.cloneNode(true);
  for (const x of comparison ? comparison.querySelectorAll('#report-compare-units, h4') : []) x.remove();
  const weakest = screen.querySelector('#report-weakest');
  const el = customerPaper({
    acceptance, report, survey, made: Date.now(),
    facts: { site: `${baseText(survey.prov)} ${survey.prov.base.model || ''}`.trim(), technician: typed('technician'), customer: typed('customer'), notes: typed('notes') },
    comparison: comparison || null,
    weakest: weakest && weakest.children.length ? weakest.cloneNode(true) : null,
    thresholdsLine: t('report.thresholdsLine', { ...th.level, ok: th.battery.ok, low: th.battery.low }),
    plans,
  });
  const siteName = survey.prov.base.name || String(survey.prov.base.serial);
  const meta = {
    title: `${t('paper.title')} — ${siteName}`,
    author: typed('technician'),
    subject: t('paper.subject', { verdict: acceptance.siteText, profile: acceptance.profileTitle, time: timeText(survey.started), id: report.id }),
  };
  return { el, id: report.id, meta, acceptance };
}

export const footerOf = (paper) => (page, total) => t('paper.footer', { id: paper.id, page, pages: total });

// Lays the customer's report out as numbered A4 pages (the print style
// shows them alone) and runs `print` on them: the program's PDF print or
// the print dialog.
export async function printPaper(paper, pages, print) {
  const started = performance.now();
  layoutPages(paper.el, pages, footerOf(paper));
  pages.dataset.reportId = paper.id;
  pages.dataset.layoutMs = String(Math.round(performance.now() - started));
  await imagesReady(pages);
  document.documentElement.classList.add('paged-print');
  try {
    await print(paper.meta);
  } finally {
    document.documentElement.classList.remove('paged-print');
  }
}

// Page 1 as it will print, laid out with the whole report (so it breaks
// where the print breaks) and shown alone in `target`.
export function previewPageOne(paper, target) {
  const scratch = h('div');
  layoutPages(paper.el, scratch, footerOf(paper));
  const sheet = scratch.firstChild;
  const pages = sheet ? [...sheet.querySelectorAll('[data-test=print-page]')] : [];
  for (const p of pages.slice(1)) p.remove();
  target.textContent = '';
  if (sheet) target.append(sheet);
  target.dataset.pages = scratch.dataset.pages || '0';
  target.dataset.reportId = paper.id;
}

// The report id stays with the visit: the acceptance the report was made
// from is recorded with it (records never change, so a report made again
// after a waiver is a record of its own). A past visit's report is made
// again from its records and adds nothing to them.
export function keepReportId(ctx, survey, paper, pages) {
  if (!ctx.recorder || survey.visitId !== undefined) return;
  const { rules, ...judged } = paper.acceptance;
  ctx.recorder.recordFor(survey, 'recordAcceptance', { takenAt: Date.now(), raw: [], decoded: { ...judged, report: { id: paper.id, pages } } });
}
