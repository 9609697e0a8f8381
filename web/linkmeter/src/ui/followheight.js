// Keeps a CSS variable on the root element at an element's drawn height, so
// that what scrolls into view clears a sticky header however its fonts draw
// and however many rows its tabs wrap onto (style.css: scroll-margin-top).
// Returns a function that stops following.
export function followHeight(el, name) {
  const root = document.documentElement;
  const set = () => root.style.setProperty(name, `${el.getBoundingClientRect().height}px`);
  set();
  if (typeof ResizeObserver !== 'function') return () => {};
  const observer = new ResizeObserver(set);
  observer.observe(el);
  return () => observer.disconnect();
}
