// Surveys kept as they run. A site survey's probes wait per unit and go to
// the store in one write when the page has that unit's result (with its
// hop statistics), so a killed program loses only the unit in progress and
// a large site costs one write per unit. A route survey writes each probe
// as it comes (one every few seconds at most).
import { SKIP } from './recorderqueue.js';
import { buildRoute, allRemoteTargets } from '../device/route.js';
import { addAnswer } from '../site/survey.js';
import { surveyRegistration } from '../page/state.js';
import { targetKey, resultKey } from '../site/sitesurveybook.js';
import { routeKey, routeSerials, probeRecord, hopStats, serialKey } from './recorderkinds.js';
import { snapshotArg } from './recordersnapshots.js';

// How many site surveys' visits are remembered (the report asks for the one
// on show, the latest or the last complete).
const VISITS_KEPT = 20;

// Every target of a registration by the route key of its fields (cached
// per registration): what a route survey's probe was sent to.
const routeIndexes = new WeakMap();
function targetByKey(regInfo, key) {
  if (!regInfo) return null;
  let index = routeIndexes.get(regInfo);
  if (!index) {
    index = new Map();
    const repeaters = (regInfo.groups || []).flatMap((g, group) => (g.repeaters || []).map((r) => ({ group, kind: 'repeater', num: r.num })));
    for (const target of [...allRemoteTargets(regInfo), ...repeaters]) {
      try {
        index.set(routeKey(buildRoute(regInfo, target).fields), target);
      } catch (e) { /* a unit without a route is never probed */ }
    }
    routeIndexes.set(regInfo, index);
  }
  return index.get(key) || null;
}

export class SurveyRecorder {
  // push(task) queues a write; records: the records functions; snapshots:
  // the visit's registration snapshots (recordersnapshots.js).
  constructor({ push, records, snapshots }) {
    this.push = push;
    this.records = records;
    this.snapshots = snapshots;
    this.visits = new Map(); // `${base serial}@${started}` → the visit a site survey went into
    this.site = null; // the site survey being kept
    this.route = null; // the route survey being kept
    this.seenSurvey = null;
  }

  // A probe's answer (capture from the tap) while `state` holds.
  probe(capture, state, visit) {
    if (!visit || !capture.answer) return;
    const key = routeKey(capture.arg || {});
    const site = this.site;
    if (site && site.running && site.visit === visit) {
      const index = site.keys.get(key);
      if (index !== undefined) site.waiting[index].push(capture);
      return;
    }
    this.routeProbe(capture, key, state, visit);
  }

  // Store changes: the site survey's progress, and the end of a run.
  onState(state, visit, ended) {
    const survey = state.siteSurvey;
    if (survey && survey !== this.seenSurvey) {
      this.seenSurvey = survey;
      this.siteProgress(survey, state, visit);
    }
    if (ended) this.endRoute();
  }

  beginSite(survey, state, visit) {
    const keys = new Map();
    const routes = survey.targets.map((target, i) => {
      try {
        keys.set(routeKey(buildRoute(survey.regInfo, target).fields), i);
      } catch (e) { /* its result says why */ }
      return routeSerials(survey.regInfo, target);
    });
    const site = {
      visit, started: survey.started, keys, routes, id: null, running: true,
      order: new Map(survey.targets.map((x, i) => [targetKey(x), i])),
      waiting: survey.targets.map(() => []), seq: survey.targets.map(() => 0), done: new Map(), hops: new Map(),
      base: serialKey(survey.prov && survey.prov.base && survey.prov.base.serial),
    };
    const arg = { kind: 'site', startedAt: survey.started, probesPerRoute: survey.probes || 1, routes, thresholds: state.thresholds };
    const base = survey.prov && survey.prov.base;
    const snap = this.snapshots.of(survey.regInfo, { source: survey.regSource, base: base && base.serial, time: survey.started });
    this.push(async () => {
      if (visit.id === null) return SKIP;
      site.id = (await this.records.recordSurvey({ visitId: visit.id, ...arg, ...snapshotArg(snap) })).id;
    });
    this.site = site;
    this.visits.set(surveyKey(survey), visit);
    if (this.visits.size > VISITS_KEPT) this.visits.delete(this.visits.keys().next().value);
  }

  // The visit a site survey of the page went into, or null.
  visitOf(survey) {
    return (survey && this.visits.get(surveyKey(survey))) || null;
  }

  siteProgress(survey, state, visit) {
    if (!visit) return;
    if (!this.site || this.site.started !== survey.started || this.site.visit !== visit) {
      if (!survey.running) return;
      this.beginSite(survey, state, visit);
    }
    const site = this.site;
    const wasRunning = site.running;
    site.running = survey.running;
    for (const r of survey.results) {
      const index = site.order.get(resultKey(r));
      if (index !== undefined && site.done.get(index) !== r.when) this.siteUnit(site, index, r);
    }
    if (wasRunning && !survey.running) this.siteEnd(site, survey);
  }

  // The probes waiting for unit `index`, with its result's hop statistics.
  takeProbes(site, index, hops) {
    const captured = site.waiting[index];
    site.waiting[index] = [];
    return captured.map((c) => probeRecord(index, site.seq[index]++, c, hops));
  }

  siteUnit(site, index, result) {
    site.done.set(index, result.when);
    const hops = hopStats(index, result.hops, site.base);
    site.hops.set(index, hops);
    const probes = this.takeProbes(site, index, result.hops);
    if (!probes.length && !hops.length) return;
    this.push(() => (site.id === null ? SKIP : this.records.surveyProbes({ surveyId: site.id, probes, hops })));
  }

  // A run ended: probes of a unit cut short, every unit's statistics, and
  // the end time when every unit has its result (else it stays open, cut
  // short, until a run for the units left completes it).
  siteEnd(site, survey) {
    const probes = [];
    site.waiting.forEach((list, index) => {
      if (list.length) probes.push(...this.takeProbes(site, index, routeHops(survey, index)));
    });
    const hops = [...site.hops.values()].flat();
    const end = survey.complete && !survey.stopped ? { endedAt: survey.finished || Date.now() } : {};
    this.push(() => (site.id === null ? SKIP : this.records.surveyProbes({ surveyId: site.id, probes, hops, ...end })));
  }

  routeProbe(capture, key, state, visit) {
    let run = this.route;
    if (!run || run.key !== key || run.visit !== visit) {
      this.endRoute();
      const reg = surveyRegistration(state);
      const target = targetByKey(reg && reg.regInfo, key);
      if (!target) return;
      run = this.beginRoute(reg, target, key, capture.at, state, visit);
    }
    run.stats = addAnswer(run.route, run.stats, capture.answer, capture.at);
    run.last = capture.at;
    const probe = probeRecord(0, run.seq++, capture, run.route.hops);
    this.push(() => (run.id === null ? SKIP : this.records.surveyProbes({ surveyId: run.id, probes: [probe], hops: this.routeHops(run) })));
  }

  beginRoute(reg, target, key, at, state, visit) {
    const { regInfo, prov } = reg;
    const route = buildRoute(regInfo, target);
    const run = { key, visit, route, stats: [], seq: 0, id: null, last: at, base: serialKey(state.unit && state.unit.serial) };
    const arg = { kind: 'route', startedAt: at, probesPerRoute: 0, routes: [routeSerials(regInfo, target)], thresholds: state.thresholds };
    const snap = this.snapshots.of(regInfo, { source: prov ? prov.source : 'unit', base: prov && prov.base && prov.base.serial, time: prov && prov.time });
    this.push(async () => {
      if (visit.id === null) return SKIP;
      run.id = (await this.records.recordSurvey({ visitId: visit.id, ...arg, ...snapshotArg(snap) })).id;
    });
    this.route = run;
    return run;
  }

  routeHops(run) {
    return hopStats(0, run.route.hops.map((hop, i) => ({ ...hop, stats: run.stats[i] })), run.base);
  }

  // The route survey's run ended (its job finished): its end time.
  endRoute() {
    const run = this.route;
    if (!run) return;
    this.route = null;
    const hops = this.routeHops(run);
    this.push(() => (run.id === null ? SKIP : this.records.surveyProbes({ surveyId: run.id, probes: [], hops, endedAt: run.last })));
  }
}

const surveyKey = (survey) => `${survey.prov && survey.prov.base ? survey.prov.base.serial : ''}@${survey.started}`;

// The hops of target `index` of a survey, for probes without a result.
function routeHops(survey, index) {
  try {
    return buildRoute(survey.regInfo, survey.targets[index]).hops;
  } catch (e) {
    return [];
  }
}
