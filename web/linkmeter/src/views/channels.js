// Channels: the signal level the base unit hears on each chosen channel,
// over N rounds (mean, maximum seen, last per channel), with the quietest
// channels the site does not already use recommended (when they can be
// known); a cancel keeps the rounds done, marked partial. Behind the bars,
// each channel's suitability: quiet is good.
// The scan says whose it is; a newer scan that fails before its first
// readings leaves the older one marked as earlier.
import { h, fill } from '../ui/dom.js';
import { t, tn } from '../i18n/i18n.js';
import { showError, progressBar } from '../page/ui.js';
import { provenance, markResult } from '../ui/provenance.js';
import { resultLine } from '../ui/routeview.js';
import { cancellableJob } from '../page/job.js';
import { parseChannels, emptyTally, addReadings, endRound, knownSiteChannels, channelStats, recommend, channelBands, suitability, SUITABILITY } from '../site/channels.js';
import { levelBars } from '../ui/chart.js';
import { legend } from '../ui/legend.js';
import { surveyRegistration } from '../page/state.js';
import { currentThresholds } from '../site/thresholds.js';
import { SCAN_ROUNDS } from '../site/limits.js';

// Channels per measuring call: progress and cancel act between calls.
const CHUNK = 8;
const MAX_ROUNDS = SCAN_ROUNDS.max;

class ChannelsView {
  constructor(ctx) {
    this.store = ctx.store;
    this.api = ctx.api;
    this.scanned = null; // {prov, complete, earlier} of the readings on show
    this.tally = emptyTally();
    this.provBox = h('div', { id: 'channel-prov' });
    this.input = h('input', { id: 'channels-input', value: '0-39', size: 24, spellcheck: false });
    this.rounds = h('input', { id: 'scan-rounds', type: 'number', min: SCAN_ROUNDS.min, max: MAX_ROUNDS, value: SCAN_ROUNDS.default, size: 4 });
    this.start = h('button', { id: 'scan-button', class: 'primary', text: t('channels.scan') });
    this.cancel = h('button', { id: 'scan-cancel', text: t('common.cancel') });
    this.progress = progressBar('scan-progress');
    this.chartBox = h('div', { id: 'channel-chart', class: 'chart' });
    this.quiet = h('p', { id: 'quiet-list' });
    this.siteNote = h('p', { id: 'channels-site-unknown', class: 'warning', hidden: true },
      t('channels.siteUnknown'), ' ', h('button', { class: 'small', text: t('site.enterRoutes'), onclick: () => ctx.go('routes') }),
      h('button', { class: 'small', text: t('tab.site'), onclick: () => ctx.go('site') }));
    this.table = h('tbody', { id: 'channel-levels' });
    this.chart = null;
    this.job = cancellableJob({ start: this.start, cancel: this.cancel, work: (signal) => this.scan(signal), ended: () => this.render(this.store.get()) });
  }

  // The suitability bands drawn behind the bars.
  bands() {
    return channelBands(currentThresholds(this.store.get()));
  }

  // The connected base unit's own channels, when they can be known.
  site() {
    const s = this.store.get();
    return knownSiteChannels(surveyRegistration(s), s.unit);
  }

  adviceText(advice, tally, site) {
    if (!advice.channels.length) return '';
    const rounds = tally.partial ? tn('channels.partial', tally.rounds) : tn('channels.rounds', tally.rounds);
    const left = site.known ? tn('channels.samples', advice.samples, { rounds }) : tn('channels.samplesOnly', advice.samples, { rounds });
    return [t('channels.quietList', { list: advice.channels.join(', ') }), left].join(' ');
  }

  // Says when the site's channels are unknown, and where to give them.
  renderSiteNote(site) {
    this.siteNote.hidden = site.known || !this.store.get().unit;
    this.siteNote.dataset.known = String(site.known);
    this.quiet.dataset.siteChannels = site.known ? [...site.channels].join(',') : 'unknown';
  }

  show() {
    const site = this.site();
    this.renderSiteNote(site);
    const th = currentThresholds(this.store.get());
    const stats = channelStats(this.tally, site.channels);
    const advice = recommend(stats);
    if (!this.chart) {
      this.chart = levelBars(this.chartBox, { channel: t('channels.channel'), level: t('channels.max'), quiet: t('channels.quietest'),
        inUse: t('channels.inUse'), mean: t('channels.mean') }, () => this.bands());
    }
    const own = stats.filter((c) => c.inUse).map((c) => c.freq);
    this.chart.update(stats.map((c) => c.freq), stats.map((c) => c.max), stats.map((c) => c.mean), advice.channels, own);
    fill(this.quiet, this.adviceText(advice, this.tally, site));
    Object.assign(this.quiet.dataset, { channels: advice.channels.join(','), samples: String(advice.samples),
      rounds: String(this.tally.rounds), partial: String(this.tally.partial) });
    fill(this.table, stats.map((c) => h('tr', { test: 'channel-row', class: [advice.channels.includes(c.freq) ? 'quiet' : '', c.inUse ? 'in-use' : ''].join(' ').trim(),
      dataset: { freq: String(c.freq), rounds: String(c.n), max: String(c.max), mean: String(c.mean), last: String(c.last), inUse: String(c.inUse), suitability: suitability(c.max, th) } },
    h('td', { text: String(c.freq) }), h('td', { text: String(c.max) }), h('td', { text: String(c.mean) }), h('td', { text: String(c.last) }),
    h('td', { text: String(c.n) }), h('td', { text: t('channels.suit.' + suitability(c.max, th)) }), h('td', { text: c.inUse ? t('channels.inUse') : '' }))));
  }

  readRounds() {
    const n = Number(this.rounds.value);
    if (!Number.isInteger(n) || n < SCAN_ROUNDS.min || n > MAX_ROUNDS) throw new RangeError(this.rounds.value);
    return n;
  }

  async scan(signal) {
    const unit = this.store.get().unit;
    let freqs;
    let rounds;
    try {
      freqs = parseChannels(this.input.value);
    } catch (e) {
      showError(new this.api.DeviceError({ pageText: t('channels.badInput', { part: e.message }) }));
      return;
    }
    try {
      rounds = this.readRounds();
    } catch (e) {
      showError(new this.api.DeviceError({ pageText: t('channels.badRounds', { max: MAX_ROUNDS }) }));
      return;
    }
    if (!unit || !freqs.length) return;
    if (this.scanned) this.scanned.earlier = true;
    this.mark(this.store.get());
    let fresh = true;
    try {
      for (let round = 0; round < rounds; round++) {
        for (let i = 0; i < freqs.length; i += CHUNK) {
          this.progress.set(round * freqs.length + i, rounds * freqs.length,
            t('channels.roundProgress', { round: round + 1, rounds, done: i, total: freqs.length }));
          const readings = await this.api.rsLevels(unit, freqs.slice(i, i + CHUNK), { signal });
          if (fresh) {
            this.tally = emptyTally();
            this.scanned = { prov: provenance(unit, { time: Date.now() }), complete: false, earlier: false };
            fresh = false;
          }
          this.tally = addReadings(this.tally, readings);
          this.show();
          this.mark(this.store.get());
        }
        this.tally = endRound(this.tally, true);
        this.show();
      }
      this.scanned.complete = true;
      // The recommendation of a whole scan, for the remedies that change a group's channel.
      this.store.set({ channelAdvice: { channels: recommend(channelStats(this.tally, this.site().channels)).channels, base: String(unit.serial), at: Date.now() } });
      this.progress.set(1, 1, tn('channels.roundsDone', rounds, { total: freqs.length }));
    } catch (e) {
      if (!fresh) {
        this.tally = endRound(this.tally, false);
        this.show();
      }
      this.progress.set(this.tally.rounds, rounds, e instanceof this.api.CancelledError ? t('error.cancelled') : t('channels.failed'));
      showError(e, t('tab.channels'), 'channels');
    }
    this.mark(this.store.get());
  }

  // Whose the readings on show are, whether current and whether complete.
  mark(s) {
    const x = this.scanned;
    for (const el of [this.chartBox, this.table]) {
      markResult(el, x ? x.prov : null, s, { earlier: !x || x.earlier });
      el.dataset.complete = String(Boolean(x && x.complete));
    }
    fill(this.provBox, x ? resultLine(x.prov, s, x.earlier) : null);
  }

  render(s) {
    if (!this.job.running()) this.start.disabled = !s.unit || s.busy > 0;
    this.mark(s);
    this.renderSiteNote(this.site());
    // Another registration in use changes which channels are the site's;
    // new thresholds change the bands.
    const reg = surveyRegistration(s);
    const key = [reg && reg.regInfo, s.thresholds];
    if (this.tally.channels.size && this.seen && (key[0] !== this.seen[0] || key[1] !== this.seen[1])) this.show();
    this.seen = key;
  }

  // What the bars, the points and the bands behind them mean.
  legend() {
    return legend('channel-legend', [
      { key: 'level', shape: 'bar', text: t('channels.max') },
      { key: 'quiet', shape: 'bar', text: t('channels.quietest') },
      { key: 'inUse', shape: 'bar', text: t('channels.inUse') },
      { key: 'mean', shape: 'point', text: t('channels.mean') },
      ...SUITABILITY.map((name) => ({ key: 'band-' + name, shape: 'band', text: t('channels.suitBand.' + name) })),
    ]);
  }

  element() {
    const head = h('thead', {}, h('tr', {}, ['channel', 'max', 'mean', 'last', 'samples', 'suitability', 'site'].map((k) => h('th', { text: t('channels.col.' + k) }))));
    return h('section', { id: 'view-channels' },
      h('div', { class: 'toolbar' }, h('label', { for: 'channels-input', text: t('channels.list') }), this.input,
        h('label', { for: 'scan-rounds', text: t('channels.roundsLabel') }), this.rounds, this.start, this.cancel, this.progress.el),
      this.provBox, this.siteNote, this.chartBox, this.legend(), this.quiet,
      h('details', {}, h('summary', { text: t('channels.table') }), h('table', { class: 'list small' }, head, this.table)));
  }
}

export default {
  id: 'channels',
  title: 'tab.channels',
  create(ctx) {
    const view = new ChannelsView(ctx);
    ctx.store.subscribe((s) => view.render(s));
    view.render(ctx.store.get());
    return { element: view.element() };
  },
};
