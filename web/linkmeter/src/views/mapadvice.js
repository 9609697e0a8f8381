// The Map tab's predictions: the repeater positions the acceptance proposes
// as pins of their own and, on request, the coverage the site's own fit
// predicts, each in a layer the map view places (coverage under the links,
// proposals over the pins), with a note of what is missing when nothing
// can be predicted. Kept apart from the map's measured drawing.
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { svg, planUnit } from '../site/mapdraw.js';
import { predictionDefs, coverageElement, proposalElements } from '../site/mapadvice.js';
import { coverageCells } from '../site/mapcoverage.js';
import { siteGeometry, siteFit } from '../site/sitegeometry.js';
import { acceptanceNow } from '../records/acceptancenow.js';

export class MapAdvice {
  // checkbox: the map's "Coverage (predicted)" control.
  constructor(ctx, checkbox) {
    this.ctx = ctx;
    this.checkbox = checkbox;
    this.defs = svg('defs');
    this.coverageLayer = svg('g', { class: 'map-coverage-layer' });
    this.proposalLayer = svg('g', { class: 'map-proposals' });
    this.note = h('p', { id: 'map-advice', class: 'note' });
    this.drawnProposals = 0;
    this.drawnCoverage = false;
  }

  clear() {
    this.coverageLayer.textContent = '';
    this.proposalLayer.textContent = '';
    this.note.textContent = '';
    this.drawnProposals = 0;
    this.drawnCoverage = false;
  }

  // Whether a prediction is on the plan now (the legend then explains it).
  shown() {
    return this.drawnProposals > 0 || this.drawnCoverage;
  }

  // survey: the survey the links are from; map: {plans, edits}; plan the
  // plan shown; positions in force; past: a past visit's map (no advice).
  draw({ survey, map, plan, positions, th, u, past }) {
    this.clear();
    if (past || !survey || !survey.regInfo) return;
    fill(this.defs, predictionDefs(u).firstChild);
    const base = survey.prov && survey.prov.base ? survey.prov.base.serial : null;
    const geo = siteGeometry({ regInfo: survey.regInfo, baseSerial: base, map });
    const fit = siteFit(geo, survey);
    const lines = [];
    if (this.checkbox.checked) {
      const coverage = coverageCells({ geo, fit, plan, th });
      if (coverage.missing) lines.push(t('map.coverageMissing', { why: t('map.coverageWhy.' + coverage.missing) }));
      else {
        this.coverageLayer.append(coverageElement(coverage, planUnit(plan)));
        this.drawnCoverage = true;
      }
    }
    const a = acceptanceNow(this.ctx, survey);
    const ends = new Map([...positions].filter(([, p]) => p.plan === plan.id).map(([k, p]) => [k, p]));
    const pins = a ? proposalElements(a.proposals, plan.id, ends, u) : [];
    this.proposalLayer.append(...pins);
    this.drawnProposals = pins.length;
    const missing = a ? a.proposals.filter((p) => p.missing) : [];
    for (const p of missing) lines.push(t('acceptance.proposalMissing', { to: p.to.join(', '), why: t('acceptance.missing.' + p.missing) }));
    this.note.dataset.proposals = String(pins.length);
    this.note.dataset.missing = missing.map((p) => p.missing).join(',');
    this.note.textContent = lines.join(' ');
  }
}
