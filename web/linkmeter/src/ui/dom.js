// Building elements: h('button', {id, class, onclick, dataset}, children…).
export function h(tag, props, ...children) {
  const el = document.createElement(tag);
  for (const [key, value] of Object.entries(props || {})) {
    if (value === undefined || value === null || value === false) continue;
    if (key === 'class') el.className = value;
    else if (key === 'text') el.textContent = value;
    else if (key === 'dataset') Object.assign(el.dataset, value);
    else if (key === 'test') el.dataset.test = value;
    else if (key.startsWith('on')) el.addEventListener(key.slice(2), value);
    else if (key in el && typeof value !== 'string') el[key] = value;
    else el.setAttribute(key, value === true ? '' : value);
  }
  append(el, children);
  return el;
}

function append(el, children) {
  for (const child of children.flat(Infinity)) {
    if (child === null || child === undefined || child === false) continue;
    el.append(child instanceof Node ? child : String(child));
  }
}

// Replaces the children of `el`.
export function fill(el, ...children) {
  el.textContent = '';
  append(el, children);
  return el;
}

// The texts, which need no elements, live apart so the site logic the
// command line runs (sitelogic.js) reaches no DOM code.
export { fixed, pad2, timeText } from './formats.js';
