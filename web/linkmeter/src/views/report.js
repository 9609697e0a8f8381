// The printable report of a site survey, for the installation record: whose
// it is, how many units were surveyed and answered, the units that did not
// answer, the routes with each unit's class, the weakest links (once each,
// with the units behind them), low batteries, the technician's fields and
// the comparison with the previous visit.
// Every verdict says how many probes stand behind it, and the report states
// the class boundaries it was judged by (editable here, kept by the page).
import { h, fill, timeText } from '../ui/dom.js';
import { t, tn, addMessages } from '../i18n/i18n.js';
import { markResult, baseText, exportFileName } from '../ui/provenance.js';
import { fileDialog, query } from '../device/api.js';
import { showError, notify } from '../page/ui.js';
import { summarize, unitClass } from '../site/reportsummary.js';
import { ResultTable, listControls } from './resulttable.js';
import { madeFromOther } from '../page/surveyrules.js';
import { routeLine, resultLine } from '../ui/routeview.js';
import { currentThresholds, isDefault } from '../site/thresholds.js';
import { lossBound } from '../site/linkstats.js';
import { thresholdEditor } from './thresholdeditor.js';
import { layoutPages, imagesReady } from './reportprint.js';
import { comparisonSection } from './reportcompare.js';
import { judgeAcceptance } from '../site/acceptance.js';
import { loadProfile } from '../site/acceptanceprofile.js';
import { describeAcceptance } from '../site/acceptancetexts.js';
import { customerReport } from '../report/customerreport.js';
import { customerPaper } from '../report/customerpaper.js';
import { recordedWaivers } from '../report/reportwaivers.js';
import { reportPlans } from '../report/reportplans.js';
import { planPaper } from '../report/planpaper.js';
import { createRecords } from '../records/records.js';

addMessages('en', { 'report.savePdf': 'Save as PDF', 'report.pdfSaved': 'Saved {path}' });
addMessages('ja', { 'report.savePdf': 'PDFで保存', 'report.pdfSaved': '{path} に保存しました' });

function withExtension(path, ext) {
  return path.split('/').pop().toLowerCase().endsWith(ext) ? path : path + ext;
}

// The site's plans as the report's pages: none without site records. Site
// records that cannot be read do not stop the report: it is printed
// without its plans, and the page says so.
async function planPapers(ctx, survey) {
  if (!ctx.api || typeof ctx.api.query !== 'function') return [];
  try {
    const plans = await reportPlans({ records: createRecords(ctx), recorder: ctx.recorder }, survey, currentThresholds(ctx.store.get()));
    return plans.map(({ page, image }) => planPaper(page, image));
  } catch (e) {
    showError(e, t('paper.plan.unread'));
    return [];
  }
}

// The customer's report of `survey` on paper, judged with `waivers` (the
// visit's waiver records) and followed by `plans` (planPapers), with its
// report id and the PDF's metadata; null for no survey. The same layout is
// printed and saved as PDF.
function paperOf(ctx, survey, screen, waivers, plans) {
  if (!survey || !survey.results.length) return null;
  const s = ctx.store.get();
  const th = currentThresholds(s);
  const advice = s.channelAdvice && s.channelAdvice.base === String(survey.prov.base.serial) ? s.channelAdvice.channels : [];
  const acceptance = describeAcceptance(judgeAcceptance(survey, { profile: s.acceptanceProfile || loadProfile(ctx.storage), thresholds: th, channels: advice, waivers }));
  const report = customerReport(survey, acceptance, th);
  const typed = (k) => screen.querySelector('#report-' + k)?.value ?? '';
  // The comparison prints its hops; each unit's battery now is in its row.
  const comparison = screen.querySelector('#report-comparison')?.cloneNode(true);
  for (const x of comparison ? comparison.querySelectorAll('#report-compare-units, h4') : []) x.remove();
  const weakest = screen.querySelector('#report-weakest');
  const el = customerPaper({
    acceptance, report, survey, made: Date.now(),
    facts: { site: `${baseText(survey.prov)} ${survey.prov.base.model}`, technician: typed('technician'), customer: typed('customer'), notes: typed('notes') },
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

// Lays the customer's report out as numbered A4 pages (the print style
// shows them alone) and runs `print` on them: the program's PDF print or
// the print dialog.
async function printPaper(paper, pages, print) {
  const started = performance.now();
  layoutPages(paper.el, pages, (page, total) => t('paper.footer', { id: paper.id, page, pages: total }));
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

// The report id stays with the visit: the acceptance the report was made
// from is recorded with it (records never change, so a report made again
// after a waiver is a record of its own).
function keepReportId(ctx, survey, paper, pages) {
  if (!ctx.recorder) return;
  const { rules, ...judged } = paper.acceptance;
  ctx.recorder.recordFor(survey, 'recordAcceptance', { takenAt: Date.now(), raw: [], decoded: { ...judged, report: { id: paper.id, pages } } });
}

// The report of `survey` written to a PDF file the technician names, once
// the comparison with the previous visit has been read and the fields
// stored on the visit as the PDF shows them.
async function savePdf(ctx, survey, report, pages, comparison, bound) {
  try {
    if (bound) await bound.save(Object.fromEntries(FIELD_KEYS.map((k) => [k, report.querySelector('#report-' + k)?.value ?? bound.get()[k]])), true);
    const initFile = exportFileName('survey-report', survey ? survey.prov : null, '.pdf');
    const paths = await fileDialog({ mode: 'save', title: t('report.savePdf'), initFile, filter: ['PDF (*.pdf)', '*.pdf'] });
    if (!Array.isArray(paths) || paths.length === 0) return null;
    const path = withExtension(paths[0], '.pdf');
    await comparison.ready();
    const paper = paperOf(ctx, survey, report, await recordedWaivers(ctx, survey), await planPapers(ctx, survey));
    await printPaper(paper, pages, (meta) => query('JsReportSavePdf', { path, ...meta }));
    keepReportId(ctx, survey, paper, Number(pages.dataset.pages));
    notify(t('report.pdfSaved', { path }));
    return path;
  } catch (e) {
    showError(e, t('report.savePdf'));
    return null;
  }
}

// The technician's fields belong to the visit of the survey on show (the
// recorder's): typed after a disconnect, they stay on that visit, never the
// next site's. A survey the records did not keep has its own, in memory.
// Typing keeps them (a redraw keeps the text); leaving a field stores them.
const FIELD_KEYS = ['technician', 'customer', 'notes'];
const loose = new Map(); // kept while the page runs (a language switch rebuilds the views)
function visitFields(ctx) {
  return (survey) => {
    const rec = ctx.recorder;
    const visit = rec && survey ? rec.visitFor(survey) : null;
    if (visit) return { visit, get: () => rec.fields(visit), save: (patch, write) => rec.setFields(visit, patch, { write }) };
    const key = survey ? `${survey.prov.base.serial}@${survey.started}` : '';
    if (!loose.has(key)) loose.set(key, Object.fromEntries(FIELD_KEYS.map((k) => [k, ''])));
    const own = loose.get(key);
    return { visit: null, get: () => ({ ...own }), save: (patch) => Promise.resolve(Object.assign(own, patch)) };
  };
}

function field(bound, key, multiline) {
  const value = bound.get()[key];
  const props = { id: 'report-' + key, value,
    oninput: (e) => bound.save({ [key]: e.target.value }, false),
    onchange: (e) => bound.save({ [key]: e.target.value }, true) };
  const input = multiline ? h('textarea', { ...props, rows: 3 }) : h('input', { ...props, type: 'text' });
  if (multiline) input.value = value;
  return h('tr', {}, h('th', {}, h('label', { for: 'report-' + key, text: t('report.' + key) })), h('td', {}, input));
}

function counts(sum) {
  return h('td', { id: 'report-answered', dataset: { total: String(sum.total), surveyed: String(sum.surveyed), answered: String(sum.answered), complete: String(sum.complete) },
    text: tn('report.counts', sum.total, { surveyed: sum.surveyed, answered: sum.answered }) + (sum.complete ? '' : ' ' + t('report.incomplete')) });
}

// "4/5" and the verdict of a unit's route.
function verdictCell(r) {
  const far = r.far || { asked: 0, answered: 0 };
  const verdict = r.verdict || 'none';
  return h('td', { class: `verdict q-${verdict}`, test: 'report-verdict' },
    t('verdict.' + verdict), far.asked ? ` — ${tn('report.probesBehind', far.asked, { answered: far.answered })}` : '');
}

const REPORT_COLUMNS = ['group', 'unit', 'serial', 'route', 'class', 'verdict', 'status'];

// A unit's row: class from its weakest hop (none when it did not answer).
function unitRow(baseName) {
  return (r) => {
    const { levelClass, level } = unitClass(r);
    return h('tr', { class: `s-${r.status}`, test: 'report-unit',
      dataset: { serial: r.target.serial, class: levelClass, verdict: r.verdict || 'none', asked: String(r.far ? r.far.asked : 0), answered: String(r.far ? r.far.answered : 0) } },
    h('td', { text: `${r.group.name} (${r.group.freq})` }), h('td', { text: `${r.target.label} ${r.target.model}` }),
    h('td', { class: 'mono', text: r.target.serial }), h('td', {}, routeLine(r, baseName)),
    h('td', { text: level === null ? t('quality.none') : `${t('quality.' + levelClass)} (${level})` }),
    verdictCell(r),
    h('td', { text: t('survey.status.' + r.status, { time: r.time, msg: '' }) }));
  };
}

// The routes of every unit, kept between redraws: a new result adds its
// own row. Groups collapse on screen; the printout shows every row.
function routesTable() {
  let baseName = '';
  const table = new ResultTable({ id: 'report-routes', rowOf: (r) => unitRow(baseName)(r), columns: REPORT_COLUMNS });
  const controls = h('div', { class: 'toolbar no-print' }, listControls('report', (v) => table.setView(v)));
  return {
    table,
    controls,
    update(survey, th) {
      const name = survey ? survey.prov.base.name : '';
      if (name !== baseName) {
        baseName = name;
        table.update(null);
      }
      table.update(survey, th);
    },
  };
}

// The boundaries and the probes the verdicts stand on, in words.
function basisCells(sum) {
  const th = sum.thresholds;
  const p = sum.probes;
  let probes = t('report.probesNone');
  if (p) {
    const bound = lossBound({ asked: p.min, answered: p.min });
    probes = (p.min === p.max ? tn('report.probesEach', p.min) : t('report.probesRange', { min: p.min, max: p.max })) +
      ' ' + tn('report.lossBound', p.min, { bound: Math.round(bound * 100) });
  }
  return [
    h('tr', {}, h('th', { text: t('report.thresholds') }), h('td', { id: 'report-thresholds', dataset: { level: `${th.level.weak},${th.level.fair},${th.level.good}`, battery: `${th.battery.low},${th.battery.ok}`, default: String(isDefault(th)) },
      text: `${t('report.thresholdsLine', { ...th.level, ok: th.battery.ok, low: th.battery.low })} ${t(isDefault(th) ? 'report.thresholdsDefault' : 'report.thresholdsCustom')}` })),
    h('tr', {}, h('th', { text: t('report.probes') }), h('td', { id: 'report-probes', dataset: { min: p ? String(p.min) : '', max: p ? String(p.max) : '' }, text: probes })),
  ];
}

function linkItem(link, baseName) {
  const from = link.from.kind === 'base' ? baseName : link.from.label;
  const units = link.units.map((u) => (u.answered ? u.label : t('report.unitSilent', { unit: u.label }))).join(', ');
  const probes = link.asked ? ' ' + t('report.linkProbes', { answered: link.answered, asked: link.asked, verdict: t('verdict.' + link.verdict) }) : '';
  return h('li', { test: 'weak-link', dataset: { link: link.key, level: String(link.level), units: String(link.units.length), verdict: link.verdict, asked: String(link.asked), answered: String(link.answered) } },
    t('report.weakLink', { from, to: link.to.label, level: link.level, quality: t('quality.' + link.levelClass), units }) + probes);
}

// The units asked that did not answer; those a stop left out were never
// asked, and are listed apart as not surveyed.
function silentList(sum) {
  const probes = (u) => (u.far && u.far.asked ? ' ' + t('survey.probes', { answered: u.far.answered, asked: u.far.asked }) : '');
  const items = sum.silent.map((u) => h('li', { test: 'report-silent-unit', dataset: { serial: u.serial } }, `${u.label} (${u.serial}): ${t('survey.status.' + u.status, { time: '', msg: '' })}${probes(u)}`));
  const silent = h('ul', { id: 'report-silent' }, items.length ? items : h('li', { text: t('report.allAnswered') }));
  if (!sum.notSurveyed.length) return [silent];
  return [silent, h('h3', { id: 'report-not-surveyed-head', text: t('report.notSurveyedTitle') }),
    h('ul', { id: 'report-not-surveyed' }, sum.notSurveyed.map((u) => h('li', { test: 'report-not-surveyed-unit', dataset: { serial: u.serial, status: 'notSurveyed' } }, `${u.label} (${u.serial})`)))];
}

function content(survey, s, routes, comparison, bound) {
  if (!survey || !survey.results.length) return h('p', { class: 'hint', text: t('report.none') });
  const sum = summarize(survey, currentThresholds(s));
  const baseName = survey.prov.base.name;
  const earlier = madeFromOther(survey, s);
  return [
    h('h2', { text: t('report.title') }),
    resultLine(survey.prov, s, earlier),
    h('table', { class: 'facts' },
      h('tr', {}, h('th', { text: t('report.site') }), h('td', { id: 'report-site', text: `${baseText(survey.prov)} ${survey.prov.base.model}` })),
      h('tr', {}, h('th', { text: t('report.time') }), h('td', { id: 'report-time', text: `${timeText(survey.started)} – ${survey.finished ? timeText(survey.finished) : ''}` })),
      h('tr', {}, h('th', { text: t('report.answered') }), counts(sum)),
      ...basisCells(sum),
      field(bound, 'technician'), field(bound, 'customer'), field(bound, 'notes', true)),
    h('h3', { text: t('report.silent') }), ...silentList(sum),
    h('h3', { text: t('report.routes') }), routes.controls, routes.table.el,
    h('h3', { text: t('report.weakest') }),
    h('ol', { id: 'report-weakest' }, sum.links.map((l) => linkItem(l, baseName))),
    h('h3', { text: t('report.batteries') }),
    h('ul', { id: 'report-batteries' }, sum.batteries.map((b) => h('li', { test: 'low-battery', dataset: { serial: b.serial } }, t('survey.warnBattery', { unit: b.label, battery: b.battery })))),
    comparison.el,
  ];
}

export default {
  id: 'report',
  title: 'tab.report',
  create(ctx) {
    const body = h('div', { id: 'report' });
    const which = h('select', { id: 'report-which', hidden: true, onchange: () => render(ctx.store.get(), true) },
      h('option', { value: 'latest', text: t('report.latest') }), h('option', { value: 'done', text: t('report.lastComplete') }));
    const print = h('button', { id: 'report-print', class: 'primary', text: t('report.print'), onclick: () => printNow() });
    const pdf = h('button', { id: 'report-pdf', text: t('report.savePdf'), onclick: () => savePdf(ctx, shown, body, printed, comparison, bound) });
    const printNow = async () => {
      if (!shown || !shown.results.length) return window.print();
      try {
        await comparison.ready();
        const paper = paperOf(ctx, shown, body, await recordedWaivers(ctx, shown), await planPapers(ctx, shown));
        // The dialog may print after window.print() returns: the pages stay
        // the print's until it is over (the class acts on print media only).
        return await printPaper(paper, printed, () => new Promise((resolve) => {
          window.addEventListener('afterprint', resolve, { once: true });
          window.print();
        }));
      } catch (e) {
        return showError(e, t('report.print'));
      }
    };
    const fieldsOf = visitFields(ctx);
    let bound = null;
    const printed = h('div', { id: 'report-pages' });
    let shown = null;
    let judgedBy = null;
    const routes = routesTable();
    const comparison = comparisonSection(ctx);
    const section = h('section', { id: 'view-report' });
    let pending = false;
    const render = (s, force) => {
      const both = s.siteSurveyDone && s.siteSurvey && s.siteSurveyDone !== s.siteSurvey;
      which.hidden = !both;
      if (!both) which.value = 'latest';
      const survey = which.value === 'done' && both ? s.siteSurveyDone : s.siteSurvey;
      // Typing in the fields must not rebuild them: rebuild only for another
      // survey. A hidden report waits for its tab to rebuild (a running
      // survey publishes every answer) but is marked at once.
      const stale = survey !== shown || force || currentThresholds(s) !== judgedBy;
      pending = stale && section.hidden;
      if (stale && !section.hidden) {
        shown = survey;
        judgedBy = currentThresholds(s);
        routes.update(survey && survey.results.length ? survey : null, judgedBy);
        if (survey && survey.results.length) comparison.update(survey, s);
        bound = survey ? fieldsOf(survey) : null;
        fill(body, content(survey, s, routes, comparison, bound));
      }
      const earlier = !survey || madeFromOther(survey, s) || (which.value === 'done' && both);
      markResult(body, survey ? survey.prov : null, s, { earlier });
      const line = body.querySelector('[data-test=provenance]');
      if (line && survey) line.replaceWith(resultLine(survey.prov, s, earlier));
    };
    ctx.store.subscribe((s) => render(s));
    render(ctx.store.get());
    section.append(h('div', { class: 'toolbar no-print' }, which, print, pdf), thresholdEditor(ctx), body, printed);
    return { element: section, show: () => { if (pending) render(ctx.store.get(), true); } };
  },
};
