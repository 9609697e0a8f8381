// linkmeter-cli monitor: a whole-site survey of one base unit on a
// schedule, for a computer left at the site; one log line per survey on
// standard output, until SIGTERM or SIGINT.
#include <csignal>
#include <ostream>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/ProbeCount.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/VisitJoining.h"
#include "linkmeter/cli/alarms/MonitorAlarms.h"
#include "lm/monitor/config/Duration.h"
#include "lm/monitor/loop/MonitorLoop.h"
#include "linkmeter/cli/monitor/SiteMonitor.h"
#include "lm/monitor/loop/StopSignals.h"
#include "lm/monitor/service/MonitorRun.h"
#include "lm/monitor/service/ServiceNotifier.h"
#include "lm/monitor/retention/RetentionKeeper.h"
#include "lm/monitor/sync/TeamSyncWorker.h"

namespace linkmeter::cli {
namespace {

using lm::monitor::ParseDuration;


std::string Check(const ParsedArgs& args) {
  if (!args.Has("--unit")) return "--unit is required: the monitor watches one base unit";
  if (auto every = args.Get("--every"); every && !ParseDuration(*every)) {
    return "--every takes a duration from 1s to 7d such as 30s, 5m, 1h or 1h30m";
  }
  if (auto n = args.Get("--probes"); n && !ParseCount(*n, 1, kMaxProbesPerRoute)) {
    return "--probes takes a whole number from 1 to " + std::to_string(kMaxProbesPerRoute);
  }
  if (auto f = args.Get("--format"); f && *f != "table") return "the monitor writes log lines; --format is not taken";
  if (auto l = args.Get("--round-limit"); l && !ParseDuration(*l)) return "--round-limit takes a duration such as 30m or 2h";
  if (!args.positionals.empty()) return "unexpected argument: " + args.positionals.front();
  return "";
}

// The store opened before the first survey, so a folder that cannot be
// written is said at once rather than after a night of surveys.
bool RecordsUsable(CommandContext& ctx) {
  PageAnswer status = ctx.page.Query("LmRecordsStatus", lm::json::Value(lm::json::Object()));
  if (!status.ok) return Fail(ctx.err, kExitRecords, "the site records cannot be opened: " + FailureText(status)), false;
  const std::string message = MemberText(status.value, "message");
  ctx.err << "linkmeter-cli: site records in " << MemberText(status.value, "path") << "\n";
  if (!message.empty()) ctx.err << "linkmeter-cli: " << message << "\n";
  return true;
}

// The store's file, "" without records (--no-record: alarms in memory).
bool StoreFile(CommandContext& ctx, std::string& file) {
  file.clear();
  if (!ctx.record()) return true;
  PageAnswer records = ctx.page.Query("LmRecordsStatus", lm::json::Value(lm::json::Object()));
  file = records.ok ? MemberText(records.value, "path") : "";
  return !file.empty();
}

std::string StoppedLine(int signal, const lm::monitor::MonitorTotals& totals, bool syncLeft) {
  return std::string("linkmeter-cli: monitor stopped") + (signal == SIGINT ? " by SIGINT" : " by SIGTERM") +
         (totals.stoppedInSurvey ? " during a survey" : "") + " after " + std::to_string(totals.surveys) +
         " surveys and " + std::to_string(totals.failures) + " failed tries" +
         (syncLeft ? "; a team sync still waiting on the server was left (the next start goes on)" : "") + "\n";
}

int Run(CommandContext& ctx) {
  // A stop from here on ends the run with status 0, never by the signal.
  lm::monitor::CancelToken stop;
  lm::monitor::StopSignals signals(stop);
  ctx.stop = &stop.Flag();
  SiteLogic& logic = *ctx.logic;
  if (!logic.Ready()) return Fail(ctx.err, kExitFailed, "the site logic did not load: " + logic.LoadError());
  if (ctx.record() && !RecordsUsable(ctx)) return kExitRecords;
  int status = kExitOk;
  auto settings = alarms::ReadSettings(ctx, logic, status);
  if (!settings) return status;
  std::string store;
  if (!StoreFile(ctx, store)) return Fail(ctx.err, kExitRecords, "the site records cannot hold the alarms");

  lm::monitor::MonitorPlan plan;
  plan.unit = *ctx.args.Get("--unit");
  plan.every = ParseDuration(ctx.args.Get("--every").value_or("1h")).value_or(std::chrono::hours(1));
  const auto probes = ProbesPerRoute(ctx.args, logic);
  if (!probes) return Fail(ctx.err, kExitFailed, "the site logic gives no default probe count");
  monitor::SiteMonitor site(ctx, logic, *probes);
  auto alarms = alarms::StartAlarms(ctx, *settings, store, status);
  if (!alarms) return status;
  ctx.err << "linkmeter-cli: alarms: " << lm::monitor::ChannelsText(*settings) << "\n";
  std::unique_ptr<lm::monitor::TeamSyncWorker> sync;
  if (settings->sync && !store.empty()) sync = std::make_unique<lm::monitor::TeamSyncWorker>(*settings->sync, store, ctx.err);
  lm::monitor::SystemMonitorClock clock;
  lm::monitor::ServiceNotifier notifier;
  lm::monitor::MonitorParts parts{plan, clock, [&](lm::monitor::CancelToken& t) { return site.Survey(t); },
                                  ctx.output.Stream(), alarms.get(), sync.get(), &notifier};
  if (auto limit = ctx.args.Get("--round-limit")) parts.roundLimit = *ParseDuration(*limit);
  // Without a team server nothing waits to be sent: a visit never sent may
  // be thinned. With one, only what it holds whole.
  std::unique_ptr<lm::monitor::RetentionKeeper> retention;
  if (ctx.record() && !store.empty()) {
    retention = std::make_unique<lm::monitor::RetentionKeeper>(
        store, settings->retention, lm::records::ThinningScope{0, kMonitorTechnician, settings->monitor, !settings->sync},
        ctx.output.Stream());
  }
  parts.retention = retention.get();
  const lm::monitor::MonitorTotals totals = lm::monitor::RunMonitor(parts, stop);
  notifier.Stopping("stopping: keeping what was surveyed and the notices not yet sent");
  alarms->Stop();
  // The sync gets a moment; a server that does not answer keeps nothing here.
  const bool syncLeft = sync && sync->Stop(std::chrono::milliseconds(500));
  ctx.err << StoppedLine(signals.Received(), totals, syncLeft) << std::flush;
  return kExitOk;
}

// The configuration file's settings under the options given.
std::string CheckWithConfig(const ParsedArgs& args) {
  ParsedArgs merged;
  if (std::string why = alarms::MergeConfig(args, merged); !why.empty()) return why;
  if (std::string why = Check(merged); !why.empty()) return why;
  return alarms::CheckAlarmOptions(merged);
}

int RunWithConfig(CommandContext& ctx) {
  ParsedArgs merged;
  if (std::string why = alarms::MergeConfig(ctx.args, merged); !why.empty()) return Fail(ctx.err, kExitUsage, why);
  CommandContext configured{ctx.page, merged, ctx.output, ctx.err, ctx.progress, ctx.demoUnits, ctx.stop, ctx.flows,
                            ctx.logic, ctx.visits};
  if (auto status = alarms::RunConfigAction(configured)) return *status;
  return Run(configured);
}

std::vector<OptionRule> MonitorOptions() {
  std::vector<OptionRule> options{kUnitOptions[0], kUnitOptions[1], kRecordOptions[0], {"--every", true},
                                  {"--probes", true}, kRegistrationOption};
  for (const OptionRule& rule : alarms::MonitorConfigOptions()) options.push_back(rule);
  return options;
}

}  // namespace

Subcommand MonitorCommand() {
  return {"monitor",
          "unattended link monitoring: a whole-site survey on a schedule",
          "monitor --unit U [--every 1h] [--probes N] [--registration FILE] [--password-file FILE]\n"
          "                      [--no-record]",
          "Surveys every remote unit of the base unit's site every interval (default 1h; 30s, 5m,\n"
          "1h30m …), each with N probes (default 5, as the page's site survey), and keeps a day's\n"
          "surveys in the site records as one visit of its own. One line per survey on standard output:\n"
          "  TIME unit=U answered=N silent=N weakest=FROM>TO level=N duration=Ns record=ID\n"
          "A unit not found, a lost link or a silent remote unit never ends it: a failed try gives\n"
          "a line with failed=\"why\" and the next comes after 1s, 2s, 4s … up to the interval.\n"
          "--registration FILE takes the routes from a file for a base unit whose registration\n"
          "cannot be read. SIGTERM or SIGINT ends it between two probes (exit status 0). A file\n"
          "that cannot be read or a bad option ends it at once with exit status 2, before any visit.\n"
          "Alarms: --webhook URL, --mail-to ADDRESS --smtp URL, --metrics-file FILE, the rules'\n"
          "settings, or the same keys in --config FILE (default ~/.config/linkmeter/monitor-U.conf);\n"
          "--check-config checks them, --test-alarm sends a test notice (linkmeter-cli(1), ALARMS).\n",
          MonitorOptions(),
          CheckWithConfig,
          RunWithConfig};
}

}  // namespace linkmeter::cli
