// The page's recorder over a site survey of 256 remote units (8 groups of 4
// chained repeaters and 32 units) with 20 probes per unit, against a fake
// program that answers every probe and records call at once: the page-side
// cost of recording (the store's own time is bench-records'). Prints the
// survey's time without and with the recorder (median of the runs), the
// records calls made and the most writes ever waiting.
// usage: node recorder_bench.mjs [runs, 5]
import { createRecorder } from '../../web/linkmeter/src/records/recorder.js';
import { createStore } from '../../web/linkmeter/src/page/state.js';
import { CancelledError, DeviceError } from '../../web/linkmeter/src/device/api.js';
import { runSurvey } from '../../web/linkmeter/src/site/survey.js';
import { siteTargets, newSurvey, surveyTargets, surveyPatch } from '../../web/linkmeter/src/site/sitesurveybook.js';
import { provenance } from '../../web/linkmeter/src/ui/provenance.js';
import { DEFAULT_THRESHOLDS } from '../../web/linkmeter/src/site/thresholds.js';

const RUNS = Number(process.argv[2]) || 5;
const PROBES = 20;
const hex8 = (n) => (n >>> 0).toString(16).toUpperCase().padStart(8, '0');

function site() {
  const groups = [];
  for (let g = 0; g < 8; g++) {
    const repeaters = [1, 2, 3, 4].map((r) => ({ num: r, parent: r - 1, serial: hex8(0x00c80000 | (g << 8) | r) }));
    const remoteUnits = Array.from({ length: 32 }, (_, u) => ({ num: u + 1, parent: u % 5, serial: hex8((92 << 17) | (g << 8) | u), name: `U${g}-${u}`, model: 'VL-RA' }));
    groups.push({ name: `G${g}`, freq: 20 + g, band: 1, repeaters, remoteUnits });
  }
  return { groups };
}

function fakeApi(counts) {
  return {
    CancelledError, DeviceError, isLost: () => false,
    query(name, arg) {
      if (name.startsWith('LmRecords')) {
        counts.records++;
        return Promise.resolve({ id: 1 });
      }
      const numbers = [...arg.RELAY, arg.ID[1]];
      return Promise.resolve({ isSuccess: true, STATUS: '0004-0000', Signals: numbers.map((n) => ({ number: n, level: 90 + n, battery: 70 })) });
    },
  };
}

async function survey(regInfo, withRecorder) {
  const counts = { records: 0, pending: 0 };
  const unit = { com: 1, serial: '009A0011', name: 'BENCH', model: 'VL-B1' };
  const store = createStore({ unit, busy: 1, regInfo, regProv: provenance(unit, { time: 1 }), routesFrom: 'unit', thresholds: DEFAULT_THRESHOLDS, siteSurvey: null, siteSurveyDone: null });
  let api = fakeApi(counts);
  let recorder = null;
  if (withRecorder) {
    recorder = createRecorder({ api, store, onStatus: (s) => { counts.pending = Math.max(counts.pending, s.pending); } });
    recorder.watch();
    api = recorder.api;
  }
  const base = newSurvey({ prov: provenance(unit, { time: 1 }), reg: { regInfo, prov: store.get().regProv }, targets: siteTargets(regInfo) });
  const t0 = performance.now();
  await surveyTargets({
    survey: base, targets: base.targets,
    run: (target) => runSurvey({ api, comInfo: unit, regInfo, target, probes: PROBES }),
    publish: (s) => store.set(surveyPatch(store.get(), { ...s, probes: PROBES })),
  });
  store.set({ busy: 0 });
  if (recorder) await recorder.idle();
  return { ms: performance.now() - t0, ...counts };
}

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const regInfo = site();
const plain = [];
const recorded = [];
let last = null;
for (let i = 0; i < RUNS; i++) {
  plain.push((await survey(regInfo, false)).ms);
  last = await survey(regInfo, true);
  recorded.push(last.ms);
}
const units = siteTargets(regInfo).length;
const extra = median(recorded) - median(plain);
console.log(`site survey of ${units} units x ${PROBES} probes (${units * PROBES} probes), median of ${RUNS}:`);
console.log(`  without the recorder ${median(plain).toFixed(0)} ms, with it ${median(recorded).toFixed(0)} ms`);
console.log(`  recording adds ${extra.toFixed(0)} ms (${(extra / (units * PROBES)).toFixed(3)} ms per probe)`);
console.log(`  records calls ${last.records} (the visit, the registration the survey names, the survey's start, one per unit, its end); most writes waiting ${last.pending}`);
