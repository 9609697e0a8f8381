// English texts of the team records in History: the sync with the team
// server, who sent each visit, and competing versions of a visit's fields.
export default {
  'history.sync.server': 'Team server',
  'history.sync.serverHint': 'service name or postgresql:// address',
  'history.sync.now': 'Sync now',
  'history.sync.starting': 'Connecting to the team server…',
  'history.sync.running': 'Syncing… {done} of {total} visits',
  'history.sync.done': 'Synced as {user}: {sent} visits sent, {fetched} fetched.',
  'history.sync.setAside': 'Synced as {user}: {sent} visits sent, {fetched} fetched; {count} set aside, left for the team server\'s administrator:',
  'history.sync.setAsideVisit': 'Visit {visit}…: {reason}.',
  'history.sync.setAsideRow': 'Visit {visit}…: {reason}. The server\'s row: {row}.',
  'history.sync.password': 'The team server name carries a password: it is not used or kept. Keep the password in ~/.pgpass and enter the name without it.',
  'history.sync.demo': "The demo site's records are made up: they are not sent to a team server.",
  'history.sync.noServer': 'Enter the team server first (a service name or a postgresql:// address).',
  'history.sync.failed': 'The sync stopped: {msg} What was synced before stays; the next sync goes on from there.',
  'history.author': 'Sent by',
  'history.author.local': 'not sent yet',
  'history.synced': 'Synced',
  'history.synced.yes': 'yes',
  'history.synced.no': 'no',
  'history.versions': '{count} versions of these fields; choose one:',
  'history.versions.use': 'Use this',
};
