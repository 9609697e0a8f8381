// A chart's or chip row's legend in the page's words: a swatch per series,
// band or class and what it means, so no colour has to be guessed. The
// swatch colours are style.css's (the page allows no inline styles).

import { h } from './dom.js';

// items: [{key, shape ('bar' | 'band' | 'point' | 'line' | 'chip'), text}];
// the swatch takes the class `c-<key>`.
export function legend(id, items) {
  return h('ul', { id: id || null, class: 'legend', test: 'legend' }, items.map((x) =>
    h('li', { dataset: { key: x.key } }, h('span', { class: `swatch ${x.shape} c-${x.key}` }), ' ', x.text)));
}
