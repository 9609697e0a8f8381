// Pointer work on a plan's SVG: pan by dragging the background, zoom with
// the wheel (around the pointer) or by steps, and drags that end on the
// plan (a unit from the tray, a pin moved) in plan coordinates. Pan and zoom
// change the viewBox alone, so a frame redraws nothing else.

const ZOOM_STEP = 1.25;
const MIN_SHARE = 0.02; // the closest view shows 2 % of the plan's width
const DRAG_SLOP = 3; // pixels a press may wander and still be a click

export class PlanPointer {
  // svg: the plan's <svg>; onDrop(key, {x, y}, kind) when a drag of a tray
  // unit ('tray') or a pin ('pin') ends on the plan; onClick(key) for a pin
  // pressed and let go in place (null for the background).
  constructor(svg, { onDrop, onClick }) {
    this.svg = svg;
    this.onDrop = onDrop;
    this.onClick = onClick;
    this.plan = null;
    this.view = null; // {x, y, w, h}
    this.drag = null;
    svg.addEventListener('pointerdown', (e) => this.down(e));
    svg.addEventListener('wheel', (e) => this.wheel(e), { passive: false });
    this.move = (e) => this.moved(e);
    this.up = (e) => this.released(e);
  }

  // A new plan shows whole.
  show(plan) {
    if (!this.plan || this.plan.id !== plan.id || this.plan.width !== plan.width) this.view = { x: 0, y: 0, w: plan.width, h: plan.height };
    this.plan = plan;
    this.apply();
  }

  apply() {
    const v = this.view;
    if (v) this.svg.setAttribute('viewBox', `${v.x} ${v.y} ${v.w} ${v.h}`);
  }

  // The plan point under client point (cx, cy).
  toPlan(cx, cy) {
    const m = this.svg.getScreenCTM();
    if (!m) return { x: 0, y: 0 };
    const p = new DOMPoint(cx, cy).matrixTransform(m.inverse());
    return { x: p.x, y: p.y };
  }

  // Zooms by `factor` (> 1 closer) around plan point `at` (the middle when
  // omitted).
  zoom(factor, at) {
    if (!this.view || !this.plan) return;
    const v = this.view;
    const c = at || { x: v.x + v.w / 2, y: v.y + v.h / 2 };
    const w = Math.max(this.plan.width * MIN_SHARE, Math.min(this.plan.width * 4, v.w / factor));
    const k = w / v.w;
    this.view = { x: c.x - (c.x - v.x) * k, y: c.y - (c.y - v.y) * k, w, h: v.h * k };
    this.apply();
  }

  zoomIn() { this.zoom(ZOOM_STEP); }
  zoomOut() { this.zoom(1 / ZOOM_STEP); }

  wheel(e) {
    e.preventDefault();
    this.zoom(e.deltaY < 0 ? ZOOM_STEP : 1 / ZOOM_STEP, this.toPlan(e.clientX, e.clientY));
  }

  // A drag of a tray unit starts outside the SVG; it ends on the plan.
  startTrayDrag(key, e) {
    this.begin({ kind: 'tray', key, x0: e.clientX, y0: e.clientY });
  }

  down(e) {
    if (e.button !== 0 || !this.view) return;
    const pin = e.target.closest && e.target.closest('[data-pin]');
    e.preventDefault();
    if (pin) this.begin({ kind: 'pin', key: pin.dataset.serial, el: pin, x0: e.clientX, y0: e.clientY });
    else this.begin({ kind: 'pan', x0: e.clientX, y0: e.clientY, view: { ...this.view } });
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
      const a = this.toPlanFrom(d.view, d.x0, d.y0);
      const b = this.toPlanFrom(d.view, e.clientX, e.clientY);
      this.view = { ...d.view, x: d.view.x - (b.x - a.x), y: d.view.y - (b.y - a.y) };
      this.apply();
    } else if (d.kind === 'pin' && d.far) {
      const p = this.toPlan(e.clientX, e.clientY);
      d.el.setAttribute('transform', `translate(${p.x} ${p.y})`);
    }
  }

  // The plan point under a client point as view `v` showed it.
  toPlanFrom(v, cx, cy) {
    const r = this.svg.getBoundingClientRect();
    const k = Math.max(v.w / r.width, v.h / r.height);
    return { x: (cx - r.left) * k, y: (cy - r.top) * k };
  }

  released(e) {
    const d = this.drag;
    this.drag = null;
    document.removeEventListener('pointermove', this.move);
    document.removeEventListener('pointerup', this.up);
    if (!d) return;
    if (d.kind === 'pan') {
      if (!d.far) this.onClick(null);
      return;
    }
    if (d.kind === 'pin' && !d.far) {
      this.onClick(d.key);
      return;
    }
    const r = this.svg.getBoundingClientRect();
    const inside = e.clientX >= r.left && e.clientX <= r.right && e.clientY >= r.top && e.clientY <= r.bottom;
    const p = this.toPlan(e.clientX, e.clientY);
    const onPlan = inside && p.x >= 0 && p.y >= 0 && p.x <= this.plan.width && p.y <= this.plan.height;
    this.onDrop(d.key, onPlan ? { x: Math.round(p.x), y: Math.round(p.y) } : null, d.kind);
  }
}
