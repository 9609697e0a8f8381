// A failure as the technician reads it: a sentence in the page's language
// saying what happened, what to do, and the program's own text (msg, STATUS,
// codes, library call) apart as details.
import { t, language } from '../i18n/i18n.js';
import { CancelledError } from './api.js';
import { RouteError } from './route.js';
import { failureCause } from './failures.js';

export { failureCause } from './failures.js';

// The advice key for a failure object or device result.
export function adviceKey(detail) {
  return 'advice.' + failureCause(detail);
}

// What a technician reads when the sibling application's settings cannot be
// imported (app.getSettingsVlb1Tool's code1); null for the program's own
// failures, which are shown as errors.
export function siblingFailureText(code) {
  if (code === -5) return t('sib.none');
  if (code === -11) return t('sib.enciphered');
  if (code <= -20 && code >= -44) return t('sib.unreadable', { code });
  return null;
}

const JAPANESE = /[\u3040-\u30ff\u4e00-\u9fff]/;
const PROGRAM_KEYS = ['code1', 'code2', 'STATUS', 'cmdName', 'api', 'isSuccess'];

// A failure the page made itself (a value it refused, a file it could not
// read) carries its sentence in pageText, or only a msg in the page's words.
function pageSentence(detail) {
  if (typeof detail.pageText === 'string') return detail.pageText;
  if (detail.linkLost) return null;
  const fromProgram = PROGRAM_KEYS.some((k) => detail[k] !== undefined);
  if (fromProgram || typeof detail.msg !== 'string' || !detail.msg) return null;
  // Japanese in an English page is the program's developer text, not ours.
  return language() === 'en' && JAPANESE.test(detail.msg) ? null : detail.msg;
}

// Texts the device library writes in Japanese, as the page says them in
// its own language (the Japanese page keeps them as written).
const LIBRARY_TEXTS = [
  [/このAPIは指定したcomInfo\((.*?)\)に対応していません。/g, (m, model) => t('lib.unsupported', { model })],
  [/通信が失敗しました。/g, () => t('lib.commFailed')],
];

export function libraryText(msg) {
  if (language() === 'ja') return msg;
  return LIBRARY_TEXTS.reduce((text, [pattern, say]) => text.replace(pattern, say), String(msg));
}

// The program's side of a failure, for the details line: its msg (known
// library texts in the page's language), the result's STATUS and command,
// the failure codes and the function.
export function failureDetails(detail) {
  const d = detail || {};
  const parts = [];
  if (d.cmdName && !String(d.msg || '').includes(d.cmdName)) parts.push(d.cmdName);
  if (d.msg) parts.push(libraryText(d.msg));
  if (d.STATUS && !String(d.msg || '').includes(d.STATUS)) parts.push('STATUS=' + d.STATUS);
  if (d.code1 !== undefined && !String(d.msg || '').includes(String(d.code1))) {
    parts.push(`code ${d.code1}${d.code2 !== undefined ? ' / ' + d.code2 : ''}`);
  }
  if (d.api) parts.push(d.api);
  return parts.join(' · ');
}

// {title, advice, details, cause} for any error a flow caught: title is the
// main line, in the page's language.
export function describeError(error) {
  if (error instanceof CancelledError) return { title: t('error.cancelled'), advice: '', details: '', cause: 'cancelled' };
  if (error instanceof RouteError) {
    return { title: t('route.' + error.code, { num: error.detail }), advice: t('advice.registration'), details: '', cause: 'route' };
  }
  const detail = (error && error.detail) || { msg: error && error.message ? error.message : String(error) };
  const own = pageSentence(detail);
  if (own !== null) return { title: own, advice: '', details: '', cause: 'page' };
  const cause = failureCause(detail);
  return { title: t('failure.' + cause), advice: t('advice.' + cause), details: failureDetails(detail), cause };
}
