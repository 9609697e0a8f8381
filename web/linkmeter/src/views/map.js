// Map: the site's plans with every unit of the registration in use placed
// on them (or waiting in the unplaced tray), the registered links drawn with
// the last site survey's quality, filters, a unit's route to the base unit on
// a click, the changes since the last visit, and who moved what. Positions
// are edits kept in the site records, so a restart, an export or another
// computer shows the same map.
import { h, fill, timeText } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { showError, notify } from '../page/ui.js';
import { legend } from '../ui/legend.js';
import { surveyRegistration } from '../page/state.js';
import { refusesRegistration } from '../page/surveyrules.js';
import { currentThresholds } from '../site/thresholds.js';
import { serialKey } from '../site/compare.js';
import { createRecords } from '../records/records.js';
import { previousSiteSurvey } from '../report/reportprevious.js';
import { positionsAt, mapUnits, trayUnits, editHistory } from '../site/mapplacement.js';
import { scaleWarning } from '../site/maplinks.js';
import { mapChanges } from '../site/mapchanges.js';
import { SiteMapSource, imageFormat, dataUrl } from '../records/mapsource.js';
import { lastSiteSurvey } from '../records/mapexport.js';
import { provenance } from '../ui/provenance.js';
import { bytesToBase64 } from '../records/records.js';
import { svg, reconcile } from '../site/mapdraw.js';
import { PlanLayers, planScene } from '../site/maplayers.js';
import { legendItems } from '../site/maplegend.js';
import { PlanPointer } from '../site/mapinteract.js';
import { loadImage, downscaled } from '../ui/imagescale.js';
import { evidenceChanged } from '../records/evidencestore.js';
import { MapAdvice } from './mapadvice.js';
import { PlanControls } from './mapplans.js';
import { plansInForce, onPlans } from '../site/mapplans.js';
import '../site/maptexts.js';

// The longest side of a plan's image as drawn: panning a 48-megapixel
// photo redraws 16 at most.
const DOWNSCALE_TO = 4096;

class MapView {
  constructor(ctx) {
    this.ctx = ctx;
    this.store = ctx.store;
    this.source = new SiteMapSource({ records: createRecords(ctx), recorder: ctx.recorder });
    this.site = null; // serial key of the site shown
    this.map = { plans: [], kept: [], edits: [] };
    this.planId = null;
    this.selected = null;
    this.changes = null;
    this.drawn = new Map(); // plan id → URL of the image as drawn
    this.controls();
    this.image = svg('image', { x: 0, y: 0, class: 'map-image', preserveAspectRatio: 'none' });
    this.imagePlan = null;
    // What is predicted (coverage under the links, proposals over the pins)
    // in layers of its own, drawn by its own module.
    this.advice = new MapAdvice(ctx, this.showCoverage);
    this.svg = svg('svg', { id: 'sitemap-svg', class: 'sitemap-svg', preserveAspectRatio: 'xMidYMid meet' },
      this.advice.defs, this.image, this.advice.coverageLayer);
    this.layers = new PlanLayers(this.svg);
    this.svg.append(this.advice.proposalLayer);
    this.box = h('div', { id: 'sitemap', class: 'sitemap' }, this.svg);
    this.pointer = new PlanPointer(this.box, this.svg, { onDrop: (k, p, kind) => this.dropped(k, p, kind), onClick: (k, p) => this.clicked(k, p) });
    this.shownParts = {}; // part → the signature of what it shows now
    this.tray = h('ul', { id: 'map-tray', class: 'map-tray' });
    this.legendBox = h('div', { id: 'map-legend' });
    this.selectedBox = h('div', { id: 'map-selected', class: 'map-selected', hidden: true });
    // A list that scrolls is reached by the keyboard too.
    this.editsBox = h('ol', { id: 'map-edits', class: 'map-edits', tabindex: 0, 'aria-label': t('map.edits') });
    this.note = h('p', { id: 'map-note', class: 'note' });
    this.element = h('section', { id: 'map-view' }, h('h2', { text: t('map.title') }), this.bar, this.note, this.noReg, this.advice.note,
      h('div', { class: 'map-body' },
        h('aside', { class: 'map-side' }, this.plans.element, h('h3', { text: t('map.tray') }), this.tray, this.selectedBox),
        this.box),
      this.legendBox, h('h3', { text: t('map.edits') }), this.editsBox);
    this.store.subscribe(() => this.redrawIfShown());
  }

  controls() {
    this.planSelect = h('select', { id: 'map-plan', onchange: () => { this.planId = this.planSelect.value; this.render(); } });
    this.planName = h('input', { id: 'map-plan-name', type: 'text', size: 14, placeholder: t('map.planName') });
    this.planFile = h('input', { id: 'map-plan-file', type: 'file', accept: '.png,.jpg,.jpeg,.svg,.pdf,image/png,image/jpeg,image/svg+xml,application/pdf', onchange: () => this.importPlan() });
    // Rename, hide from the report, remove: edits like a unit's move.
    this.plans = new PlanControls((fields) => this.edit(fields));
    this.planPage = h('input', { id: 'map-plan-page', type: 'number', min: 1, value: 1, size: 3, title: t('map.pdfPage') });
    this.mode = h('select', { id: 'map-mode' }, ['place', 'plan'].map((v) => h('option', { value: v, text: t('map.mode.' + v) })));
    this.problems = h('input', { id: 'map-problems', type: 'checkbox', onchange: () => this.render() });
    this.filter = h('input', { id: 'map-filter', type: 'search', size: 14, placeholder: t('map.filter'), oninput: () => this.render() });
    this.showChanges = h('input', { id: 'map-changes', type: 'checkbox', onchange: () => this.loadChanges() });
    this.showCoverage = h('input', { id: 'map-coverage', type: 'checkbox', onchange: () => this.render() });
    // The scale: a line of known length, its two ends clicked on the plan.
    this.scalePoints = null;
    this.scaleMetres = h('input', { id: 'map-scale-metres', type: 'number', min: 0.1, step: 'any', placeholder: t('map.scaleMetres') });
    this.scaleButton = h('button', { id: 'map-scale', text: t('map.setScale'), onclick: () => { this.scalePoints = []; this.note.textContent = t('map.scaleHelp'); } });
    // A past visit's map: the positions in force when it ended.
    this.until = Infinity;
    this.past = null; // {until, survey, regInfo}: the site survey in force when the visit shown ended
    this.visitSelect = h('select', { id: 'map-visit', onchange: () => this.pickVisit() });
    // Without a registration in use the map knows only the base unit: it says
    // so, with the read at hand.
    this.readReg = h('button', { id: 'map-read-registration', text: t('site.read'), onclick: () => this.readRegistration() });
    this.noReg = h('p', { id: 'map-no-registration', class: 'warning', hidden: true }, t('map.noRegistration'), ' ', this.readReg);
    this.bar = h('div', { class: 'toolbar map-bar' },
      h('label', {}, t('map.plan'), ' ', this.planSelect), this.planName,
      h('label', { class: 'file-button' }, t('map.addPlan'), ' ', this.planFile),
      h('label', {}, t('map.pdfPage'), ' ', this.planPage),
      h('label', {}, t('map.mode'), ' ', this.mode),
      h('button', { id: 'map-zoom-in', text: '+', onclick: () => this.pointer.zoomIn() }),
      h('button', { id: 'map-zoom-out', text: '−', onclick: () => this.pointer.zoomOut() }),
      h('label', {}, this.problems, ' ', t('map.problems')), this.filter,
      h('label', {}, this.showChanges, ' ', t('map.changes')),
      h('label', {}, this.showCoverage, ' ', t('map.coverage')),
      h('label', {}, t('map.visit'), ' ', this.visitSelect), this.scaleMetres, this.scaleButton);
  }

  redrawIfShown() {
    if (!this.element.hidden) this.show();
  }

  // The site is the connected base unit's; its map is read again when it
  // changes, and its ended visits each time the tab is shown or another
  // connection begins (a visit ends on a disconnect).
  async show({ fresh = false } = {}) {
    const s = this.store.get();
    const serial = s.unit && s.unit.serial ? serialKey(s.unit.serial) : null;
    const connection = s.unit;
    if (serial !== this.site) {
      this.site = serial;
      this.map = { plans: [], kept: [], edits: [] };
      this.changes = null;
      this.connection = connection;
      if (serial) await this.reload();
    } else if (serial && (fresh || connection !== this.connection)) {
      // Drawn at once; the list of visits follows once the recorder wrote.
      this.connection = connection;
      this.render();
      await this.loadVisits();
      return;
    }
    this.render();
  }

  async reload() {
    try {
      this.map = await this.source.load(parseInt(this.site, 16));
      this.until = Infinity;
      this.past = null;
    } catch (e) {
      showError(e, t('map.saveFailed'));
    }
    if (!this.map.plans.some((p) => p.id === this.planId)) this.planId = this.map.plans.length ? this.map.plans[0].id : null;
    this.render();
    await this.loadVisits().catch((e) => showError(e, t('map.saveFailed'), 'map'));
  }

  // The site's ended visits, newest first, once the recorder has written
  // what it had (the end of the visit just closed among it).
  async loadVisits() {
    const recorder = this.ctx.recorder;
    if (recorder && recorder.idle) await Promise.race([recorder.idle(), new Promise((resolve) => setTimeout(resolve, 2000))]);
    const visits = await this.source.records.listVisits({ serial: parseInt(this.site, 16) });
    const keep = this.visitSelect.value;
    const ended = visits.filter((v) => v.endedAt).sort((a, b) => b.startedAt - a.startedAt);
    fill(this.visitSelect, h('option', { value: '', text: t('map.visit.now') }),
      ended.map((v) => h('option', { value: String(v.endedAt), selected: String(v.endedAt) === keep, text: timeText(new Date(v.startedAt)) })));
  }

  // A past visit picked: its positions, and the links of the site survey in
  // force when it ended, read from the site records.
  async pickVisit() {
    this.until = Number(this.visitSelect.value) || Infinity;
    if (Number.isFinite(this.until) && !(this.past && this.past.until === this.until)) {
      const until = this.until;
      try {
        const found = await lastSiteSurvey(this.source.records, { serial: parseInt(this.site, 16) }, { until });
        if (until === this.until) this.past = { until, survey: found ? found.survey : null, regInfo: found ? found.regInfo : null };
      } catch (e) {
        showError(e, t('map.saveFailed'), 'map');
      }
    }
    this.render();
  }

  // The connected unit's registration, read here when the map has none.
  async readRegistration() {
    const unit = this.store.get().unit;
    if (!unit) return;
    this.readReg.disabled = true;
    try {
      const result = await this.ctx.api.command('RSETF', { comInfo: unit });
      if (!result.regInfo) throw new this.ctx.api.DeviceError({ pageText: t('site.noRegistration') });
      this.store.set({ regInfo: result.regInfo, regProv: provenance(unit, { source: 'unit' }), routesFrom: 'unit' });
    } catch (e) {
      showError(e, t('site.read'), 'map');
    } finally {
      this.readReg.disabled = false;
    }
  }

  // What the page shows: the registration in use, its units, the last site
  // survey of that registration; for a past visit, the survey in force
  // then and the registration it was measured with.
  scene() {
    const s = this.store.get();
    const reg = surveyRegistration(s);
    const past = Number.isFinite(this.until) && this.past && this.past.until === this.until ? this.past : null;
    const regInfo = past && past.regInfo ? past.regInfo : reg && reg.regInfo;
    const units = mapUnits(regInfo, s.unit && s.unit.serial);
    const survey = past ? past.survey : [s.siteSurvey, s.siteSurveyDone].find((x) => x && x.results && x.results.length) || null;
    // A unit on a plan removed by then is back in the tray.
    const positions = onPlans(positionsAt(this.map.edits, this.until), plansInForce(this.map.kept, this.map.edits, this.until));
    return { s, units, survey, noRegistration: Boolean(this.site) && !regInfo, th: currentThresholds(s), positions };
  }

  // Each part of the tab is made again only when what it shows changed, and
  // the plan's layers only where they changed: placing a unit remakes its
  // pin, its links, its tray item and the newest edit.
  render() {
    if (this.element.hidden) return;
    const plan = this.map.plans.find((p) => p.id === this.planId) || null;
    this.part('plans', [this.map.plans.map((p) => [p.id, p.name, p.hidden]), this.planId], () => fill(this.planSelect,
      this.map.plans.map((p) => h('option', { value: p.id, selected: p.id === this.planId, dataset: { hidden: String(p.hidden) },
        text: (p.name || p.id.slice(0, 8)) + (p.hidden ? ' ' + t('map.plan.hiddenMark') : '') }))));
    this.plans.show(plan, Number.isFinite(this.until));
    const sc = this.scene();
    this.noteText(sc, plan);
    this.drawTray(sc);
    this.drawPlan(sc, plan);
    this.drawLegend(sc);
    this.drawEdits(sc);
  }

  // Runs draw() when `what` differs from what the part was last drawn from.
  part(name, what, draw) {
    const key = JSON.stringify(what);
    if (this.shownParts[name] === key) return;
    this.shownParts[name] = key;
    draw();
  }

  noteText(sc, plan) {
    const lines = [];
    if (!this.site) lines.push(t('map.noSite'));
    else if (!plan) lines.push(t('map.noPlan'));
    lines.push(sc.survey ? t('map.surveyOf', { time: timeText(new Date(sc.survey.started)) }) : t('map.noSurvey'));
    if (plan && scaleWarning(plan.scale, plan)) lines.push(t('map.scaleShort'));
    const text = lines.join(' ');
    if (this.note.textContent !== text) this.note.textContent = text;
  }

  drawTray(sc) {
    this.noReg.hidden = !sc.noRegistration;
    this.readReg.hidden = refusesRegistration(sc.s.unit); // its routes come from a file or by hand
    const tray = trayUnits(sc.units, sc.positions);
    if (!tray.length) {
      const empty = sc.noRegistration ? t('map.trayNoRegistration') : t('map.trayEmpty');
      return this.part('tray', empty, () => fill(this.tray, h('li', { class: 'note', text: empty })));
    }
    this.shownParts.tray = null;
    return reconcile(this.tray, tray.map((u) => ({
      key: u.key, sig: `${u.kind} ${u.label}`,
      make: () => h('li', {
        class: 'map-tray-unit', dataset: { trayUnit: '', serial: u.key, kind: u.kind }, text: u.label,
        tabindex: 0, title: t('map.trayKeys'),
        onpointerdown: (e) => { e.preventDefault(); this.pointer.startTrayDrag(u.key, e); },
        onkeydown: (e) => this.trayKey(e, u.key),
      }),
    })));
  }

  // From the keyboard, Enter or Space drops a tray unit in the middle of the
  // plan as shown; it is then dragged or marked like any other pin.
  trayKey(e, key) {
    if (e.key !== 'Enter' && e.key !== ' ') return;
    e.preventDefault();
    const v = this.pointer.viewport.view;
    if (v) this.dropped(key, { x: Math.round(v.x + v.w / 2), y: Math.round(v.y + v.h / 2) }, 'tray');
  }

  drawPlan(sc, plan) {
    this.svg.classList.toggle('empty', !plan);
    if (!plan) {
      this.layers.clear();
      this.advice.clear();
      this.image.removeAttribute('href');
      this.imagePlan = null;
      return;
    }
    this.pointer.show(plan);
    this.showImage(plan);
    const names = new Map(this.map.plans.map((p) => [p.id, p.name || p.id.slice(0, 8)]));
    const scene = planScene({
      plan, units: sc.units, positions: sc.positions, survey: sc.survey, th: sc.th, planNames: names, selected: this.selected,
      filters: { problems: this.problems.checked, text: this.filter.value },
      changes: this.changes && this.showChanges.checked ? this.changes : null,
    });
    this.layers.draw(scene);
    this.advice.draw({ survey: sc.survey, map: this.map, plan, positions: sc.positions, th: sc.th, u: scene.u, past: Number.isFinite(this.until) });
    this.drawSelected(sc);
  }

  showImage(plan) {
    if (this.imagePlan === plan.id) return;
    this.imagePlan = plan.id;
    this.image.setAttribute('width', plan.width);
    this.image.setAttribute('height', plan.height);
    this.image.removeAttribute('href');
    this.imageFor(plan).then((url) => {
      if (url && this.imagePlan === plan.id) this.image.setAttribute('href', url);
    }).catch((e) => showError(new this.ctx.api.DeviceError({ ...(e && e.detail), pageText: t('map.badImage', { file: plan.name }) }), '', 'map'));
  }

  // The plan's image as drawn: a large one once downscaled, the rest as read.
  async imageFor(plan) {
    if (this.drawn.has(plan.id)) return this.drawn.get(plan.id);
    const url = await this.source.image(plan);
    const shown = plan.format === 'svg' ? url : await downscaled(url, plan, DOWNSCALE_TO);
    this.drawn.set(plan.id, shown);
    return shown;
  }

  drawLegend(sc) {
    const items = legendItems(sc.th, { changes: this.showChanges.checked, predictions: this.advice.shown() });
    this.part('legend', items, () => fill(this.legendBox, legend('map-legend-list', items)));
  }

  drawEdits(sc) {
    const label = new Map(sc.units.map((u) => [u.key, u.label]));
    const plans = new Map(this.map.kept.map((p) => [p.id, p.name]));
    const seen = new Map();
    reconcile(this.editsBox, editHistory(this.map.edits).slice(0, 50).map((e) => {
      const what = e.action === 'plan-hide' && !e.hidden ? 'plan-show' : e.action;
      // Until the team server took it, the edit is this computer's technician's, and says so.
      const by = e.sent ? e.by || '—' : t('map.edit.unsent', { name: e.by || '—' });
      const text = t('map.edit.' + what, { by, unit: label.get(e.serial) || e.serial, plan: plans.get(e.plan) || '', name: e.name || '' });
      const base = `${e.at} ${e.action} ${e.serial || e.plan}`;
      seen.set(base, (seen.get(base) || 0) + 1);
      return {
        key: `${base} ${seen.get(base)}`, sig: text,
        make: () => h('li', { dataset: e.serial ? { edit: e.action, serial: e.serial } : { edit: what, plan: e.plan } }, `${timeText(new Date(e.at))} — `, text),
      };
    }));
  }

  drawSelected(sc) {
    const at = this.selected && sc.positions.get(this.selected);
    this.selectedBox.hidden = !at;
    if (!at) return;
    const unit = sc.units.find((u) => u.key === this.selected);
    const other = at.state === 'planned' ? 'place' : 'plan';
    fill(this.selectedBox, h('p', { text: unit ? unit.label : this.selected }),
      h('button', { id: 'map-mark', text: t(other === 'place' ? 'map.markPlaced' : 'map.markPlanned'), onclick: () => this.edit({ action: other, serial: this.selected, plan: at.plan, x: at.x, y: at.y }) }),
      h('button', { id: 'map-unplace', text: t('map.unplace'), onclick: () => this.edit({ action: 'unplace', serial: this.selected }) }));
  }

  clicked(key, point) {
    if (this.scalePoints && !key && point) return this.scalePoint(point);
    this.selected = key === this.selected ? null : key;
    return this.render();
  }

  // A scale end clicked; the second keeps the line with its length.
  scalePoint(point) {
    this.scalePoints.push(point);
    if (this.scalePoints.length < 2) return undefined;
    const [a, b] = this.scalePoints;
    this.scalePoints = null;
    const metres = Number(this.scaleMetres.value);
    if (!(metres > 0) || !this.planId) return this.render();
    return this.edit({ action: 'scale', plan: this.planId, x1: Math.round(a.x), y1: Math.round(a.y), x2: Math.round(b.x), y2: Math.round(b.y), metres });
  }

  // A unit from the tray dropped on the plan is placed (or planned, by the
  // mode); a pin dragged keeps its state at its new place.
  dropped(key, point, kind) {
    // A pin dragged was moved by hand: it is made again from its position.
    if (kind === 'pin') for (const el of this.layers.group('pins').querySelectorAll('[data-pin]')) if (el.dataset.serial === key) el.remove();
    if (!point || !this.planId) return this.render();
    const now = positionsAt(this.map.edits).get(key);
    const action = kind === 'pin' && now ? (now.state === 'planned' ? 'plan' : 'place') : this.mode.value;
    return this.edit({ action, serial: key, plan: this.planId, x: point.x, y: point.y });
  }

  async edit(fields) {
    const open = this.ctx.recorder && this.ctx.recorder.openVisit();
    if (!open) {
      notify(t('map.noVisit'));
      return this.render();
    }
    const edit = { ...fields, by: open.technician || '', sent: false, at: Date.now() };
    this.map.edits = [...this.map.edits, edit];
    const plan = edit.action === 'scale' && this.map.kept.find((p) => p.id === edit.plan);
    if (plan) plan.scale = edit;
    this.plansChanged();
    this.render();
    try {
      if (!(await this.source.addEdit(edit))) notify(t('map.noVisit'));
    } catch (e) {
      showError(e, t('map.saveFailed'));
    }
    // The causes and proposals read the map from the records: again now.
    evidenceChanged(this.store);
  }

  // The plans in force again after an edit or a plan added; the one shown
  // stays unless it was removed.
  plansChanged() {
    this.map.plans = plansInForce(this.map.kept, this.map.edits);
    if (!this.map.plans.some((p) => p.id === this.planId)) this.planId = this.map.plans.length ? this.map.plans[0].id : null;
  }

  async importPlan() {
    const file = this.planFile.files && this.planFile.files[0];
    this.planFile.value = '';
    if (!file) return;
    const page = Number(this.planPage.value) || 1;
    // Each step that can fail says so in its own words, once.
    const step = async (key, work) => {
      try {
        return await work();
      } catch (e) {
        throw new this.ctx.api.DeviceError({ ...(e && e.detail), pageText: t(key, { file: file.name, page }) });
      }
    };
    try {
      const read = new Uint8Array(await file.arrayBuffer());
      const bytes = await step('map.badPdf', () => this.source.planImage(read, page));
      const format = imageFormat(bytes);
      if (!format) throw new this.ctx.api.DeviceError({ pageText: t('map.badImage', { file: file.name }) });
      const size = await step('map.badImage', () => imageSize(bytes, format));
      const name = this.planName.value.trim() || file.name.replace(/\.[^.]*$/, '');
      const plan = await this.source.addPlan({ name, format, bytes, ...size }, this.map.plans);
      if (!plan) return notify(t('map.noVisit'));
      const kept = this.map.kept.find((p) => p.id === plan.id);
      if (kept) kept.addedAt.push(plan.at);
      else this.map.kept = [...this.map.kept, { ...plan, addedAt: [plan.at] }];
      this.planId = plan.id;
      this.plansChanged();
      this.render();
      evidenceChanged(this.store);
    } catch (e) {
      showError(e, '', 'map');
    }
  }

  // The previous visit's survey and positions, for the changes overlay.
  async loadChanges() {
    const sc = this.scene();
    if (this.showChanges.checked && sc.survey && !this.changes) {
      try {
        const found = await previousSiteSurvey(createRecords(this.ctx), sc.survey, { regInfo: sc.survey.regInfo, th: sc.th });
        const until = found && found.visit ? found.visit.endedAt ?? sc.survey.started : -Infinity;
        this.changes = mapChanges({ previous: found && found.survey, current: sc.survey, positionsBefore: positionsAt(this.map.edits, until), positionsAfter: sc.positions });
      } catch (e) {
        showError(e, t('map.saveFailed'));
      }
    }
    this.render();
  }
}

// {width, height} of an image file; an SVG without a size of its own is
// taken as 1000 × 1000.
async function imageSize(bytes, format) {
  const img = await loadImage(dataUrl(format, bytesToBase64(bytes)));
  return { width: img.naturalWidth || 1000, height: img.naturalHeight || 1000 };
}

export default {
  id: 'map',
  title: 'tab.map',
  create: (ctx) => {
    const v = new MapView(ctx);
    return { element: v.element, show: () => v.show({ fresh: true }) };
  },
};
