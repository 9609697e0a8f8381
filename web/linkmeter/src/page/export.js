// Saving text through the save dialog and the file functions: UTF-8 with a
// byte-order mark, so spreadsheets read the names right.
import { fileDialog, nativeError } from '../device/api.js';
import { t } from '../i18n/i18n.js';
import { showError, notify } from './ui.js';
import { PROVENANCE_HEADER, provenanceCells } from '../ui/provenance.js';

const WRITE_SLICE = 65536;

function utf8Bytes(text) {
  return [0xef, 0xbb, 0xbf, ...new TextEncoder().encode(text)];
}

function withExtension(path, ext) {
  const name = path.split('/').pop();
  return name.includes('.') ? path : path + ext;
}

// Resolves with the path written, or null when the dialog was cancelled.
export async function saveTextFile(text, { title, initFile, filter, ext }) {
  const paths = await fileDialog({ mode: 'save', title, initFile, filter });
  if (!Array.isArray(paths) || paths.length === 0) return null;
  const path = withExtension(paths[0], ext);
  const app = globalThis.app;
  let handle;
  try {
    handle = app.fileOpen(path, 'wb');
    // In slices: the bridge takes at most 200000 values in one call.
    const bytes = utf8Bytes(text);
    for (let at = 0; at < bytes.length; at += WRITE_SLICE) app.fileWrite(handle, bytes.slice(at, at + WRITE_SLICE));
  } catch (e) {
    throw nativeError(e);
  } finally {
    if (handle) {
      try { app.fileClose(handle); } catch (e) { /* already reported */ }
    }
  }
  return path;
}

// A CSV text saved where the technician chooses, with a notice of where or
// a message saying why not.
export async function exportCsv(text, initFile) {
  try {
    const path = await saveTextFile(text, { title: t('sitesurvey.csv'), initFile, filter: ['CSV (*.csv)', '*.csv'], ext: '.csv' });
    if (path) notify(t('sitesurvey.saved', { path }));
  } catch (e) {
    showError(e, t('sitesurvey.csv'));
  }
}

// A table whose every row starts with where it came from (base unit, the
// unit it concerns, when, which source), as every export does.
export function provenanceTable(header, rows, prov, unitSerial) {
  return {
    header: [...PROVENANCE_HEADER, ...header],
    rows: rows.map((r) => [...provenanceCells(prov, unitSerial), ...r]),
  };
}
