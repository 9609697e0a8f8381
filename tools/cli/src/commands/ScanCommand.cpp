// linkmeter-cli scan: the level the base unit hears on each channel over N
// rounds, measured a few channels per call as the page's channel view
// measures, tallied and ranked by the page's own modules; every round kept
// in the site records.
#include <set>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/SiteCommandStart.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/SiteRegistration.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitSession.h"
#include "lm/SiteLimits.h"

namespace linkmeter::cli {
namespace {

using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

constexpr size_t kChunk = 8;  // channels per measuring call: progress and stop act between calls

std::optional<Value> Channels(SiteLogic& logic, const ParsedArgs& args, std::string& error) {
  auto list = logic.Call("parseChannels", {lm::json::String(args.Get("--channels").value_or("0-39"))}, &error);
  if (!list || !list->is<Array>() || list->get<Array>().empty()) {
    if (error.empty()) error = "no channel given";
    return std::nullopt;
  }
  return list;
}

std::string Check(const ParsedArgs& args) {
  if (auto n = args.Get("--rounds"); n && !ParseCount(*n, lm::site::kScanRoundsMin, lm::site::kScanRoundsMax)) {
    return "--rounds takes a whole number from " + std::to_string(lm::site::kScanRoundsMin) + " to " +
           std::to_string(lm::site::kScanRoundsMax);
  }
  if (!args.positionals.empty()) return "unexpected argument: " + args.positionals.front();
  return "";
}

struct ScanRun {
  Array rounds;  // per round, the readings [{freq, level}]
  bool cutOff = false;
  std::string error;
};

// The channel view's measuring, run by the page's flow (cliflows.js scan());
// the page's recorder keeps each round as it ends.
ScanRun Measure(CommandContext& ctx, UnitSession& session, const Array& channels, long rounds) {
  ScanRun scan;
  std::string error;
  auto done = session.Flows().Run(
      "scan",
      {lm::json::MakeObject({{"comInfo", session.Unit().ComInfo()}, {"channels", Value(channels)},
                             {"rounds", lm::json::Number(static_cast<double>(rounds))},
                             {"chunk", lm::json::Number(static_cast<double>(kChunk))}})},
      &error, ctx.stop);
  if (!done) {
    scan.error = error;
    return scan;
  }
  if (done->get("rounds").is<Array>()) scan.rounds = done->get("rounds").get<Array>();
  scan.cutOff = done->get("cutOff").is<bool>() && done->get("cutOff").get<bool>();
  if (scan.cutOff) scan.error = FailureText(PageAnswer{false, done->get("failure"), 0});
  return scan;
}

void Report(CommandContext& ctx, UnitSession& session, const Value& result, const ScanRun& scan, const Value& regInfo,
            const Array& channels) {
  const Value& rec = result.get("recommendation");
  std::set<std::string> recommended;
  std::string list;
  for (const auto& c : rec.get("channels").get<Array>()) {
    recommended.insert(NumberText(c));
    list += (list.empty() ? "" : ", ") + NumberText(c);
  }
  Table table{{"channel", "samples", "mean", "max", "last", "in use", "recommended"}, {}};
  for (const auto& c : result.get("channels").get<Array>()) {
    table.rows.push_back({MemberText(c, "freq"), MemberText(c, "n"), MemberText(c, "mean"), MemberText(c, "max"),
                          MemberText(c, "last"), MemberText(c, "inUse") == "true" ? "yes" : "",
                          recommended.count(MemberText(c, "freq")) ? "yes" : ""});
  }
  std::vector<std::string> notes{
      "", "quietest channels the site does not use: " + (list.empty() ? std::string("none") : list) + " (" +
              MemberText(rec, "samples") + " samples each, " + MemberText(result, "rounds") + " whole rounds" +
              (scan.cutOff ? ", the last cut off: " + scan.error : "") + ")"};
  Value json = lm::json::MakeObject(
      {{"baseUnit", lm::json::MakeObject({{"serial", lm::json::String(session.Unit().Serial())},
                                          {"name", lm::json::String(session.Unit().Name())}})},
       {"channels", Value(channels)}, {"registration", regInfo}, {"rounds", Value(scan.rounds)},
       {"cutOff", lm::json::Bool(scan.cutOff)}, {"error", lm::json::String(scan.error)}, {"scan", result}});
  ctx.output.Write(table, json, notes);
}

int Run(CommandContext& ctx) {
  SiteCommandStart start(ctx);
  if (start.Status() != kExitOk) return start.Status();
  SiteLogic& logic = start.Logic();
  std::string error;
  // The channels are read by the site logic, the run's one context: a
  // usage error still, before any unit is reached.
  auto channels = Channels(logic, ctx.args, error);
  if (!channels) {
    return UsageError(ctx.err, ScanCommand(), "--channels takes channels 0..255 like \"5, 12, 20-25\" (" + error + ")");
  }
  const long rounds = ParseCount(ctx.args.Get("--rounds").value_or(std::to_string(lm::site::kScanRoundsDefault)),
                                lm::site::kScanRoundsMin, lm::site::kScanRoundsMax)
                         .value_or(lm::site::kScanRoundsDefault);
  int status = kExitOk;
  auto session = UnitSession::Open(ctx, status);
  if (!session) return status;
  // The site's own channels are never recommended: they come from its registration.
  auto regInfo = SiteRegistration(ctx.page, session->Unit(), session->Flows(), ctx.args.Get("--registration"), error);
  if (!regInfo) ctx.progress.Line("warning: " + error + "; the site's own channels are not known");
  const Array& list = channels->get<Array>();
  ScanRun scan = Measure(ctx, *session, list, rounds);
  if (scan.rounds.empty()) return session->Finish(Fail(ctx.err, kExitFailed, "the scan failed: " + scan.error));
  auto result = logic.Call("channelScan", {regInfo.value_or(Value()), Value(scan.rounds),
                                           lm::json::MakeObject({{"cutOff", lm::json::Bool(scan.cutOff)}})},
                           &error);
  if (!result) return session->Finish(Fail(ctx.err, kExitFailed, "the scan could not be ranked: " + error));
  Report(ctx, *session, *result, scan, regInfo.value_or(Value()), list);
  if (scan.cutOff) ctx.err << "linkmeter-cli: scan cut short: " << scan.error << "\n";
  return session->Finish(scan.cutOff ? kExitPartly : kExitOk);
}

}  // namespace

Subcommand ScanCommand() {
  return {"scan",
          "channel levels and the recommendation",
          "scan [--unit U] [--channels 0-39] [--rounds N] [--registration FILE] [--no-record]\n"
          "                   [--format table|csv|json]",
          "Measures the level the base unit hears on each channel (default 0-39), N rounds\n"
          "(default " + std::to_string(lm::site::kScanRoundsDefault) + ", at most " +
              std::to_string(lm::site::kScanRoundsMax) + "), and recommends the three quietest channels the site does\n"
          "not already use: the lowest maximum seen, then the lowest mean. JSON carries every\n"
          "round's readings. Exit status 5 when the scan was cut short.\n",
          {kUnitOptions[0], kUnitOptions[1], kRecordOptions[0], {"--channels", true}, {"--rounds", true},
           kRegistrationOption},
          Check,
          Run};
}

}  // namespace linkmeter::cli
