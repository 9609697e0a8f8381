// Saving a long export: the file functions take at most 200000 values a
// call, so the text goes out in slices that together are the whole file.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { saveTextFile } from '../../web/linkmeter/src/page/export.js';

test('a text longer than one call carries is written whole, in slices', async () => {
  const writes = [];
  globalThis.app = {
    jsQuery: (name, arg, ok) => { setTimeout(() => ok(['/tmp/out'])); return 1; },
    fileOpen: (path, mode) => ({ type: 'FILE', handle: 1, path, mode }),
    fileWrite: (h, bytes) => {
      if (bytes.length > 200000) throw new Error('{"code1":-4}');
      writes.push(bytes);
      return bytes.length;
    },
    fileClose: () => {},
  };
  try {
    const text = 'time,level\r\n' + '2026-12-01 10:00:00,123\r\n'.repeat(20000);
    assert.equal(await saveTextFile(text, { ext: '.csv' }), '/tmp/out.csv');
    assert.ok(writes.length > 1);
    const all = writes.flat();
    assert.deepEqual(all.slice(0, 3), [0xef, 0xbb, 0xbf]);
    assert.equal(new TextDecoder().decode(Uint8Array.from(all.slice(3))), text);
  } finally {
    delete globalThis.app;
  }
});
