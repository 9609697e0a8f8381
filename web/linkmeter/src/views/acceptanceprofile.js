// The editor of the acceptance profile: name, version and each rule's
// figure, checked before they are applied; applying keeps the profile in
// the page's storage (per computer) and in the store as
// `acceptanceProfile`, and the acceptance is judged again at once.
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { DEFAULT_PROFILE, PROFILE_RANGES, profileProblem, saveProfile, profileTitle } from '../site/acceptanceprofile.js';
import { profileRules } from '../site/acceptancetexts.js';

const NUMBERS = Object.keys(PROFILE_RANGES);

function numberRow(key, inputs) {
  const [min, max] = PROFILE_RANGES[key];
  const input = h('input', { id: 'acceptance-profile-' + key, type: 'number', min, max, step: 1, size: 4 });
  inputs[key] = input;
  return h('tr', {}, h('th', {}, h('label', { for: input.id, text: t('acceptance.field.' + key) })), h('td', {}, input));
}

// A whole number from the text typed, else the text (so the check names it).
const wholeOr = (text) => (/^\d+$/.test(String(text).trim()) ? Number(text) : String(text));

export function profileEditor(ctx) {
  const inputs = {};
  inputs.name = h('input', { id: 'acceptance-profile-name', type: 'text', size: 16, maxlength: 40 });
  inputs.version = h('input', { id: 'acceptance-profile-version', type: 'number', min: 1, max: 9999, step: 1, size: 4 });
  inputs.hopMedian = h('select', { id: 'acceptance-profile-hopMedian' },
    ['good', 'fair'].map((c) => h('option', { value: c, text: t('quality.' + c) })));
  const problem = h('p', { id: 'acceptance-profile-problem', class: 'message error', hidden: true });
  const rules = h('ul', { id: 'acceptance-rules' });
  const title = h('span', { id: 'acceptance-profile-title' });
  let shown = null;
  const show = (p, th) => {
    shown = p;
    for (const key of ['name', 'version', 'hopMedian', ...NUMBERS]) inputs[key].value = String(p[key]);
    title.textContent = profileTitle(p);
    fill(rules, profileRules(p, th).map((r) => h('li', { dataset: { rule: r.rule }, text: r.text })));
  };
  const read = () => ({ name: inputs.name.value, version: wholeOr(inputs.version.value), hopMedian: inputs.hopMedian.value,
    ...Object.fromEntries(NUMBERS.map((k) => [k, wholeOr(inputs[k].value)])) });
  const apply = (p) => {
    const why = profileProblem(p);
    problem.hidden = !why;
    fill(problem, why ? t('acceptance.profileProblem.' + why) : null);
    if (!why) ctx.store.set({ acceptanceProfile: saveProfile(ctx.storage, p) });
  };
  const el = h('details', { id: 'acceptance-profile', class: 'card no-print' },
    h('summary', {}, t('acceptance.profile'), ': ', title),
    rules,
    h('table', { class: 'facts' },
      h('tr', {}, h('th', {}, h('label', { for: inputs.name.id, text: t('acceptance.profileName') })), h('td', {}, inputs.name)),
      h('tr', {}, h('th', {}, h('label', { for: inputs.version.id, text: t('acceptance.profileVersion') })), h('td', {}, inputs.version)),
      h('tr', {}, h('th', {}, h('label', { for: inputs.hopMedian.id, text: t('acceptance.field.hopMedian') })), h('td', {}, inputs.hopMedian)),
      NUMBERS.map((k) => numberRow(k, inputs))),
    problem,
    h('div', { class: 'toolbar' },
      h('button', { id: 'acceptance-profile-apply', class: 'primary', onclick: () => apply(read()), text: t('acceptance.profileApply') }),
      h('button', { id: 'acceptance-profile-reset', onclick: () => apply(DEFAULT_PROFILE), text: t('acceptance.profileReset') })));
  return {
    el,
    update(p, th) {
      if (p !== shown || th !== this.th) show(p, th);
      this.th = th;
    },
  };
}
