// An acceptance as the site records keep it, shown read-only (History): the
// site verdict against the profile it was judged by, and every unit's
// verdict, deciding rule, remedies and waiver, in today's words.
import { h } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { describeAcceptance } from '../site/acceptancetexts.js';

// The body for `decoded` (the recorded acceptance), or null when it is not
// one (a damaged or foreign record falls back to the raw view).
export function acceptanceRecordBody(decoded) {
  if (!decoded || !Array.isArray(decoded.units) || !decoded.profile || !decoded.thresholds || !decoded.counts) return null;
  let a;
  try {
    a = describeAcceptance(decoded);
  } catch (e) {
    return null;
  }
  return h('div', { test: 'history-acceptance', dataset: { verdict: String(a.verdict), profile: a.profileTitle } },
    h('p', {}, h('strong', { text: a.siteText }), ` ${a.countsText} — ${t('acceptance.profile')}: ${a.profileTitle}`),
    h('table', { class: 'results' },
      h('tbody', {}, a.units.map((u) => h('tr', { test: 'history-acceptance-unit', dataset: { serial: String(u.serial), verdict: String(u.verdict) } },
        h('td', { class: 'name', text: u.label }), h('td', { class: 'name', text: u.verdictText }), h('td', { class: 'name', text: u.ruleText }),
        h('td', { text: [...u.remedyTexts, u.waiver ? t('acceptance.waivedBecause', { reason: u.waiver.reason }) : ''].filter(Boolean).join(' ') }))))));
}
