// Units: find base units (USB, LAN) and loggers, connect one (found, or a LAN
// unit by its address), and see its information, status and clock at a
// glance. The flows live in connection.js; this module only draws.
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { progressBar } from '../page/ui.js';
import { parseIPv4, parsePort, rememberedAddress, sameUnit, DEFAULT_LAN_PORT } from '../page/connection.js';

function address(entry) {
  return entry.com === 1 ? `USB ${entry.port ?? ''}`.trim() : `${entry.ipAddr}:${entry.port}`;
}

function unitRow(conn, entry, s) {
  const isConnected = sameUnit(entry, s.unit) && !s.linkLost;
  return h('tr', { test: 'unit-row', dataset: { serial: String(entry.serial), com: String(entry.com) }, class: isConnected ? 'selected' : '' },
    h('td', { text: entry.com === 2 ? 'LAN' : 'USB' }),
    h('td', { text: entry.model }),
    h('td', { text: entry.name }),
    h('td', { text: entry.descr }),
    h('td', { class: 'mono', text: String(entry.serial) }),
    h('td', { class: 'mono', text: address(entry) }),
    h('td', {}, h('button', { test: 'connect', disabled: isConnected, onclick: () => conn.connect(entry), text: isConnected ? t('units.connected') : t('units.connect') })));
}

function clockText(rdtim) {
  if (!rdtim || rdtim.error || typeof rdtim.TimeOffset !== 'number') return '—';
  const s = rdtim.TimeOffset;
  const sign = s > 0 ? '+' : s < 0 ? '−' : '±';
  return t('units.clockOffset', { offset: `${sign}${Math.abs(s)}` });
}

function statusText(s) {
  if (s.linkLost) return t('units.statusLost');
  const ebsts = s.unitInfo && s.unitInfo.ebsts;
  return ebsts && !ebsts.error ? t('units.statusOk', { status: ebsts.STATUS || '' }) : t('units.statusFailed');
}

function infoPanel(conn, s) {
  const { unit, unitInfo: info } = s;
  if (!unit) return h('p', { class: 'hint', text: t('units.notConnected') });
  if (!info || info.loading) return h('p', { class: 'hint', text: t('common.working') });
  const ruinf = info.ruinf && !info.ruinf.error ? info.ruinf : {};
  const cell = (label, value, id) => h('div', { class: 'field' }, h('span', { class: 'label', text: label }), h('span', { id, text: value || '—' }));
  return h('div', { class: 'fields', dataset: { state: s.linkLost ? 'lost' : 'ok' } },
    cell(t('units.name'), ruinf.NAME ?? unit.name, 'info-name'),
    cell(t('units.descr'), ruinf.DESC ?? unit.descr, 'info-descr'),
    cell(t('units.serial'), ruinf.SER ?? unit.serial, 'info-serial'),
    cell(t('units.model'), unit.model, 'info-model'),
    cell(t('units.firmware'), [ruinf.FWV, ruinf.RFV].filter(Boolean).join(' / '), 'info-firmware'),
    cell(t('units.status'), statusText(s), 'info-status'),
    cell(t('units.clock'), clockText(info.rdtim), 'info-clock'),
    h('div', { class: 'toolbar' },
      h('button', { id: 'info-refresh', disabled: !!s.linkLost, onclick: () => conn.refresh(), text: t('units.refresh') }),
      h('button', { id: 'disconnect-button', onclick: () => conn.disconnect(), text: t('units.disconnect') })));
}

// The address form: checked here, so a mistyped address never reaches the
// program; prefilled with the address last connected by.
function addressForm(conn, storage) {
  const saved = rememberedAddress(storage);
  const ip = h('input', { id: 'address-input', type: 'text', inputmode: 'decimal', placeholder: '192.168.1.20', value: saved ? saved.ipAddr : '' });
  const port = h('input', { id: 'port-input', type: 'text', inputmode: 'numeric', size: 6, value: String(saved ? saved.port : DEFAULT_LAN_PORT) });
  const problem = h('span', { id: 'address-problem', class: 'problem', hidden: true });
  const submit = (e) => {
    e.preventDefault();
    const addr = parseIPv4(ip.value);
    const p = parsePort(port.value);
    problem.hidden = addr !== null && p !== null;
    problem.textContent = addr === null ? t('units.badAddress') : p === null ? t('units.badPort') : '';
    if (problem.hidden) conn.connectByAddress(addr, p);
  };
  return h('form', { id: 'address-form', class: 'toolbar', onsubmit: submit },
    h('label', {}, t('units.ipAddress') + ' ', ip),
    h('label', {}, t('units.port') + ' ', port),
    h('button', { id: 'address-connect', type: 'submit', text: t('units.connect') }),
    problem);
}

function emptyList(s) {
  const text = s.searched ? t('units.noneFound') : t('units.none');
  return h('tr', {}, h('td', { colspan: 7, class: 'hint', id: s.searched ? 'search-hint' : undefined, text }));
}

export default {
  id: 'units',
  title: 'tab.units',
  create(ctx) {
    const { store, connection: conn } = ctx;
    const progress = progressBar('search-progress');
    const button = h('button', { id: 'search-button', class: 'primary', text: t('units.search') });
    button.addEventListener('click', async () => {
      button.disabled = true;
      try {
        await conn.search(progress.set);
      } finally {
        button.disabled = false;
      }
    });
    const list = h('tbody', { id: 'unit-list' });
    const loggers = h('ul', { id: 'logger-list' });
    const info = h('div', { id: 'unit-info' });
    const render = (s) => {
      fill(list, s.units.length ? s.units.map((u) => unitRow(conn, u, s)) : emptyList(s));
      fill(loggers, s.loggers.map((l) => h('li', { test: 'logger', text: `${l.model} ${l.serial}` + (l.comInfo ? ` — ${l.comInfo.name}` : '') })));
      fill(info, infoPanel(conn, s));
    };
    store.subscribe(render);
    const element = h('section', { id: 'view-units' },
      h('div', { class: 'toolbar' }, button, progress.el),
      h('table', { class: 'list' },
        h('thead', {}, h('tr', {}, ...['kind', 'model', 'name', 'descr', 'serial', 'address', ''].map((k) => (k ? h('th', { text: t('units.' + k) }) : h('th', {}, h('span', { class: 'sr-only', text: t('units.connectColumn') })))))),
        list),
      h('h3', { text: t('units.byAddress') }), addressForm(conn, ctx.storage),
      h('h3', { text: t('units.loggers') }), loggers,
      h('h3', { text: t('units.info') }), info);
    render(store.get());
    return { element };
  },
};
