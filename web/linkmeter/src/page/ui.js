// Page-wide pieces the views share: the message area, the password dialog
// and progress bars.
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { describeError } from '../device/errors.js';
import { CancelledError } from '../device/api.js';

let messages = null;
let shownView = ''; // the tab on show: a message belongs to the tab it happened on

export function mountMessages(el) {
  messages = el;
}

// Failures of the link itself concern every tab; the others belong to the
// tab where they happened.
const EVERY_TAB = new Set(['linkLost', 'unitGone']);

// The tab on show changed: only its own messages, and those of every tab,
// stay in view; the others wait until their tab is shown again.
export function showMessagesOf(view) {
  shownView = view || '';
  if (!messages) return;
  for (const box of messages.children) box.hidden = Boolean(box.dataset.view) && box.dataset.view !== shownView;
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
  // A context the sentence already says is not said twice.
  const said = !context || technical || String(d.title).startsWith(String(context).replace(/[.。]$/, ''));
  const main = said ? d.title : `${context}: ${d.title}`;
  const details = [technical ? context : '', d.details].filter(Boolean).join(' · ');
  return { main, advice: d.advice, details, cause: d.cause };
}

// A message box in the area, kept to the tab `view` (every tab for '').
function put(box, view) {
  box.dataset.view = view;
  box.hidden = Boolean(view) && view !== shownView;
  messages.prepend(box);
  while (messages.children.length > 4) messages.lastElementChild.remove();
}

// Shows a failure in plain words, the program's text apart, on the tab
// `view` (by default the tab on show: a flow running on another tab names
// its own). Cancels are shown as a short notice.
export function showError(error, context, view = shownView) {
  if (!messages) return;
  if (error instanceof CancelledError) {
    notify(t('error.cancelled'), view);
    return;
  }
  const d = errorParts(error, context);
  const box = h('div', { class: 'message error', role: 'alert', test: 'error', dataset: { cause: d.cause } },
    h('button', { class: 'close', title: t('common.close'), 'aria-label': t('common.close'), onclick: () => box.remove(), text: '×' }),
    h('strong', { test: 'error-main', text: d.main }),
    d.advice ? h('div', { class: 'advice', test: 'error-advice', text: d.advice }) : null,
    d.details ? h('div', { class: 'details', test: 'error-details', text: d.details }) : null);
  put(box, EVERY_TAB.has(d.cause) ? '' : view);
}

export function notify(text, view = shownView) {
  if (!messages) return;
  const box = h('div', { class: 'message info', test: 'notice' },
    h('button', { class: 'close', title: t('common.close'), 'aria-label': t('common.close'), onclick: () => box.remove(), text: '×' }), text);
  put(box, view);
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
      h('h2', { text: t('units.passwordTitle') }),
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
