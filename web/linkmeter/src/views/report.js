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
import { serialKey } from '../site/compare.js';
import { thresholdEditor } from './thresholdeditor.js';
import { comparisonSection } from './reportcompare.js';
import { recordedWaivers } from '../report/reportwaivers.js';
import { createRecords, unstorableText } from '../records/records.js';
import { reportableVisits, visitReport } from '../records/visitreport.js';
import { paperOf, printPaper, planPapers, previewPageOne, keepReportId } from './reportpaper.js';
import { acceptanceNow } from '../records/acceptancenow.js';
import { evidenceReady } from '../records/evidencestore.js';

addMessages('en', {
  'report.savePdf': 'Save as PDF', 'report.pdfSaved': 'Saved {path}',
  'report.visit': 'Report of', 'report.visitNow': 'this visit\'s survey', 'report.visitPast': 'visit of {date}',
  'report.visitLoading': 'Reading the visit from the site records…', 'report.visitFailed': 'The visit could not be read from the site records: {msg}',
  'report.pageOne': 'Page 1 as it will print',
});
addMessages('ja', {
  'report.savePdf': 'PDFで保存', 'report.pdfSaved': '{path} に保存しました',
  'report.visit': '報告書の対象', 'report.visitNow': '今回の訪問の調査', 'report.visitPast': '{date} の訪問',
  'report.visitLoading': '現場記録から訪問を読んでいます…', 'report.visitFailed': '訪問を現場記録から読めませんでした: {msg}',
  'report.pageOne': '印刷される 1 ページ目',
});

function withExtension(path, ext) {
  return path.split('/').pop().toLowerCase().endsWith(ext) ? path : path + ext;
}

// How a report is judged: a past visit's waivers, end and profile as read
// with it, else the recorder's waivers of this visit.
// Printed judgements wait for the records' evidence.
async function judging(ctx, survey, past) {
  const how = past ? { waivers: past.waivers, until: past.until, profile: past.profile } : { waivers: await recordedWaivers(ctx, survey), until: Infinity, profile: null };
  await evidenceReady(ctx, survey, { until: how.until });
  return how;
}

// The report of `survey` as a PDF at `path`, once the comparison with the
// previous visit has been read: {path, pages, id}.
export async function writePdf(ctx, survey, screen, pages, comparison, past, path) {
  await comparison.ready();
  const how = await judging(ctx, survey, past);
  const { proposals } = acceptanceNow(ctx, survey, how);
  const paper = paperOf(ctx, survey, screen, { ...how, plans: await planPapers(ctx, survey, proposals) });
  await printPaper(paper, pages, (meta) => query('JsReportSavePdf', { path, ...meta }));
  keepReportId(ctx, survey, paper, Number(pages.dataset.pages));
  return { path, pages: Number(pages.dataset.pages), id: paper.id };
}

// The report of `survey` written to a PDF file the technician names, the
// fields stored on the visit as the PDF shows them.
async function savePdf(ctx, survey, report, pages, comparison, bound, past) {
  try {
    if (bound) await bound.save(Object.fromEntries(FIELD_KEYS.map((k) => [k, report.querySelector('#report-' + k)?.value ?? bound.get()[k]])), true);
    const initFile = exportFileName('survey-report', survey ? survey.prov : null, '.pdf');
    const paths = await fileDialog({ mode: 'save', title: t('report.savePdf'), initFile, filter: ['PDF (*.pdf)', '*.pdf'] });
    if (!Array.isArray(paths) || paths.length === 0) return null;
    const path = withExtension(paths[0], '.pdf');
    await writePdf(ctx, survey, report, pages, comparison, past, path);
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
  return (survey, past) => {
    // A past visit's fields as kept with it; a change is a new version.
    if (past) {
      const own = { ...past.fields };
      const records = createRecords(ctx);
      return { visit: null, get: () => ({ ...own }), save: (patch, write) => {
        Object.assign(own, patch);
        return write ? records.updateVisit({ visitId: past.visit.id, ...own }) : Promise.resolve(own);
      } };
    }
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
  const refused = h('span', { class: 'hint', id: 'report-' + key + '-refused', role: 'alert' });
  // Text the team records could not keep is refused here, said at the field, and never stored.
  const keep = (e, write) => {
    const bad = unstorableText(e.target.value);
    refused.textContent = bad ? t('report.unstorable') : '';
    e.target.dataset.refused = String(bad);
    if (!bad) bound.save({ [key]: e.target.value }, write);
  };
  const props = { id: 'report-' + key, value, oninput: (e) => keep(e, false), onchange: (e) => keep(e, true) };
  const input = multiline ? h('textarea', { ...props, rows: 3 }) : h('input', { ...props, type: 'text' });
  if (multiline) input.value = value;
  return h('tr', {}, h('th', {}, h('label', { for: 'report-' + key, text: t('report.' + key) })), h('td', {}, input, ' ', refused));
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

// The report's choice of visit: this visit's survey, or an ended visit of
// the same site read again from the site records.
function visitChooser(ctx, onPick) {
  const select = h('select', { id: 'report-visit', onchange: () => onPick(select.value ? Number(select.value) : null) });
  const label = h('label', { class: 'no-print' }, t('report.visit'), ' ', select);
  let site = null;
  return {
    el: label,
    // Lists the visits of site `serial` (a number), `chosen` selected.
    async list(serial, chosen) {
      site = serial;
      let visits = [];
      try {
        visits = serial === null ? [] : await reportableVisits(createRecords(ctx), serial);
      } catch (e) {
        visits = [];
      }
      if (site !== serial) return;
      fill(select, h('option', { value: '', text: t('report.visitNow') }),
        visits.map((v) => h('option', { value: String(v.id), selected: v.id === chosen, text: t('report.visitPast', { date: timeText(v.startedAt) }) })));
      select.value = chosen === null || chosen === undefined ? '' : String(chosen);
    },
  };
}

const siteSerialOf = (s, survey) => {
  const text = survey && survey.prov && survey.prov.base ? survey.prov.base.serial : s.unit && s.unit.serial;
  const key = text ? serialKey(text) : '';
  return /^[0-9A-F]+$/.test(key) ? parseInt(key, 16) : null;
};

export default {
  id: 'report',
  title: 'tab.report',
  create(ctx) {
    const body = h('div', { id: 'report' });
    const which = h('select', { id: 'report-which', hidden: true, onchange: () => render(ctx.store.get(), true) },
      h('option', { value: 'latest', text: t('report.latest') }), h('option', { value: 'done', text: t('report.lastComplete') }));
    const print = h('button', { id: 'report-print', class: 'primary', text: t('report.print'), onclick: () => printNow() });
    const pdf = h('button', { id: 'report-pdf', text: t('report.savePdf'), onclick: () => savePdf(ctx, shown, body, printed, comparison, bound, past && past.material) });
    const pageOne = h('div', { id: 'report-page1', class: 'report-page1' });
    const pageOneBox = h('details', { id: 'report-page1-box', class: 'card no-print', open: true }, h('summary', { text: t('report.pageOne') }), pageOne);
    const visitNote = h('p', { id: 'report-visit-state', class: 'hint', hidden: true });
    const printNow = async () => {
      if (!shown || !shown.results.length) return window.print();
      try {
        await comparison.ready();
        const how = await judging(ctx, shown, past && past.material);
        const paper = paperOf(ctx, shown, body, { ...how, plans: await planPapers(ctx, shown, acceptanceNow(ctx, shown, how).proposals) });
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
    let past = null; // {serial, visitId, material, error, loading}
    const routes = routesTable();
    const comparison = comparisonSection(ctx);
    const section = h('section', { id: 'view-report' });
    let pending = false;
    // Page 1 as printed, made again a moment after the report changed.
    let previewTimer = null;
    let previewToken = 0;
    const preview = () => {
      clearTimeout(previewTimer);
      previewTimer = setTimeout(async () => {
        const mine = ++previewToken;
        const survey = shown;
        if (section.hidden || !survey || !survey.results.length || survey.running) return;
        try {
          const how = await judging(ctx, survey, past && past.material);
          if (mine !== previewToken) return;
          const paper = paperOf(ctx, survey, body, how);
          if (paper && mine === previewToken) {
            previewPageOne(paper, pageOne);
            pageOne.dataset.visit = past ? String(past.visitId) : '';
          }
        } catch (e) {
          pageOne.textContent = '';
        }
      }, 300);
    };
    const chooser = visitChooser(ctx, (visitId) => pick(visitId === null ? null : { serial: siteSerialOf(ctx.store.get(), shown), visitId }));
    const render = (s, force) => {
      const both = !past && s.siteSurveyDone && s.siteSurvey && s.siteSurveyDone !== s.siteSurvey;
      which.hidden = !both;
      if (!both) which.value = 'latest';
      const survey = past ? (past.material ? past.material.survey : null) : which.value === 'done' && both ? s.siteSurveyDone : s.siteSurvey;
      visitNote.hidden = !past || Boolean(past.material);
      if (past && !past.material) visitNote.textContent = past.error ? t('report.visitFailed', { msg: past.error }) : t('report.visitLoading');
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
        bound = survey ? fieldsOf(survey, past && past.material) : null;
        fill(body, content(survey, s, routes, comparison, bound));
        body.dataset.visit = past ? String(past.visitId) : '';
      }
      const earlier = !survey || Boolean(past) || madeFromOther(survey, s) || (which.value === 'done' && both);
      markResult(body, survey ? survey.prov : null, s, { earlier });
      const line = body.querySelector('[data-test=provenance]');
      if (line && survey) line.replaceWith(resultLine(survey.prov, s, earlier));
      if (!section.hidden) preview();
    };
    // A past visit chosen (here or from History), or back to this visit.
    const pick = async (choice) => {
      if (!choice || choice.visitId === null) {
        past = null;
        render(ctx.store.get(), true);
        return null;
      }
      past = { ...choice, material: null, error: null };
      const mine = past;
      render(ctx.store.get(), true);
      try {
        mine.material = await visitReport(createRecords(ctx), choice);
      } catch (e) {
        mine.error = (e && e.detail && e.detail.msg) || (e && e.message) || String(e);
      }
      if (past === mine) render(ctx.store.get(), true);
      return mine;
    };
    ctx.store.subscribe((s) => render(s));
    render(ctx.store.get());
    body.addEventListener('input', () => preview());
    section.append(h('div', { class: 'toolbar no-print' }, chooser.el, which, print, pdf), visitNote, thresholdEditor(ctx), pageOneBox, body, printed);
    // options.visit {serial, visitId}: that visit's report (History);
    // options.pdf: written there at once, resolving {path, pages, id} (the
    // command line's print job).
    const show = async (options = {}) => {
      if (options.visit) {
        chooser.list(options.visit.serial, options.visit.visitId);
        const done = await pick(options.visit);
        if (options.pdf) {
          if (!done || !done.material) throw new Error(done && done.error ? done.error : 'the visit could not be read');
          return writePdf(ctx, done.material.survey, body, printed, comparison, done.material, options.pdf);
        }
        return null;
      }
      chooser.list(siteSerialOf(ctx.store.get(), shown), past ? past.visitId : null);
      if (pending) render(ctx.store.get(), true);
      else preview();
      return null;
    };
    return { element: section, show };
  },
};
