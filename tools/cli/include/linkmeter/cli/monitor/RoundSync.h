#pragma once
// The monitor's sync with the team server after each survey round, when one
// is configured (--sync-server, or sync_server in the configuration file),
// so the office sees a watched site within a round. A server that is down
// is a line on standard error, never a stop: the next round tries again.

#include <optional>
#include <string>

#include "linkmeter/cli/Subcommand.h"

namespace linkmeter::cli::monitor {

class RoundSync {
 public:
  explicit RoundSync(CommandContext& ctx);

  // Syncs the site's visits (its base unit's serial in hex); nothing when no
  // server is configured.
  void AfterRound(const std::string& siteSerial);

 private:
  CommandContext& ctx_;
  std::optional<std::string> server_;
};

}  // namespace linkmeter::cli::monitor
