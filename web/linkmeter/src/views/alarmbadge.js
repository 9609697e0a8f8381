// The header's mark of the alarms firing for the site on screen (the
// connected base unit's): how many, and in its title each one's summary,
// from the monitor's site records (linkmeter.records.alarmsFiring). Read
// again when another unit connects and every minute; hidden when none
// fire or the store cannot say.
import { h } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { serialKey } from '../records/recorderkinds.js';
import '../i18n/alarmtexts.js';

export const ALARM_POLL_MS = 60000;

export function createAlarmBadge(ctx, records, { every = ALARM_POLL_MS } = {}) {
  const element = h('span', { id: 'alarms-firing', class: 'warn', hidden: true, dataset: { count: '0', serial: '' } });
  let serial = null;
  let asked = 0;

  const show = (alarms) => {
    element.dataset.count = String(alarms.length);
    element.hidden = alarms.length === 0;
    element.textContent = alarms.length === 1 ? t('alarms.firingOne') : t('alarms.firing', { count: alarms.length });
    element.title = alarms.length ? t('alarms.badgeTitle', { list: alarms.map((a) => a.summary).join('\n') }) : '';
  };

  // Answers from an earlier unit are dropped.
  const refresh = async () => {
    const ask = ++asked;
    if (serial === null) return show([]);
    let alarms = [];
    try {
      alarms = await records.alarmsFiring({ serial });
    } catch (e) {
      alarms = [];
    }
    if (ask === asked) show(Array.isArray(alarms) ? alarms : []);
  };

  const onState = (s) => {
    const next = s.unit && s.unit.serial ? serialKey(s.unit.serial) : null;
    if (next === serial) return;
    serial = next;
    element.dataset.serial = serial === null ? '' : String(serial);
    refresh();
  };
  ctx.store.subscribe(onState);
  onState(ctx.store.get());
  const timer = every > 0 ? setInterval(refresh, every) : null;
  return { element, refresh, stop: () => timer && clearInterval(timer) };
}
