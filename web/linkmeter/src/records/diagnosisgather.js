// The evidence the site records add to an acceptance, gathered for one
// site survey as plain JSON (the page and the command line hand it to the
// site logic alike): the site's map as it stood by `until`, every unit's
// earlier surveys, the newest channel scan and event log near the survey.
// Reads only; a part that cannot be read is left out, never guessed.
import { SiteMapSource } from './mapsource.js';
import { plansInForce } from '../site/mapplans.js';
import { perSurvey } from './historylist.js';
import { serialKey } from '../site/compare.js';
import { emptyTally, addReadings, endRound, channelStats } from '../site/channels.js';
import { SCAN_WINDOW_MS, LOG_WINDOW_MS } from '../site/diagnosisevidence.js';

const finite = (v) => typeof v === 'number' && Number.isFinite(v);

// Every repeater and remote unit of a registration: their serials as the
// store keeps them (numbers).
function unitSerials(regInfo) {
  const out = [];
  for (const g of (regInfo && regInfo.groups) || []) {
    for (const u of [...(g.repeaters || []), ...(g.remoteUnits || [])]) {
      const key = serialKey(u.serial);
      if (/^[0-9A-F]+$/.test(key)) out.push(key);
    }
  }
  return [...new Set(out)];
}

async function historyOf(records, site, regInfo, exclude) {
  const out = {};
  for (const key of unitSerials(regInfo)) {
    const rows = (await records.unitTrend({ serial: site, unit: parseInt(key, 16) })).filter((p) => !exclude.includes(p.surveyId));
    const points = perSurvey(rows).map(({ visitId, surveyId, surveyStartedAt, sent, answered, levelAvg, battery }) => ({ visitId, surveyId, surveyStartedAt, sent, answered, levelAvg, battery }));
    if (points.length) out[key] = points;
  }
  return out;
}

// The newest record of `kind` among the visits' records taken in [from, to].
async function newestOf(records, visits, kind, from, to) {
  let best = null;
  for (const v of visits) {
    const read = await records.readVisit({ visitId: v.id });
    for (const r of read.records || []) {
      if (r.kind === kind && r.at >= from && r.at <= to && (!best || r.at > best.at)) best = r;
    }
  }
  return best;
}

// A stored scan's rounds tallied as the channel view tallies them.
function scanOf(record) {
  let tally = emptyTally();
  for (const round of record.rounds || []) {
    const readings = (round.decoded && round.decoded.readings) || [];
    tally = endRound(addReadings(tally, readings), !(round.decoded && round.decoded.partial));
  }
  return { at: record.endedAt || record.startedAt, channels: channelStats(tally) };
}

function eventsOf(record) {
  const logs = (record.decoded && record.decoded.logs) || [];
  return logs.map((l) => ({ at: Number(l.utctime) * 1000, text: String(l.str || '') })).filter((e) => finite(e.at) && e.text);
}

// survey: the page's site survey ({prov, regInfo, started, finished});
// until: the end of its visit (Infinity while it is open); exclude: the
// store's ids of the survey itself (it is no earlier survey). →
// {map, history, scan, events}; {} without a site.
export async function gatherEvidence(records, survey, { until = Infinity, exclude = [] } = {}) {
  const base = survey && survey.prov && survey.prov.base;
  const key = base ? serialKey(base.serial) : '';
  if (!/^[0-9A-F]+$/.test(key) || !records) return {};
  const site = parseInt(key, 16);
  const started = survey.started;
  const end = survey.finished || Date.now();
  const out = {};
  const part = async (name, read) => {
    try {
      out[name] = await read();
    } catch (e) {
      // A part the records cannot give is left out: the diagnosis says what is missing.
    }
  };
  await part('map', async () => {
    const map = await new SiteMapSource({ records, recorder: null }).load(site);
    const edits = map.edits.filter((e) => e.at <= until);
    return { plans: plansInForce(map.kept, edits, until), kept: map.kept, edits };
  });
  await part('history', () => historyOf(records, site, survey.regInfo, exclude));
  const visits = (await records.listVisits({ serial: site })).filter((v) => v.startedAt <= end && (!finite(v.endedAt) || v.endedAt >= started - LOG_WINDOW_MS));
  await part('scan', async () => {
    const found = await newestOf(records, visits, 'channel-scan', started - SCAN_WINDOW_MS, end);
    return found ? scanOf(await records.readRecord({ kind: 'channel-scan', id: found.id })) : null;
  });
  await part('events', async () => {
    const found = await newestOf(records, visits, 'event-log', started - LOG_WINDOW_MS, end);
    return found ? eventsOf(await records.readRecord({ kind: 'event-log', id: found.id })) : [];
  });
  return out;
}
