// The page: header (unit and its link, DEMO mark, language), a tab per
// flow, messages.
import { h, fill } from './ui/dom.js';
import { followHeight } from './ui/followheight.js';
import { t, startLanguage, setLanguage, language, LANGUAGES, onLanguageChange } from './i18n/i18n.js';
import { store } from './page/state.js';
import { mountMessages, notify, showError, askPassword, clearMessages, showMessagesOf } from './page/ui.js';
import { createConnection } from './page/connection.js';
import { installExitGuard } from './page/busy.js';
import * as host from './device/host.js';
import * as api from './device/api.js';
import { VIEWS } from './views/index.js';
import { guideButton } from './views/guide.js';
import { loadThresholds } from './site/thresholds.js';
import { createRecorder } from './records/recorder.js';
import { createRecords } from './records/records.js';
import { createAlarmBadge } from './views/alarmbadge.js';
import { useSecretKeys } from './records/recorderkinds.js';
import { secretKeys } from './device/cataloguelists.js';
import rules from 'catalogue-rules';
import { printJob, runPrintJob } from './views/reportjob.js';

const LANGUAGE_KEY = 'linkmeter.language';
let current = VIEWS[0].id;
let built = [];
let stopFollowingTop = () => {};

function savedLanguage() {
  try {
    return localStorage.getItem(LANGUAGE_KEY);
  } catch (e) {
    return null;
  }
}

// A view is made the first time its tab is shown, so the page starts with
// only the first one built; each view renders from the store when made.
function made(v) {
  if (!v.element) {
    const m = v.view.create(v.ctx);
    m.element.dataset.view = v.view.id;
    // Every view is headed by its tab's name (for assistive technology where
    // the view shows none), so its own headings never skip a level.
    if (!m.element.querySelector('h2')) m.element.prepend(h('h2', { class: 'sr-only', text: t(v.view.title) }));
    // Every flow's "?" opens its section of the guide.
    if (v.view.id !== 'guide') m.element.prepend(guideButton(v.ctx, v.view.id));
    v.element = m.element;
    v.show = m.show;
    v.container.append(m.element);
  }
}

// `options` go to the view's show(), e.g. {start: true} to start its work;
// its answer is the shown view's show() answer.
function go(id, options) {
  current = id;
  showMessagesOf(id);
  let answer;
  for (const v of built) {
    v.tab.classList.toggle('active', v.id === id);
    v.tab.setAttribute('aria-selected', String(v.id === id));
    if (v.id === id) made(v);
    if (!v.element) continue;
    v.element.hidden = v.id !== id;
    if (v.id === id && v.show) answer = v.show(options);
  }
  return answer;
}

function unitText(s) {
  if (!s.unit) return t('units.notConnected');
  const text = [s.unit.name, s.unit.model, s.unit.serial].filter(Boolean).join(' · ');
  return s.linkLost ? `${text} — ${t('link.lost')}` : text;
}

const storage = {
  getItem: (key) => { try { return localStorage.getItem(key); } catch (e) { return null; } },
  setItem: (key, value) => { try { localStorage.setItem(key, value); } catch (e) { /* private mode */ } },
};
store.set({ thresholds: loadThresholds(storage) });
// Site records: what the page measures is kept as it completes (the report
// keeps the technician's fields on the visit of the survey it shows);
// trouble shows only as a quiet line in the header.
let recordsStatus = null;
let alarmBadge = null; // the header's alarms firing, made again with the page
let lastRecordsStatus = { state: 'ok' };
function showRecordsStatus(st) {
  lastRecordsStatus = st;
  if (!recordsStatus) return;
  recordsStatus.hidden = st.state === 'ok';
  recordsStatus.dataset.state = st.state;
  recordsStatus.dataset.code = st.code === null || st.code === undefined ? '' : String(st.code);
  recordsStatus.dataset.written = String(st.written || 0);
  recordsStatus.dataset.pending = String(st.pending || 0);
  recordsStatus.textContent = st.state === 'ok' ? '' : t('records.' + st.state);
  recordsStatus.title = st.state === 'ok' ? '' : [st.message, st.code].filter((x) => x !== null && x !== '').join(' · ');
}
// The records never keep what the catalogue marks secret.
useSecretKeys(secretKeys(rules));
const recorder = createRecorder({ api, store, onStatus: showRecordsStatus, storage });
const connection = createConnection({ store, api: recorder.api, storage, ui: { askPassword, showError, notify, clearMessages } });

// The connected unit in the header: its name, whether its link holds, and
// a way to connect again when it was lost.
function unitStatus() {
  const unit = h('span', { id: 'connected-unit' });
  const reconnect = h('button', { id: 'reconnect-button', class: 'warn', hidden: true, onclick: () => connection.reconnect(), text: t('link.reconnect') });
  const update = (s) => {
    unit.textContent = unitText(s);
    unit.dataset.state = !s.unit ? 'none' : s.linkLost ? 'lost' : 'connected';
    unit.title = s.linkLost ? t('link.lostTitle') : '';
    reconnect.hidden = !(s.unit && s.linkLost);
  };
  return { elements: [unit, reconnect], update };
}

function build(root) {
  store.unsubscribeAll();
  recorder.watch();
  // What every view works with: it takes these from its context, never
  // from the modules' singletons, so its logic runs under Node with fakes.
  const ctx = { go, store, api: recorder.api, host, connection, storage, recorder };
  // The tab bar is the page's navigation landmark holding the tab list.
  const tabs = h('div', { class: 'tablist', role: 'tablist' });
  const nav = h('nav', { id: 'tabs', 'aria-label': t('common.tabs') }, tabs);
  const views = h('main', { id: 'views' });
  built = VIEWS.map((view) => {
    const tab = h('button', { id: 'tab-' + view.id, role: 'tab', test: 'tab', dataset: { view: view.id }, onclick: () => go(view.id), text: t(view.title) });
    tabs.append(tab);
    return { id: view.id, view, ctx, container: views, tab, element: null, show: null };
  });
  const status = unitStatus();
  const busy = h('span', { id: 'busy-mark', hidden: true, text: t('common.working') });
  recordsStatus = h('span', { id: 'records-status', hidden: true });
  if (alarmBadge) alarmBadge.stop();
  alarmBadge = createAlarmBadge(ctx, createRecords(ctx));
  const lang = h('select', { id: 'language', title: t('common.language'), 'aria-label': t('common.language') },
    LANGUAGES.map((l) => h('option', { value: l, selected: l === language(), text: t('language.' + l) })));
  lang.addEventListener('change', () => {
    if (store.get().busy) {
      lang.value = language();
      notify(t('common.busyLanguage'));
      return;
    }
    try { localStorage.setItem(LANGUAGE_KEY, lang.value); } catch (e) { /* private mode */ }
    setLanguage(lang.value);
  });
  const messages = h('div', { id: 'messages', role: 'region', 'aria-label': t('common.messages'), 'aria-live': 'polite' });
  // The header and tabs stay in view however far a long page scrolls.
  const top = h('div', { id: 'page-top' },
    h('header', { class: 'no-print' },
      h('h1', { text: 'Linkmeter' }),
      host.isDemo() ? h('span', { id: 'demo-mark', class: 'demo', title: t('demo.title'), text: 'DEMO' }) : null,
      ...status.elements, busy, recordsStatus, alarmBadge.element, lang),
    nav);
  fill(root, top, messages, views);
  // Sections scrolled to (the guide's) stop below it, however tall it is drawn.
  stopFollowingTop();
  stopFollowingTop = followHeight(top, '--page-top-height');
  mountMessages(messages);
  const update = (s) => {
    status.update(s);
    busy.hidden = s.busy === 0;
  };
  store.subscribe(update);
  update(store.get());
  showRecordsStatus(lastRecordsStatus);
  go(current);
}

// On a first start the frame opens at its small default size; the tables
// and charts need room, so the page asks once for a working size.
async function fitWindow() {
  const host = globalThis.app;
  if (typeof host.setWindowSize !== 'function' || (window.innerWidth >= 960 && window.innerHeight >= 640)) return;
  const w = Math.min(1180, Math.max(640, screen.availWidth - 40));
  const hgt = Math.min(820, Math.max(480, screen.availHeight - 80));
  try {
    await host.setWindowSize(w, hgt);
    if (typeof host.centerWindow === 'function') await host.centerWindow(true);
  } catch (e) {
    /* the frame keeps its size */
  }
}

// Closing the window ends the open visit: once every page agreed to close,
// the program asks app.onExit, and the end is written (within two
// seconds) before the page answers.
function endVisitOnExit() {
  globalThis.app.onExit = (answer) => {
    recorder.close().then(() => answer(true));
  };
}

function start() {
  const root = document.getElementById('app');
  const job = printJob(location.hash);
  setLanguage((job && job.lang) || savedLanguage() || startLanguage(host.systemLanguage(), navigator.language));
  document.documentElement.lang = language();
  if (typeof globalThis.app !== 'object') {
    fill(root, h('p', { class: 'message error', id: 'no-bridge', text: t('error.noBridge') }));
    return;
  }
  installExitGuard();
  endVisitOnExit();
  connection.watchLinks();
  fitWindow();
  build(root);
  onLanguageChange(() => build(root));
  root.dataset.ready = 'true';
  if (job) runPrintJob(job, go);
}

start();
