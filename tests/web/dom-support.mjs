// A small DOM for the views under Node: linkedom from the page's own
// development modules (the source tree's or the build's npm folder).
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

// One of the page's development modules (linkedom, esbuild), or null when
// none of the places has it.
export function pageModule(name) {
  const here = dirname(fileURLToPath(import.meta.url));
  const places = [process.env.LM_PAGE_MODULES, join(here, '../../web/linkmeter/node_modules'), join(here, '../../build/web/linkmeter-npm/node_modules')];
  for (const place of places.filter(Boolean)) {
    try {
      return createRequire(join(place, 'index.js'))(name);
    } catch (e) { /* next place */ }
  }
  return null;
}

export function loadDom() {
  return pageModule('linkedom');
}
