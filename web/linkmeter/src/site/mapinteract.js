// Pointer work on a plan: pan by dragging the background, zoom with the
// wheel (around the pointer) or by steps, and drags that end on the plan (a
// unit from the tray, a pin moved) in plan coordinates. Pan and zoom move
// and scale the drawing as laid out (mapviewport.js), so a frame of either
// repaints and never lays out hundreds of pins and labels again. The SVG's
// viewBox is the whole plan; `data-view` on it says the part in view.
import { PlanViewport, ZOOM_STEP } from './mapviewport.js';

const DRAG_SLOP = 3; // pixels a press may wander and still be a click

export class PlanPointer {
  // box: the element the plan is seen through (it clips); svg: the plan's
  // <svg> inside it. onDrop(key, {x, y}, kind) when a drag of a tray unit
  // ('tray') or a pin ('pin') ends on the plan; onClick(key, point) for a
  // pin pressed and let go in place (key null and the plan point for the
  // background).
  constructor(box, svg, { onDrop, onClick }) {
    this.box = box;
    this.svg = svg;
    this.onDrop = onDrop;
    this.onClick = onClick;
    this.viewport = new PlanViewport();
    this.size = null; // the box's {width, height}, read when unknown or resized
    this.drag = null;
    svg.style.transformOrigin = '0 0';
    box.addEventListener('pointerdown', (e) => this.down(e));
    box.addEventListener('wheel', (e) => this.wheel(e), { passive: false });
    this.move = (e) => this.moved(e);
    this.up = (e) => this.released(e);
    if (typeof ResizeObserver === 'function') new ResizeObserver(() => { this.size = null; this.apply(); }).observe(box);
  }

  get plan() {
    return this.viewport.plan;
  }

  // A plan to show: whole when it is new, as it was seen when it is not.
  show(plan) {
    this.viewport.show(plan);
    const box = `0 0 ${plan.width} ${plan.height}`;
    if (this.svg.getAttribute('viewBox') !== box) this.svg.setAttribute('viewBox', box);
    this.apply();
  }

  boxSize() {
    if (!this.size || !this.size.width) this.size = { width: this.box.clientWidth, height: this.box.clientHeight };
    return this.size;
  }

  apply() {
    if (!this.viewport.view) return;
    const { k, tx, ty } = this.viewport.transform(this.boxSize());
    const r = (n) => Math.round(n * 100) / 100;
    this.svg.style.transform = k === 1 && !tx && !ty ? '' : `translate(${r(tx)}px, ${r(ty)}px) scale(${r(k * 1e4) / 1e4})`;
    this.svg.dataset.view = this.viewport.text();
  }

  // The plan point under client point (cx, cy).
  toPlan(cx, cy) {
    if (!this.viewport.view) return { x: 0, y: 0 };
    const r = this.box.getBoundingClientRect();
    return this.viewport.toPlan(cx - r.left - this.box.clientLeft, cy - r.top - this.box.clientTop, this.boxSize());
  }

  zoom(factor, at) {
    if (this.viewport.zoom(factor, at)) this.apply();
  }

  zoomIn() { this.zoom(ZOOM_STEP); }
  zoomOut() { this.zoom(1 / ZOOM_STEP); }

  wheel(e) {
    e.preventDefault();
    if (!this.viewport.view) return;
    this.zoom(e.deltaY < 0 ? ZOOM_STEP : 1 / ZOOM_STEP, this.toPlan(e.clientX, e.clientY));
  }

  // A drag of a tray unit starts outside the plan; it ends on it.
  startTrayDrag(key, e) {
    this.begin({ kind: 'tray', key, x0: e.clientX, y0: e.clientY });
  }

  down(e) {
    if (e.button !== 0 || !this.viewport.view) return;
    const pin = e.target.closest && e.target.closest('[data-pin]');
    e.preventDefault();
    this.size = null; // the box may have changed since
    if (pin) this.begin({ kind: 'pin', key: pin.dataset.serial, el: pin, x0: e.clientX, y0: e.clientY });
    else this.begin({ kind: 'pan', x0: e.clientX, y0: e.clientY, x: e.clientX, y: e.clientY });
  }

  begin(drag) {
    this.drag = { ...drag, far: false };
    document.addEventListener('pointermove', this.move);
    document.addEventListener('pointerup', this.up);
  }

  moved(e) {
    const d = this.drag;
    if (!d) return;
    if (Math.hypot(e.clientX - d.x0, e.clientY - d.y0) > DRAG_SLOP) d.far = true;
    if (d.kind === 'pan' && d.far) {
      this.viewport.pan(e.clientX - d.x, e.clientY - d.y, this.boxSize());
      d.x = e.clientX;
      d.y = e.clientY;
      this.apply();
    } else if (d.kind === 'pin' && d.far) {
      const p = this.toPlan(e.clientX, e.clientY);
      d.el.setAttribute('transform', `translate(${p.x} ${p.y})`);
    }
  }

  released(e) {
    const d = this.drag;
    this.drag = null;
    document.removeEventListener('pointermove', this.move);
    document.removeEventListener('pointerup', this.up);
    if (!d) return;
    if (d.kind === 'pan') {
      if (!d.far) this.onClick(null, this.toPlan(e.clientX, e.clientY));
      return;
    }
    if (d.kind === 'pin' && !d.far) {
      this.onClick(d.key);
      return;
    }
    const r = this.box.getBoundingClientRect();
    const inside = e.clientX >= r.left && e.clientX <= r.right && e.clientY >= r.top && e.clientY <= r.bottom;
    const p = this.toPlan(e.clientX, e.clientY);
    const plan = this.plan;
    const onPlan = inside && plan && p.x >= 0 && p.y >= 0 && p.x <= plan.width && p.y <= plan.height;
    this.onDrop(d.key, onPlan ? { x: Math.round(p.x), y: Math.round(p.y) } : null, d.kind);
  }
}
