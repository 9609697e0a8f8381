// The editor of the class boundaries (thresholds.js): five numbers, checked
// before they are applied; applying saves them in the page's storage and
// every view redraws from the store. "Reset to defaults" puts the defaults
// back the same way.
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { DEFAULT_THRESHOLDS, LEVEL_NAMES, BATTERY_NAMES, thresholdProblem, applyThresholds, currentThresholds, isDefault, thresholdsText } from '../site/thresholds.js';

const FIELDS = [...LEVEL_NAMES.map((k) => ['level', k, 255]), ...BATTERY_NAMES.map((k) => ['battery', k, 100])];

// The boundaries typed in `inputs` ({'level.good': input, …}); a field that
// is not a whole number stays as typed so the check names it.
export function readThresholds(values) {
  const th = { level: {}, battery: {} };
  for (const [part, key] of FIELDS) {
    const text = String(values[`${part}.${key}`] ?? '').trim();
    th[part][key] = /^\d+$/.test(text) ? Number(text) : text;
  }
  return th;
}

export function thresholdEditor(ctx) {
  const inputs = {};
  const rows = FIELDS.map(([part, key, max]) => {
    const id = `threshold-${part}-${key}`;
    const input = h('input', { id, type: 'number', min: 1, max, step: 1, size: 4 });
    inputs[`${part}.${key}`] = input;
    return h('tr', {}, h('th', {}, h('label', { for: id, text: t(`thresholds.${part}.${key}`) })), h('td', {}, input));
  });
  const problem = h('p', { id: 'thresholds-problem', class: 'message error', hidden: true });
  const state = h('p', { id: 'thresholds-state', class: 'dim' });
  let shown = null;
  const show = (th) => {
    shown = th;
    for (const [part, key] of FIELDS) inputs[`${part}.${key}`].value = String(th[part][key]);
    state.textContent = (isDefault(th) ? t('thresholds.defaults') : t('thresholds.custom')) + ' — ' + thresholdsText(th);
    state.dataset.default = String(isDefault(th));
  };
  const apply = (th) => {
    const why = thresholdProblem(th);
    problem.hidden = !why;
    fill(problem, why ? t('thresholds.problem.' + why) : null);
    if (!why) applyThresholds(ctx.store, ctx.storage, th);
  };
  const read = () => readThresholds(Object.fromEntries(Object.entries(inputs).map(([k, el]) => [k, el.value])));
  const el = h('details', { id: 'thresholds-editor', class: 'card no-print' },
    h('summary', { text: t('thresholds.title') }),
    h('p', { class: 'hint', text: t('thresholds.hint') }),
    h('table', { class: 'facts' }, rows),
    problem,
    h('div', { class: 'toolbar' },
      h('button', { id: 'thresholds-apply', class: 'primary', onclick: () => apply(read()), text: t('thresholds.apply') }),
      h('button', { id: 'thresholds-reset', onclick: () => apply(DEFAULT_THRESHOLDS), text: t('thresholds.reset') })),
    state);
  const update = (s) => {
    const th = currentThresholds(s);
    if (th !== shown) show(th);
  };
  ctx.store.subscribe(update);
  update(ctx.store.get());
  return el;
}
