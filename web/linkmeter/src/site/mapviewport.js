// The part of a plan in view and how it lies on the screen. The plan's
// drawing is laid out once, the whole plan fitted into its box (as an SVG
// viewBox of the plan with xMidYMid meet fits it); zoom and pan only move
// and scale that drawing as painted (a CSS transform), so nothing is laid
// out again while the view changes. Pure logic, no DOM.

export const ZOOM_STEP = 1.25;
export const MIN_SHARE = 0.02; // the closest view shows 2 % of the plan's width
export const MAX_SHARE = 4; // the farthest shows four plans' widths

export class PlanViewport {
  constructor() {
    this.plan = null; // {id, width, height}
    this.view = null; // {x, y, w, h}: the plan pixels in view (w:h as the plan's)
  }

  // A new plan (or the same one at another size) shows whole; the same
  // plan keeps its view.
  show(plan) {
    const same = this.plan && this.plan.id === plan.id && this.plan.width === plan.width && this.plan.height === plan.height;
    this.plan = plan;
    if (!same) this.view = { x: 0, y: 0, w: plan.width, h: plan.height };
  }

  // How much closer than the whole plan the view is.
  get scale() {
    return this.view ? this.plan.width / this.view.w : 1;
  }

  get centre() {
    const v = this.view;
    return { x: v.x + v.w / 2, y: v.y + v.h / 2 };
  }

  // The whole plan fitted into a box of box.width × box.height pixels:
  // pixels per plan pixel and where the plan's corner lies.
  fit(box) {
    const s = Math.min(box.width / this.plan.width, box.height / this.plan.height) || 1;
    return { s, ox: (box.width - this.plan.width * s) / 2, oy: (box.height - this.plan.height * s) / 2 };
  }

  // The transform of the fitted drawing that shows the view: the view's
  // centre at the box's, scaled by `scale`. {k, tx, ty} for
  // translate(tx, ty) scale(k) about the drawing's corner.
  transform(box) {
    const { s, ox, oy } = this.fit(box);
    const k = this.scale;
    const c = this.centre;
    return { k, tx: box.width / 2 - k * (ox + s * c.x), ty: box.height / 2 - k * (oy + s * c.y) };
  }

  // The plan point at box point (px, py), and back.
  toPlan(px, py, box) {
    const { s, ox, oy } = this.fit(box);
    const { k, tx, ty } = this.transform(box);
    return { x: ((px - tx) / k - ox) / s, y: ((py - ty) / k - oy) / s };
  }

  toBox(x, y, box) {
    const { s, ox, oy } = this.fit(box);
    const { k, tx, ty } = this.transform(box);
    return { x: tx + k * (ox + s * x), y: ty + k * (oy + s * y) };
  }

  // Closer by `factor` (> 1) or farther (< 1), plan point `at` staying
  // where it is on the screen (the view's centre when omitted). False when
  // the view is already as close or as far as it goes.
  zoom(factor, at) {
    if (!this.view) return false;
    const v = this.view;
    const w = Math.max(this.plan.width * MIN_SHARE, Math.min(this.plan.width * MAX_SHARE, v.w / factor));
    if (w === v.w) return false;
    const k = w / v.w;
    const a = at || this.centre;
    this.view = { x: a.x - (a.x - v.x) * k, y: a.y - (a.y - v.y) * k, w, h: v.h * k };
    return true;
  }

  // The view moved with the drawing by (dx, dy) box pixels.
  pan(dx, dy, box) {
    if (!this.view) return;
    const perPixel = 1 / (this.scale * this.fit(box).s);
    this.view = { ...this.view, x: this.view.x - dx * perPixel, y: this.view.y - dy * perPixel };
  }

  // "x y w h" of the view, rounded to a tenth of a plan pixel.
  text() {
    const r = (n) => Math.round(n * 10) / 10;
    const v = this.view;
    return v ? `${r(v.x)} ${r(v.y)} ${r(v.w)} ${r(v.h)}` : '';
  }
}
