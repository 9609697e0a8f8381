#pragma once
// What `linkmeter-cli monitor` adds for alarms: its configuration file
// merged with its options and checked, --check-config and --test-alarm,
// and the alarms of a run started on the site records the run writes to.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "linkmeter/cli/ArgParser.h"
#include "lm/monitor/AlarmMonitor.h"

namespace linkmeter::cli {
struct CommandContext;
class SiteLogic;
}  // namespace linkmeter::cli

namespace linkmeter::cli::alarms {

// The monitor's options besides those of every subcommand, for its table.
std::vector<OptionRule> MonitorConfigOptions();

// The configuration file's settings under the options given (MonitorConfig.h).
std::string MergeConfig(const ParsedArgs& args, ParsedArgs& merged);

// The alarm settings of merged options: "" or the first fault.
std::string CheckAlarmOptions(const ParsedArgs& merged);

// --check-config (a summary, status 0) or --test-alarm (one test notice per
// channel; 0 when every channel took it, 1 when one did not, 2 with none
// configured); nullopt for an ordinary run.
std::optional<int> RunConfigAction(CommandContext& ctx);

// The settings of a run (alarms, channels, team sync) with the page's
// boundaries; nullopt with `status` set (and said on ctx.err).
std::optional<lm::monitor::AlarmSettings> ReadSettings(CommandContext& ctx, SiteLogic& logic, int& status);

// The alarms of a run on the site records in `storeFile` ("": kept in
// memory only, for --no-record), delivering what a previous run left;
// nullptr with `status` set when the records cannot hold them.
std::unique_ptr<lm::monitor::AlarmMonitor> StartAlarms(CommandContext& ctx, const lm::monitor::AlarmSettings& settings,
                                                       const std::string& storeFile, int& status);

}  // namespace linkmeter::cli::alarms
