// Site: the connected base unit's registration as a tree — groups, the
// repeaters hanging from the base unit or from each other, and the remote
// units — from which surveys start.
import { h, fill } from '../dom.js';
import { t } from '../i18n.js';
import * as api from '../api.js';
import { store } from '../state.js';
import { showError, notify } from '../ui.js';
import { adviceKey, siblingFailureText } from '../errors.js';
import { formatChannel, channelUnit } from '../host.js';
import '../servicetexts.js';

async function readRegistration(button) {
  const unit = store.get().unit;
  if (!unit) return;
  button.disabled = true;
  try {
    const result = await api.command('RSETF', { comInfo: unit });
    if (!result.regInfo) throw new api.DeviceError({ ...result, msg: t('site.noRegistration') });
    store.set({ regInfo: result.regInfo });
  } catch (e) {
    showError(e, 'RSETF');
    if (e.detail && adviceKey(e.detail) === 'advice.unsupported') notify(t('site.useSibling'));
  } finally {
    button.disabled = false;
  }
}

// The registration kept by the sibling application (for base units that
// cannot send their own).
function importSibling() {
  try {
    const settings = globalThis.app.getSettingsVlb1Tool();
    const reg = settings && settings.RSETF;
    if (!reg || !Array.isArray(reg.groups)) throw new api.DeviceError({ msg: t('site.noSibling') });
    store.set({ regInfo: reg });
  } catch (e) {
    const error = api.nativeError(e);
    const why = siblingFailureText(error.detail && error.detail.code1);
    showError(why ? new api.DeviceError({ ...error.detail, msg: why }) : error, t('site.import'));
  }
}

function channelText(ch) {
  if (!ch || typeof ch.chType !== 'number') return null;
  const limits = [];
  if (ch.enableLowerLimit) limits.push('≥ ' + formatChannel(ch.chType, ch.lowerLimit));
  if (ch.enableUpperLimit) limits.push('≤ ' + formatChannel(ch.chType, ch.upperLimit));
  const unit = channelUnit(ch.chType);
  return [unit ? `[${unit}]` : '', limits.length ? limits.join(', ') : t('site.noLimits')].filter(Boolean).join(' ');
}

function go(ctx, target) {
  store.set({ surveyTarget: target });
  ctx.go('survey');
}

function remoteNode(ctx, groupIndex, u) {
  const channels = ['ch1', 'ch2', 'ch3', 'ch4'].map((k) => [k, channelText(u[k])]).filter(([, text]) => text);
  return h('li', { class: 'node remote', test: 'site-unit', dataset: { group: String(groupIndex), num: String(u.num) } },
    h('span', { class: 'badge', text: u.model }),
    h('strong', { text: u.name || `#${u.num}` }),
    h('span', { class: 'mono dim', text: ` ${u.serial} · #${u.num}` }),
    channels.length ? h('span', { class: 'dim', text: ' · ' + channels.map(([k, text]) => `${k}: ${text}`).join('; ') }) : null,
    h('button', { class: 'small', test: 'survey-unit', onclick: () => go(ctx, { group: groupIndex, kind: 'remote', num: u.num }), text: t('site.survey') }));
}

// The subtree below `parent` (0 = the base unit); `seen` stops loops in a
// broken registration.
function children(ctx, groupIndex, group, parent, seen) {
  const items = [];
  for (const r of group.repeaters || []) {
    if (r.parent !== parent || seen.has(r.num)) continue;
    seen.add(r.num);
    items.push(h('li', { class: 'node repeater', test: 'site-repeater', dataset: { group: String(groupIndex), num: String(r.num) } },
      h('span', { class: 'badge rep', text: `R${r.num}` }),
      h('span', { class: 'mono dim', text: ` ${r.serial}` }),
      h('button', { class: 'small', test: 'survey-repeater', onclick: () => go(ctx, { group: groupIndex, kind: 'repeater', num: r.num }), text: t('site.survey') }),
      children(ctx, groupIndex, group, r.num, seen)));
  }
  for (const u of group.remoteUnits || []) if (u.parent === parent) items.push(remoteNode(ctx, groupIndex, u));
  return items.length ? h('ul', { class: 'tree' }, items) : null;
}

// Units whose parent is no registered repeater.
function orphans(ctx, groupIndex, group) {
  const nums = new Set((group.repeaters || []).map((r) => r.num));
  const lost = (group.remoteUnits || []).filter((u) => u.parent !== 0 && !nums.has(u.parent));
  if (!lost.length) return null;
  return h('div', { class: 'warning', test: 'site-orphans' }, t('site.orphans'), h('ul', { class: 'tree' }, lost.map((u) => remoteNode(ctx, groupIndex, u))));
}

function groupCard(ctx, group, index, unit) {
  return h('div', { class: 'card group', test: 'group', dataset: { index: String(index) } },
    h('h3', {}, `${group.name || t('site.group')} `, h('span', { class: 'dim', text: t('site.channelBand', { ch: group.freq, band: group.band }) })),
    h('div', { class: 'node base' }, h('span', { class: 'badge base', text: unit ? unit.model : '' }), h('strong', { text: unit ? unit.name : '' })),
    children(ctx, index, group, 0, new Set()),
    orphans(ctx, index, group));
}

export default {
  id: 'site',
  title: 'tab.site',
  create(ctx) {
    const read = h('button', { id: 'site-read', class: 'primary', text: t('site.read') });
    read.addEventListener('click', () => readRegistration(read));
    const sibling = h('button', { id: 'site-import', text: t('site.import'), onclick: importSibling });
    const surveyAll = h('button', { id: 'site-survey-all', text: t('site.surveyAll'), onclick: () => ctx.go('sitesurvey') });
    const body = h('div', { id: 'site-tree' });
    const render = (s) => {
      read.disabled = !s.unit;
      surveyAll.disabled = !s.regInfo;
      if (!s.regInfo) {
        fill(body, h('p', { class: 'hint', text: s.unit ? t('site.readHint') : t('units.notConnected') }));
        return;
      }
      const groups = s.regInfo.groups || [];
      fill(body, groups.length ? groups.map((g, i) => groupCard(ctx, g, i, s.unit)) : h('p', { class: 'hint', text: t('site.empty') }));
    };
    store.subscribe(render);
    render(store.get());
    return { element: h('section', { id: 'view-site' }, h('div', { class: 'toolbar' }, read, sibling, surveyAll), body) };
  },
};
