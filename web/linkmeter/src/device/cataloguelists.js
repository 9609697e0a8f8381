// Lists the page takes from the command catalogue's rules (the build's
// "catalogue-rules") instead of keeping copies: the settings blocks shown as
// forms, with the keys a form leaves to the command itself, the radio
// surveys a technician may pick (the first is the usual one), and the keys
// whose values are secrets.

// [{id, read, write[, skip]}] in the order the forms show.
export function settingsBlocks(rules) {
  const commands = rules.commands || {};
  return (rules.blocks || [])
    .filter((b) => b.form && commands[b.read] && commands[b.write])
    .map((b) => {
      const block = { id: b.name, read: b.read, write: b.write };
      const skip = commands[b.write].args.filter((a) => a.sent === false).map((a) => a.key);
      return skip.length ? { ...block, skip } : block;
    });
}

// ['EWLEX', …]: the surveys the catalogue has a row for.
export function surveyCommands(rules) {
  const commands = rules.commands || {};
  return (rules.surveys || []).filter((m) => commands[m]);
}

// ['PW', …]: the keys the catalogue marks secret (passwords, keys), sorted.
// A read answers a block's values under the keys its write takes.
export function secretKeys(rules) {
  const keys = new Set();
  for (const command of Object.values(rules.commands || {})) {
    for (const arg of command.args || []) if (arg.secret) keys.add(arg.key);
  }
  return [...keys].sort();
}
