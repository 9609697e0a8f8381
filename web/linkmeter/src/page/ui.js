// Page-wide pieces the views share: the message area, the password dialog
// and progress bars.
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { describeError } from '../device/errors.js';
import { CancelledError } from '../device/api.js';

let messages = null;

export function mountMessages(el) {
  messages = el;
}

// A context that is a command or block name (RSETF, EWSUC…) is the
// program's word, not the technician's: it goes to the details line.
function isMnemonic(context) {
  return /^[A-Z][A-Z0-9_]{2,}$/.test(String(context || ''));
}

// The parts of a failure's box: main line (context and what happened),
// what to do, and the program's own text as details.
export function errorParts(error, context) {
  const d = describeError(error);
  const technical = isMnemonic(context);
  const main = context && !technical ? `${context}: ${d.title}` : d.title;
  const details = [technical ? context : '', d.details].filter(Boolean).join(' · ');
  return { main, advice: d.advice, details, cause: d.cause };
}

// Shows a failure in plain words, the program's text apart. Cancels are
// shown as a short notice.
export function showError(error, context) {
  if (!messages) return;
  if (error instanceof CancelledError) {
    notify(t('error.cancelled'));
    return;
  }
  const d = errorParts(error, context);
  const box = h('div', { class: 'message error', role: 'alert', test: 'error', dataset: { cause: d.cause } },
    h('button', { class: 'close', title: t('common.close'), onclick: () => box.remove(), text: '×' }),
    h('strong', { test: 'error-main', text: d.main }),
    d.advice ? h('div', { class: 'advice', test: 'error-advice', text: d.advice }) : null,
    d.details ? h('div', { class: 'details', test: 'error-details', text: d.details }) : null);
  messages.prepend(box);
  while (messages.children.length > 4) messages.lastElementChild.remove();
}

export function notify(text) {
  if (!messages) return;
  const box = h('div', { class: 'message info', test: 'notice' },
    h('button', { class: 'close', onclick: () => box.remove(), text: '×' }), text);
  messages.prepend(box);
  setTimeout(() => box.remove(), 6000);
}

export function clearMessages() {
  if (messages) fill(messages);
}

// Asks for a LAN unit's password in the page; resolves with the text or
// null when the technician cancels.
export function askPassword(unitName) {
  return new Promise((resolve) => {
    const input = h('input', { id: 'password-input', type: 'password', autocomplete: 'off' });
    const done = (value) => {
      overlay.remove();
      resolve(value);
    };
    const form = h('form', { class: 'dialog', id: 'password-dialog', onsubmit: (e) => { e.preventDefault(); done(input.value); } },
      h('h3', { text: t('units.passwordTitle') }),
      h('p', { text: t('units.passwordFor', { name: unitName }) }),
      input,
      h('div', { class: 'row' },
        h('button', { id: 'password-ok', type: 'submit', text: t('common.ok') }),
        h('button', { id: 'password-cancel', type: 'button', onclick: () => done(null), text: t('common.cancel') })));
    const overlay = h('div', { class: 'overlay' }, form);
    document.body.append(overlay);
    input.focus();
  });
}

// A progress bar with a caption; set(done, total, caption).
export function progressBar(id) {
  const bar = h('progress', { id, max: 1, value: 0 });
  const caption = h('span', { class: 'caption', id: id + '-text' });
  const el = h('div', { class: 'progress', hidden: true }, bar, caption);
  return {
    el,
    set(done, total, text) {
      el.hidden = false;
      bar.max = Math.max(total, 1);
      bar.value = done;
      caption.textContent = text || `${done} / ${total}`;
    },
    hide() {
      el.hidden = true;
    },
  };
}
