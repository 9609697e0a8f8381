// A long operation started by one button and stopped by another: the
// buttons follow its state and the computer is kept awake while it runs.
import { beginBusy } from './busy.js';

// work(signal) runs on a click of `start`; `cancel` aborts the signal;
// `ended` runs after every run, however it ended.
export function cancellableJob({ start, cancel, work, ended }) {
  let controller = null;
  cancel.disabled = true;
  cancel.addEventListener('click', () => controller && controller.abort());
  start.addEventListener('click', async () => {
    if (controller) return;
    controller = new AbortController();
    start.disabled = true;
    cancel.disabled = false;
    const endBusy = beginBusy();
    try {
      await work(controller.signal);
    } finally {
      endBusy();
      controller = null;
      cancel.disabled = true;
      if (ended) ended();
    }
  });
  return { running: () => controller !== null };
}
