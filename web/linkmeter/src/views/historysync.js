// History's team records: "Sync now" with the team server (the records
// functions sync and syncProgress, run on a query worker; the page asks how
// far it is twice a second), who sent each visit and whether it is synced,
// and a visit's competing versions of its fields for the technician to
// choose from. Everything here works from the store, so offline too.
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { recordsFailure } from '../records/records.js';
import '../i18n/teamsynctexts.js';

export const SERVER_KEY = 'linkmeter.teamServer';
const POLL_MS = 500;

// Whether a team server's name carries a password (a postgresql:// address
// with user:password@ or ?password=, or password= among key=value words):
// the program refuses such a name, and the page never keeps it.
export function carriesPassword(text) {
  const s = String(text || '').trim();
  const uri = /^postgres(?:ql)?:\/\/([^/?#]*)(.*)$/i.exec(s);
  if (uri) return /^[^@]*:[^@]*@/.test(uri[1]) || /[?&]password=/i.test(uri[2]);
  return /(^|\s)password\s*=/i.test(s);
}

// The demo site's records are made up: they never go to a real server.
function demoRunning(ctx) {
  return Boolean(ctx.host && typeof ctx.host.isDemo === 'function' && ctx.host.isDemo());
}

export class SyncBar {
  // onSynced(): called after a sync that fetched or sent something.
  constructor(ctx, records, onSynced) {
    this.ctx = ctx;
    this.records = records;
    this.onSynced = onSynced;
    let kept = ctx.storage ? ctx.storage.getItem(SERVER_KEY) : null;
    // A name with a password kept by an earlier version is let go.
    if (kept && carriesPassword(kept)) {
      ctx.storage.setItem(SERVER_KEY, '');
      kept = '';
    }
    this.server = h('input', { id: 'history-sync-server', type: 'text', size: 28, value: kept || '', placeholder: t('history.sync.serverHint') });
    this.button = h('button', { id: 'history-sync-now', text: t('history.sync.now'), onclick: () => this.run() });
    this.status = h('span', { id: 'history-sync-status', class: 'dim', dataset: { state: 'idle', code: '' } });
    if (demoRunning(ctx)) {
      this.button.disabled = true;
      this.button.title = t('history.sync.demo');
      this.say('refused', t('history.sync.demo'));
    }
  }

  say(state, text, code = '') {
    this.status.dataset.state = state;
    this.status.dataset.code = String(code === null ? '' : code);
    this.status.textContent = text;
  }

  async run() {
    const server = this.server.value.trim();
    if (demoRunning(this.ctx)) {
      this.say('refused', t('history.sync.demo'));
      return;
    }
    if (!server) {
      this.say('failed', t('history.sync.noServer'));
      return;
    }
    if (carriesPassword(server)) {
      this.say('failed', t('history.sync.password'));
      return;
    }
    if (this.ctx.storage) this.ctx.storage.setItem(SERVER_KEY, server);
    this.button.disabled = true;
    this.say('running', t('history.sync.starting'));
    const poll = setInterval(() => this.poll(), POLL_MS);
    try {
      const n = await this.records.sync({ server });
      clearInterval(poll);
      const aside = Array.isArray(n.setAside) ? n.setAside : [];
      if (aside.length) {
        // Visits set aside wait for an administrator; the others synced.
        this.say('partly', [t('history.sync.setAside', { user: n.user, sent: n.pushedVisits, fetched: n.pulledVisits, count: aside.length }),
          ...aside.map((v) => t(v.row ? 'history.sync.setAsideRow' : 'history.sync.setAsideVisit', { visit: String(v.visit).slice(0, 12), reason: v.reason, row: v.row }))].join(' '));
      } else {
        this.say('done', t('history.sync.done', { user: n.user, sent: n.pushedVisits, fetched: n.pulledVisits }));
      }
      await this.onSynced();
    } catch (e) {
      clearInterval(poll);
      this.say('failed', t('history.sync.failed', { msg: (e && e.message) || String(e) }), recordsFailure(e));
      await this.onSynced();  // what came before the failure is shown too
    } finally {
      this.button.disabled = false;
    }
  }

  async poll() {
    try {
      const p = await this.records.syncProgress({});
      if (p.running && p.total > 0 && this.status.dataset.state === 'running') {
        this.say('running', t('history.sync.running', { done: p.done, total: p.total }));
      }
    } catch {
      // The sync's own answer says what went wrong.
    }
  }

  element() {
    return h('span', { class: 'history-sync' }, h('label', { for: 'history-sync-server', text: t('history.sync.server') }), ' ',
      this.server, this.button, ' ', this.status);
  }
}

// The cells of a visit row that say who sent it and whether it is synced.
export function visitTeamCells(v) {
  return [
    h('td', { test: 'history-visit-author', dataset: { sentBy: v.sentBy || '' }, class: v.sentBy ? '' : 'dim', text: v.sentBy || t('history.author.local') }),
    h('td', { test: 'history-visit-synced', dataset: { synced: String(Boolean(v.synced)) }, text: t(v.synced ? 'history.synced.yes' : 'history.synced.no') }),
  ];
}

// The competing versions of a visit's technician, customer and notes, each
// with a button that keeps it: choose(fields, replaces) writes a version
// replacing every one of them. Empty when there is one version.
export function competingVersions(v, choose) {
  const versions = v.competing || [];
  if (versions.length < 2) return null;
  const replaces = versions.map((c) => c.versionId);
  const box = h('div', { test: 'history-versions', class: 'message warn', dataset: { count: String(versions.length) } });
  fill(box, h('p', { text: t('history.versions', { count: versions.length }) }),
    h('ul', {}, versions.map((c) => h('li', { test: 'history-version', dataset: { versionId: c.versionId } },
      `${c.technician} / ${c.customer} / ${c.notes} `,
      h('button', { test: 'history-version-use', text: t('history.versions.use'),
        onclick: () => choose({ technician: c.technician, customer: c.customer, notes: c.notes }, replaces) })))));
  return box;
}
