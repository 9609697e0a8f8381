// Long operations (surveys): while one runs the computer is kept awake and
// closing the program asks first.
import { store } from './state.js';
import { t } from '../i18n/i18n.js';
import { query } from '../device/api.js';

function keepAwake(on) {
  const app = globalThis.app;
  if (!app || typeof app.setThreadExecutionState !== 'function') return;
  try {
    app.setThreadExecutionState(on ? { continuous: true, systemRequired: true } : { continuous: true });
  } catch (e) {
    console.error('keep awake', e && e.message);
  }
}

// Marks one long operation as running; call the returned function when it
// ends (safe to call twice).
export function beginBusy() {
  store.set({ busy: store.get().busy + 1 });
  if (store.get().busy === 1) keepAwake(true);
  let ended = false;
  return () => {
    if (ended) return;
    ended = true;
    store.set({ busy: store.get().busy - 1 });
    if (store.get().busy === 0) keepAwake(false);
  };
}

// The program asks every page before it exits.
export function installExitGuard() {
  const app = globalThis.app;
  if (!app) return;
  app.onConfirmExit = (answer) => {
    if (store.get().busy === 0) {
      answer(true);
      return;
    }
    query('JsMsgbox', { title: 'Linkmeter', msg: t('exit.confirm'), btn: 2, icon: 1 })
      .then((pressed) => answer(pressed === 3), () => answer(true));
  };
}
