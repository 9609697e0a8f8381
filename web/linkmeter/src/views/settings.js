// Settings: one form per settings block of the connected base unit, built
// from the catalogue's write checks; read → edit (changed fields marked) →
// write (only the changed keys, checked before sending; a LAN unit's own
// link asks first) → read back, showing what changed. The clock block
// compares the unit's clock with this computer's and sets it.
import rules from 'catalogue-rules';
import { h } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { SettingsBlock } from '../settings/settingsblock.js';
import { settingsBlocks } from '../device/cataloguelists.js';
import '../i18n/servicetexts.js';

export const BLOCKS = settingsBlocks(rules);

export default {
  id: 'settings',
  title: 'tab.settings',
  create(ctx) {
    const { store } = ctx;
    const cards = BLOCKS.filter((b) => rules.commands[b.read] && rules.commands[b.write])
      .map((b) => new SettingsBlock(ctx, b, { ...rules.commands[b.write], name: b.write }));
    const readAll = h('button', { id: 'settings-read-all', class: 'primary', text: t('settings.readAll') });
    readAll.addEventListener('click', async () => {
      readAll.disabled = true;
      for (const c of cards) await c.read(); // one command at a time per unit
      readAll.disabled = !store.get().unit;
    });
    const hint = h('p', { class: 'hint' });
    const element = h('section', { id: 'view-settings' }, h('div', { class: 'toolbar' }, readAll), hint, cards.map((c) => c.element()));
    const render = (s) => {
      readAll.disabled = !s.unit;
      for (const c of cards) c.forUnit(s);
      hint.textContent = s.unit ? '' : t('units.notConnected');
    };
    store.subscribe(render);
    render(store.get());
    return { element };
  },
};
