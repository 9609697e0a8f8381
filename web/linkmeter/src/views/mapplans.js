// The Map tab's controls of the plan shown: rename it, hide it from the
// customer's report (or show it there again), remove it from the site.
// Each is a map edit (site/mapplans.js) kept through the tab's own edit(),
// so it is a record on the visit open now like a unit's move. Removing asks
// once more, in place, naming the plan and what happens to its units.
import { h, fill } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { nameProblem, renameEdit, hideEdit, removeEdit, PLAN_NAME_MAX } from '../site/mapplans.js';

export class PlanControls {
  // edit(fields): the tab's way of keeping an edit; it renders after.
  constructor(edit) {
    this.edit = edit;
    this.plan = null;
    this.name = h('input', { id: 'map-plan-rename', type: 'text', size: 14, maxlength: PLAN_NAME_MAX, 'aria-label': t('map.plan.newName'),
      onkeydown: (e) => { if (e.key === 'Enter') { e.preventDefault(); this.rename(); } } });
    this.renameButton = h('button', { id: 'map-plan-rename-button', type: 'button', text: t('map.plan.rename'), onclick: () => this.rename() });
    this.hidden = h('input', { id: 'map-plan-hide', type: 'checkbox', onchange: () => this.hide() });
    this.removeButton = h('button', { id: 'map-plan-remove', type: 'button', text: t('map.plan.remove'), onclick: () => this.askRemove() });
    this.ask = h('p', { id: 'map-plan-remove-ask', class: 'warning', hidden: true });
    this.problem = h('span', { id: 'map-plan-problem', class: 'warning', role: 'status' });
    // Above the tray, folded to one line until opened: the plan keeps its
    // place on screen and the tray its room.
    this.element = h('details', { id: 'map-plan-controls', class: 'map-plan-controls' },
      h('summary', { id: 'map-plan-controls-open', text: t('map.plan.controls') }),
      h('div', { class: 'map-plan-controls-body' }, this.name, this.renameButton,
        h('label', {}, this.hidden, ' ', t('map.plan.hide')), this.removeButton, this.problem, this.ask));
  }

  // The plan shown now (or null); `past`: a past visit's map, not changed here.
  show(plan, past) {
    const changed = (plan && plan.id) !== (this.plan && this.plan.id);
    this.plan = plan;
    this.element.hidden = !plan;
    this.element.dataset.plan = plan ? plan.id : '';
    this.element.dataset.hidden = plan && plan.hidden ? 'true' : 'false';
    for (const control of [this.name, this.renameButton, this.hidden, this.removeButton]) control.disabled = Boolean(past);
    if (!plan) return;
    this.hidden.checked = Boolean(plan.hidden);
    if (changed) {
      this.name.value = plan.name;
      this.problem.textContent = '';
      this.closeAsk();
    }
  }

  rename() {
    if (!this.plan) return undefined;
    const problem = nameProblem(this.name.value);
    this.problem.textContent = problem ? t('map.plan.problem.' + problem, { most: PLAN_NAME_MAX }) : '';
    if (problem || this.name.value.trim() === this.plan.name) return undefined;
    return this.edit(renameEdit(this.plan, this.name.value));
  }

  hide() {
    if (!this.plan) return undefined;
    return this.edit(hideEdit(this.plan, this.hidden.checked));
  }

  askRemove() {
    if (!this.plan) return;
    const yes = h('button', { id: 'map-plan-remove-confirm', type: 'button', text: t('map.plan.removeYes'), onclick: () => this.remove() });
    const no = h('button', { id: 'map-plan-remove-cancel', type: 'button', text: t('map.plan.removeNo'), onclick: () => { this.closeAsk(); this.removeButton.focus(); } });
    fill(this.ask, t('map.plan.removeAsk', { plan: this.plan.name }), ' ', yes, ' ', no);
    this.ask.hidden = false;
    yes.focus();
  }

  closeAsk() {
    this.ask.hidden = true;
    fill(this.ask);
  }

  remove() {
    const plan = this.plan;
    this.closeAsk();
    return plan ? this.edit(removeEdit(plan)) : undefined;
  }
}
