// History's alarm timeline: what the unattended monitor raised for the
// site on the tab in the last 30 days (linkmeter.records.alarmTimeline),
// each alarm with its start, end, acknowledgement and flapping mark.
import { h, fill, timeText } from '../ui/dom.js';
import { t } from '../i18n/i18n.js';
import { alarmRows } from '../records/alarmlist.js';
import '../i18n/alarmtexts.js';

const stateOf = (row) => (row.endedAt === null ? 'firing' : 'resolved');

export class AlarmTimeline {
  constructor(records) {
    this.records = records;
    this.status = h('p', { id: 'history-alarms-status', class: 'dim', dataset: { state: 'idle' } });
    this.rows = h('tbody', { id: 'history-alarms' });
  }

  say(state, text) {
    this.status.dataset.state = state;
    this.status.textContent = text;
  }

  // The site's alarms; a store without the monitor's tables or a failed
  // read says so on its own line and leaves the rest of History alone.
  async load(site) {
    fill(this.rows);
    let events;
    try {
      events = await this.records.alarmTimeline({ serial: site.serial });
    } catch (e) {
      this.say('failed', t('history.alarms.failed', { msg: (e && e.message) || String(e) }));
      return;
    }
    const rows = alarmRows(events);
    fill(this.rows, rows.map((row) => this.row(row)));
    const firing = rows.filter((r) => r.endedAt === null).length;
    if (rows.length) this.say('ready', t('history.alarms.count', { count: rows.length, firing }));
    else this.say('empty', t('history.alarms.none'));
  }

  row(row) {
    const marks = [row.ackedAt !== null ? t('history.alarms.acked') : '', row.flapping ? t('history.alarms.flapping') : ''].filter(Boolean);
    return h('tr', { test: 'history-alarm', dataset: { key: row.key, state: stateOf(row), acked: String(row.ackedAt !== null), flapping: String(row.flapping) } },
      h('td', { class: 'mono', text: timeText(new Date(row.startedAt)) }),
      h('td', { class: 'mono', text: row.endedAt === null ? '' : timeText(new Date(row.endedAt)) }),
      h('td', { text: [t('history.alarms.state.' + stateOf(row)), ...marks].join(', ') }),
      h('td', { text: t('history.alarms.rule.' + row.rule) }),
      h('td', { text: row.summary }));
  }

  element() {
    const heads = ['history.alarms.started', 'history.alarms.ended', 'history.alarms.state', 'history.alarms.alarm', 'history.alarms.summary'];
    return h('div', { id: 'history-alarms-box' },
      h('h3', { text: t('history.alarms.title') }),
      this.status,
      h('table', { class: 'list', id: 'history-alarm-table' }, h('thead', {}, h('tr', {}, heads.map((k) => h('th', { text: t(k) })))), this.rows));
  }
}
