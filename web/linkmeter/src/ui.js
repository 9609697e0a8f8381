// Page-wide pieces the views share: the message area, the password dialog
// and progress bars.
import { h, fill } from './dom.js';
import { t } from './i18n.js';
import { describeError } from './errors.js';
import { CancelledError } from './api.js';

let messages = null;

export function mountMessages(el) {
  messages = el;
}

// Shows a failure: the program's text and what to do. Cancels are shown as
// a short notice.
export function showError(error, context) {
  if (!messages) return;
  if (error instanceof CancelledError) {
    notify(t('error.cancelled'));
    return;
  }
  const d = describeError(error);
  const box = h('div', { class: 'message error', role: 'alert', test: 'error' },
    h('button', { class: 'close', title: t('common.close'), onclick: () => box.remove(), text: '×' }),
    h('strong', { text: context ? `${context}: ${d.title}` : d.title }),
    d.msg ? h('div', { class: 'msg', test: 'error-msg', text: d.msg }) : null,
    d.advice ? h('div', { class: 'advice', test: 'error-advice', text: d.advice }) : null);
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
