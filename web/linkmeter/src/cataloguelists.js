// Lists the page takes from the command catalogue's rules (the build's
// "catalogue-rules") instead of keeping copies: the settings blocks shown as
// forms, with the keys a form leaves to the command itself, and the radio
// surveys a technician may pick (the first is the usual one).

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
