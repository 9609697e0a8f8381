#include "linkmeter/cli/alarms/MonitorAlarms.h"

#include <ostream>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/Subcommand.h"
#include "lm/monitor/config/MonitorConfig.h"
#include "lm/records/AlarmLedger.h"

namespace linkmeter::cli::alarms {

using lm::monitor::AlarmMonitor;
using lm::monitor::ChannelsText;
using lm::monitor::MakeChannels;
using lm::monitor::ReadAlarmSettings;

namespace {

lm::monitor::OptionValues Values(const ParsedArgs& args) { return {args.values}; }

}  // namespace

std::vector<OptionRule> MonitorConfigOptions() {
  std::vector<OptionRule> rules{{"--config", true, true}, {"--check-config", false}, {"--test-alarm", false}};
  for (const lm::monitor::ConfigKey& k : lm::monitor::MonitorConfigKeys()) {
    // These four the monitor already takes.
    if (k.option == "--every" || k.option == "--probes" || k.option == "--registration" || k.option == "--password-file") continue;
    rules.push_back({k.option, !k.flag, k.option == "--smtp-credentials"});
  }
  return rules;
}

std::string MergeConfig(const ParsedArgs& args, ParsedArgs& merged) {
  lm::monitor::OptionValues values;
  const std::string why = lm::monitor::MergeConfig(Values(args), values);
  merged = args;
  merged.values = values.values;
  return why;
}

std::string CheckAlarmOptions(const ParsedArgs& merged) {
  std::string problem;
  ReadAlarmSettings(Values(merged), problem);
  return problem;
}

std::optional<int> RunConfigAction(CommandContext& ctx) {
  if (!ctx.args.Has("--check-config") && !ctx.args.Has("--test-alarm")) return std::nullopt;
  std::string problem;
  const auto settings = ReadAlarmSettings(Values(ctx.args), problem);
  if (!settings) return Fail(ctx.err, kExitUsage, problem);
  std::ostream& out = ctx.output.Stream();
  if (ctx.args.Has("--check-config")) {
    out << "configuration ok: unit " << ctx.args.Get("--unit").value_or("?") << ", channels: " << ChannelsText(*settings)
        << "\n";
    return kExitOk;
  }
  if (MakeChannels(*settings).empty()) {
    return Fail(ctx.err, kExitUsage, "no channel to test: give --webhook or --mail-to with --smtp");
  }
  return lm::monitor::SendTestNotices(*settings, ctx.args.Get("--unit").value_or(""), out) ? kExitOk : kExitFailed;
}

std::unique_ptr<AlarmMonitor> StartAlarms(CommandContext& ctx, SiteLogic& logic, int& status) {
  std::string problem;
  auto settings = ReadAlarmSettings(Values(ctx.args), problem);
  if (!settings) return status = Fail(ctx.err, kExitUsage, problem), nullptr;
  std::string why;
  if (auto th = logic.Call("defaultThresholds", {}, &why)) lm::monitor::TakeThresholds(settings->rules, *th);
  std::string file;
  if (ctx.record()) {
    PageAnswer records = ctx.page.Query("LmRecordsStatus", lm::json::Value(lm::json::Object()));
    file = records.ok ? MemberText(records.value, "path") : "";
    if (file.empty()) return status = Fail(ctx.err, kExitRecords, "the site records cannot hold the alarms"), nullptr;
  }
  try {
    auto ledger = std::make_unique<lm::records::AlarmLedger>(file);
    ctx.err << "linkmeter-cli: alarms: " << ChannelsText(*settings) << "\n";
    auto monitor = std::make_unique<AlarmMonitor>(*settings, std::move(ledger), ctx.output.Stream(), ctx.err);
    monitor->Start();
    return monitor;
  } catch (const std::exception& e) {
    status = Fail(ctx.err, kExitRecords, std::string("the site records cannot hold the alarms: ") + e.what());
    return nullptr;
  }
}

}  // namespace linkmeter::cli::alarms
