// The small site the page's judging tests survey: group NORTH on channel 12
// with the repeater chain R1 → R2; HOUSE-1 at the base unit, FIELD behind
// R2, and a third unit (SOIL behind R1 unless told otherwise).
import { buildRoute } from '../../web/linkmeter/src/device/route.js';
import { addAnswer, resultFromStats } from '../../web/linkmeter/src/site/survey.js';

export function northSite({ thirdParent = 1, thirdName = 'SOIL' } = {}) {
  return {
    groups: [{
      name: 'NORTH', freq: 12, band: 0,
      repeaters: [{ num: 1, parent: 0, serial: '00C80101' }, { num: 2, parent: 1, serial: '00C80102' }],
      remoteUnits: [
        { num: 1, parent: 0, serial: '00B80101', name: 'HOUSE-1' },
        { num: 2, parent: 2, serial: '00BC0102', name: 'FIELD' },
        { num: 3, parent: thirdParent, serial: '00BC0103', name: thirdName },
      ],
    }],
  };
}

// A probe's answer along `route`: per hop [level, battery] (battery 80 when
// left out) or null (no answer from that hop on).
export function probeAnswer(route, hops) {
  const Signals = [];
  route.hops.forEach((hop, i) => {
    if (hops[i]) Signals.push({ number: hop.num, level: hops[i][0], battery: hops[i][1] ?? 80 });
  });
  return { isSuccess: true, Signals };
}

// The judged result of `target` of `regInfo` from `probes` (each a list of
// per-hop readings as probeAnswer takes them).
export function resultOfProbes(regInfo, target, probes) {
  const route = buildRoute(regInfo, target);
  let stats = [];
  for (const p of probes) stats = addAnswer(route, stats, probeAnswer(route, p), 0);
  return resultFromStats(route, stats, null, new Date(0));
}
