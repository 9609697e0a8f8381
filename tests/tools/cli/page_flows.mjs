// The page's own flows under Node, fed recorded answers: the site survey
// view's surveyTargets/runSurvey over a stand-in api, and the channel view's
// tally. The command line's answers are compared against these.
import assert from 'node:assert/strict';
import { runSurvey } from '../../../web/linkmeter/src/site/survey.js';
import { siteTargets, newSurvey, surveyTargets } from '../../../web/linkmeter/src/site/sitesurveybook.js';
import { emptyTally, addReadings, endRound, siteChannels, channelStats, recommend } from '../../../web/linkmeter/src/site/channels.js';
import { DeviceError } from '../../../web/linkmeter/src/device/api.js';

// `units` as the command line gives them: [{target, probes: [{answer}]}] or
// [{target, failed}] for a unit whose survey the base unit or the program
// refused; `all`: the units the survey was to cover (default: every remote
// unit of the registration). Resolves with the page's site survey.
export async function pageSurvey(regInfo, units, all = siteTargets(regInfo)) {
  const byKey = new Map(units.map((u) => [`${u.target.group}:${u.target.kind}:${u.target.num}`, u]));
  const run = (target) => {
    const u = byKey.get(`${target.group}:${target.kind}:${target.num}`);
    let next = 0;
    const api = {
      query: async () => {
        if (u.failed) throw new DeviceError(u.failed);
        return u.probes[next++].answer;
      },
    };
    return runSurvey({ api, comInfo: {}, regInfo, target, probes: u.failed ? 1 : u.probes.length });
  };
  const targets = all.filter((t) => byKey.has(`${t.group}:${t.kind}:${t.num}`));
  const base = newSurvey({ prov: null, reg: { regInfo }, targets: all });
  const { survey, error } = await surveyTargets({ survey: base, targets, run, publish: () => {} });
  assert.equal(error, null);
  return survey;
}

// The channel view's tally over `rounds` of readings, the last one cut off
// when asked.
export function pageScan(regInfo, rounds, cutOff) {
  let tally = emptyTally();
  rounds.forEach((readings, i) => {
    for (let at = 0; at < readings.length; at += 8) tally = addReadings(tally, readings.slice(at, at + 8));
    tally = endRound(tally, !(cutOff && i === rounds.length - 1));
  });
  const stats = channelStats(tally, siteChannels(regInfo));
  return { rounds: tally.rounds, partial: tally.partial, channels: stats, recommendation: recommend(stats) };
}

// A result as both sides can state it: statistics as level pairs, and
// without the clock's readings (each side took its own).
export function comparable(result) {
  const { time, when, ...rest } = result;
  return JSON.parse(JSON.stringify({
    ...rest,
    hops: rest.hops.map((hop) => {
      if (!hop.stats) return hop;
      const { bins, levels, batteryFirstAt, batteryLastAt, ...st } = hop.stats;
      const pairs = levels || [...bins.entries()].filter(([, n]) => n);
      return { ...hop, stats: { ...st, levels: pairs } };
    }),
  }));
}

// A report summary as both sides can state it: its units by class, level,
// weakest hop and name.
export function comparableSummary(sum) {
  const { units, ...rest } = sum;
  return JSON.parse(JSON.stringify({
    ...rest,
    units: units.map((u) => [u.levelClass, u.level, u.hop ? u.hop.label : null, u.result ? u.result.target.label : u.label]),
  }));
}

// The command line's site survey against the page's over the same units.
export function assertSameSurvey(cli, page) {
  assert.equal(cli.results.length, page.results.length);
  page.results.forEach((r, i) => assert.deepEqual(comparable(cli.results[i]), comparable(r), `result ${r.target.label}`));
  assert.deepEqual(comparableSummary(cli.summary), comparableSummary(page.summary));
  assert.equal(cli.complete, page.complete);
}
