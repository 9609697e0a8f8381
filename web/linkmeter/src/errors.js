// A failure as the technician reads it: what the program said (its msg)
// and what to do about it.
import { t } from './i18n.js';
import { CancelledError } from './api.js';
import { RouteError } from './route.js';

// The advice key for a failure object or device result.
export function adviceKey(detail) {
  const d = detail || {};
  const msg = String(d.msg || '');
  if (d.isTimeout || msg === 'timeout') return 'advice.timeout';
  if (String(d.api || '').startsWith('app.file')) return 'advice.file';
  if (msg.startsWith('fail to open')) return d.code2 === -29 || /LOGIN/i.test(msg) ? 'advice.password' : 'advice.open';
  if (msg.includes('このAPIは指定したcomInfo')) return 'advice.unsupported';
  if (msg === 'unhandled query') return 'advice.missing';
  if (msg.startsWith('Invalid arguments')) return 'advice.arguments';
  if (d.code1 === -22) return 'advice.measure';
  if (typeof d.STATUS === 'string') {
    if (d.STATUS === '0003-0090') return 'advice.busy';
    if (d.STATUS === '0005-0001') return 'advice.noLogger';
    if (d.STATUS.startsWith('0004-')) return 'advice.radio';
  }
  if (msg.includes('bridge is not available')) return 'advice.bridge';
  return 'advice.retry';
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

// {title, msg, advice} for any error a flow caught.
export function describeError(error) {
  if (error instanceof CancelledError) return { title: t('error.cancelled'), msg: '', advice: '' };
  if (error instanceof RouteError) {
    return { title: t('error.route'), msg: t('route.' + error.code, { num: error.detail }), advice: t('advice.registration') };
  }
  const detail = (error && error.detail) || { msg: error && error.message ? error.message : String(error) };
  const parts = [];
  if (detail.msg) parts.push(detail.msg);
  else if (detail.STATUS) parts.push('STATUS=' + detail.STATUS);
  if (detail.code1 !== undefined && !String(detail.msg || '').includes(String(detail.code1))) {
    parts.push(`(code ${detail.code1}${detail.code2 !== undefined ? ' / ' + detail.code2 : ''})`);
  }
  return { title: t('error.device'), msg: parts.join(' '), advice: t(adviceKey(detail)) };
}
