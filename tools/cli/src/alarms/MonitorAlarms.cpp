#include "linkmeter/cli/alarms/MonitorAlarms.h"

#include <cctype>
#include <cstdio>
#include <ostream>
#include <utility>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/Subcommand.h"
#include "lm/monitor/config/MonitorConfig.h"
#include "lm/records/AlarmLedger.h"

namespace linkmeter::cli::alarms {

using lm::monitor::AlarmMonitor;
using lm::monitor::AlarmSettings;
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

namespace {

bool EightHex(const std::string& text) { return lm::monitor::SerialNumberOf(text).has_value(); }

// The site a test notice names, as real alarms name it: the base unit's
// serial as "site" and its name beside it. --unit may give either; a name
// is looked up among the sites the records know, a serial stands alone.
std::pair<std::string, std::string> TestSite(CommandContext& ctx) {
  std::string unit = ctx.args.Get("--unit").value_or("");
  if (EightHex(unit)) {
    for (char& c : unit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return {unit, ""};
  }
  PageAnswer sites = ctx.record() ? ctx.page.Query("LmRecordsListSites", lm::json::Value(lm::json::Object()))
                                  : PageAnswer{};
  if (sites.ok && sites.value.is<lm::json::Array>()) {
    for (const lm::json::Value& site : sites.value.get<lm::json::Array>()) {
      const lm::json::Value& serial = lm::json::Member(site, "serial");
      if (MemberText(site, "name") != unit || !serial.is<double>()) continue;
      char hex[16];
      std::snprintf(hex, sizeof hex, "%08llX", static_cast<unsigned long long>(serial.get<double>()));
      return {hex, unit};
    }
  }
  return {"", unit};
}

}  // namespace

std::optional<int> RunConfigAction(CommandContext& ctx) {
  if (!ctx.args.Has("--check-config") && !ctx.args.Has("--test-alarm")) return std::nullopt;
  std::string problem;
  const auto settings = ReadAlarmSettings(Values(ctx.args), problem);
  if (!settings) return Fail(ctx.err, kExitUsage, problem);
  std::ostream& out = ctx.output.Stream();
  if (ctx.args.Has("--check-config")) {
    out << "configuration ok: unit " << ctx.args.Get("--unit").value_or("?") << ", channels: " << ChannelsText(*settings)
        << ", kept: every probe " << settings->retention.probes.count() / 24 << " days, hop statistics "
        << settings->retention.hops.count() / 24 << " days\n";
    return kExitOk;
  }
  if (MakeChannels(*settings).empty()) {
    return Fail(ctx.err, kExitUsage, "no channel to test: give --webhook or --mail-to with --smtp");
  }
  const auto [site, name] = TestSite(ctx);
  return lm::monitor::SendTestNotices(*settings, site, name, out) ? kExitOk : kExitFailed;
}

std::optional<AlarmSettings> ReadSettings(CommandContext& ctx, SiteLogic& logic, int& status) {
  std::string problem;
  auto settings = ReadAlarmSettings(Values(ctx.args), problem);
  if (!settings) return status = Fail(ctx.err, kExitUsage, problem), std::nullopt;
  std::string why;
  if (auto th = logic.Call("defaultThresholds", {}, &why)) lm::monitor::TakeThresholds(settings->rules, *th);
  return settings;
}

std::unique_ptr<AlarmMonitor> StartAlarms(CommandContext& ctx, const AlarmSettings& settings,
                                          const std::string& storeFile, int& status) {
  try {
    auto ledger = std::make_unique<lm::records::AlarmLedger>(storeFile);
    auto monitor = std::make_unique<AlarmMonitor>(settings, std::move(ledger), ctx.output.Stream(), ctx.err);
    monitor->Start();
    return monitor;
  } catch (const std::exception& e) {
    status = Fail(ctx.err, kExitRecords, std::string("the site records cannot hold the alarms: ") + e.what());
    return nullptr;
  }
}

}  // namespace linkmeter::cli::alarms
