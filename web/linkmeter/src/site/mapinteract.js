// Pointer work on a plan's SVG: pan by dragging the background, zoom with
// the wheel (around the pointer) or by steps, and drags that end on the
// plan (a unit from the tray, a pin moved) in plan coordinates. While the
// pointer pans or the wheel turns, the drawing as painted is only moved and
// scaled (a transform of its layer, no repaint of hundreds of pins and
// links, whose labels hide meanwhile); the viewBox takes the result when
// the gesture ends.

const ZOOM_STEP = 1.25;
const MIN_SHARE = 0.02; // the closest view shows 2 % of the plan's width
const DRAG_SLOP = 3; // pixels a press may wander and still be a click
const WHEEL_SETTLE_MS = 150; // a wheel burst ends after this long without a turn

export class PlanPointer {
  // svg: the plan's <svg>; onDrop(key, {x, y}, kind) when a drag of a tray
  // unit ('tray') or a pin ('pin') ends on the plan; onClick(key, point) for
  // a pin pressed and let go in place (key null and the plan point for the
  // background).
  constructor(svg, { onDrop, onClick }) {
    this.svg = svg;
    this.onDrop = onDrop;
    this.onClick = onClick;
    this.plan = null;
    this.view = null; // {x, y, w, h}
    this.drag = null;
    this.wheeling = null; // {k, origin (client), at (plan), timer}
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

  // The wheel scales the painted drawing around the pointer where the burst
  // began; the zoom itself is made once the wheel rests.
  wheel(e) {
    e.preventDefault();
    if (!this.view || !this.plan) return;
    const w = this.wheeling || (this.wheeling = { k: 1, at: this.toPlan(e.clientX, e.clientY), origin: this.local(e.clientX, e.clientY) });
    const k = w.k * (e.deltaY < 0 ? ZOOM_STEP : 1 / ZOOM_STEP);
    const width = this.view.w / k;
    if (width >= this.plan.width * MIN_SHARE && width <= this.plan.width * 4) w.k = k;
    this.svg.classList.add('moving');
    this.svg.style.transformOrigin = `${w.origin.x}px ${w.origin.y}px`;
    this.svg.style.transform = `scale(${w.k})`;
    clearTimeout(w.timer);
    w.timer = setTimeout(() => this.settleWheel(), WHEEL_SETTLE_MS);
  }

  settleWheel() {
    const w = this.wheeling;
    this.wheeling = null;
    this.svg.style.transform = '';
    this.svg.classList.remove('moving');
    if (w && w.k !== 1) this.zoom(w.k, w.at);
  }

  local(cx, cy) {
    const r = this.svg.getBoundingClientRect();
    return { x: cx - r.left, y: cy - r.top };
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
      d.dx = e.clientX - d.x0;
      d.dy = e.clientY - d.y0;
      this.svg.classList.add('moving');
      this.svg.style.transform = `translate(${d.dx}px, ${d.dy}px)`;
    } else if (d.kind === 'pin' && d.far) {
      const p = this.toPlan(e.clientX, e.clientY);
      d.el.setAttribute('transform', `translate(${p.x} ${p.y})`);
    }
  }

  // The pan a drag made, taken by the viewBox.
  settlePan(d) {
    this.svg.style.transform = '';
    this.svg.classList.remove('moving');
    if (!d.far || !d.dx && !d.dy) return;
    const r = this.svg.getBoundingClientRect();
    const k = Math.max(d.view.w / r.width, d.view.h / r.height); // plan units per pixel
    this.view = { ...d.view, x: d.view.x - d.dx * k, y: d.view.y - d.dy * k };
    this.apply();
  }

  released(e) {
    const d = this.drag;
    this.drag = null;
    document.removeEventListener('pointermove', this.move);
    document.removeEventListener('pointerup', this.up);
    if (!d) return;
    if (d.kind === 'pan') {
      this.settlePan(d);
      if (!d.far) this.onClick(null, this.toPlan(e.clientX, e.clientY));
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
