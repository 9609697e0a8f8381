// linkmeter-cli log: the base unit's event log (ELOGS) as the page's event
// log view reads it, newest first; kept in the site records.
#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/SiteRecorder.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitSession.h"

#include <algorithm>
#include <ctime>

namespace linkmeter::cli {
namespace {

std::string Check(const ParsedArgs& args) {
  if (auto m = args.Get("--mode"); m && !ParseCount(*m, 0, 255)) return "--mode takes a number from 0 to 255";
  if (!args.positionals.empty()) return "unexpected argument: " + args.positionals.front();
  return "";
}

// The unit's own local time: seconds already shifted to its zone.
std::string LogTime(const lm::json::Value& v) {
  if (!v.is<double>()) return NumberText(v);
  std::time_t t = static_cast<std::time_t>(v.get<double>());
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) return NumberText(v);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

int Run(CommandContext& ctx) {
  int status = kExitOk;
  auto session = UnitSession::Open(ctx, status);
  if (!session) return status;
  const long mode = ParseCount(ctx.args.Get("--mode").value_or("0"), 0, 255).value_or(0);
  ctx.progress.Step(0, 1, "reading the event log…");
  PageAnswer answer = ctx.page.Command(
      "ELOGS", lm::json::Object{{"comInfo", session->Unit().ComInfo()}, {"MODE", lm::json::Number(static_cast<int>(mode))}});
  ctx.progress.Finish();
  if (!answer.ok) return session->Finish(Fail(ctx.err, kExitFailed, "the event log could not be read: " + FailureText(answer)));
  session->Recorder().Answer("ELOGS", answer.value, SerialNumber(session->Unit().Serial()), NowMs());
  lm::json::Array logs;
  if (answer.value.contains("logs") && answer.value.get("logs").is<lm::json::Array>()) logs = answer.value.get("logs").get<lm::json::Array>();
  auto utc = [](const lm::json::Value& l) {
    const lm::json::Value& u = l.is<lm::json::Object>() && l.contains("utctime") ? l.get("utctime") : lm::json::Value();
    return u.is<double>() ? u.get<double>() : -1e300;
  };
  std::stable_sort(logs.begin(), logs.end(), [&](const auto& a, const auto& b) { return utc(a) > utc(b); });
  Table table{{"time", "utc", "category", "number", "text"}, {}};
  for (const auto& l : logs) {
    table.rows.push_back({LogTime(l.is<lm::json::Object>() && l.contains("localtime") ? l.get("localtime") : lm::json::Value()),
                          MemberText(l, "utctime"), MemberText(l, "category"), MemberText(l, "number"),
                          MemberText(l, "str")});
  }
  ctx.output.Write(table, lm::json::MakeObject({{"baseUnit", lm::json::String(session->Unit().Serial())},
                                                {"answer", WithoutComInfo(answer.value)}}));
  return session->Finish(kExitOk);
}

}  // namespace

Subcommand LogCommand() {
  return {"log",
          "the base unit's event log",
          "log [--unit U] [--mode N] [--no-record] [--format table|csv|json]",
          "Reads the base unit's event log (ELOGS, MODE N, default 0), newest first: the unit's\n"
          "local time, the UTC seconds, category, number and text.\n",
          {kUnitOptions[0], kUnitOptions[1], kRecordOptions[0], {"--mode", true}},
          Check,
          Run};
}

}  // namespace linkmeter::cli
