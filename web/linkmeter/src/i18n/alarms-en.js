// English texts of the monitor's alarms: History's timeline of a site and
// the header's mark of the alarms firing.
export default {
  'alarms.firing': '{count} alarms firing',
  'alarms.firingOne': '1 alarm firing',
  'alarms.badgeTitle': 'From the unattended monitor, in the site records:\n{list}',
  'history.alarms.title': 'Alarms from the monitor',
  'history.alarms.none': 'The monitor raised no alarm for this site in the last 30 days.',
  'history.alarms.count': '{count} alarms in the last 30 days, {firing} still firing.',
  'history.alarms.failed': 'The alarms could not be read: {msg}',
  'history.alarms.started': 'Raised',
  'history.alarms.ended': 'Resolved',
  'history.alarms.alarm': 'Alarm',
  'history.alarms.state': 'State',
  'history.alarms.summary': 'What',
  'history.alarms.state.firing': 'firing',
  'history.alarms.state.resolved': 'resolved',
  'history.alarms.acked': 'acknowledged',
  'history.alarms.flapping': 'flapping',
  'history.alarms.rule.degraded-hop': 'degraded link',
  'history.alarms.rule.silent-unit': 'silent unit',
  'history.alarms.rule.silent-repeater': 'silent repeater',
  'history.alarms.rule.low-battery': 'low battery',
};
