// linkmeter-cli log: the base unit's event log (ELOGS) as the page's event
// log view reads it, newest first; kept in the site records.
#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/AnswerFilters.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitSession.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

namespace linkmeter::cli {
namespace {

std::string Check(const ParsedArgs& args) {
  if (auto m = args.Get("--mode"); m && !ParseCount(*m, 0, 255)) return "--mode takes a number from 0 to 255";
  if (!args.positionals.empty()) return "unexpected argument: " + args.positionals.front();
  return "";
}

std::optional<std::time_t> Seconds(const lm::json::Value& v) {
  if (!v.is<double>()) return std::nullopt;
  return static_cast<std::time_t>(v.get<double>());
}

std::string DateText(const std::tm& tm) {
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

// The record's UTC time in this computer's time zone.
std::string ComputerTime(const lm::json::Value& utc) {
  std::tm tm{};
  auto t = Seconds(utc);
  return t && localtime_r(&*t, &tm) ? DateText(tm) : NumberText(utc);
}

// The unit's own local time: seconds already shifted to its zone.
std::string UnitTime(const lm::json::Value& local) {
  std::tm tm{};
  auto t = Seconds(local);
  return t && gmtime_r(&*t, &tm) ? DateText(tm) : NumberText(local);
}

// "UTC+09:00": how far the unit's clock is set from UTC.
std::string UnitOffset(const lm::json::Value& utc, const lm::json::Value& local) {
  auto u = Seconds(utc);
  auto l = Seconds(local);
  if (!u || !l) return "";
  const long long minutes = (static_cast<long long>(*l) - static_cast<long long>(*u)) / 60;
  const long long m = minutes < 0 ? -minutes : minutes;
  char buf[24];
  std::snprintf(buf, sizeof buf, "UTC%c%02lld:%02lld", minutes < 0 ? '-' : '+', m / 60, m % 60);
  return buf;
}

const lm::json::Value& Member(const lm::json::Value& l, const char* name) {
  static const lm::json::Value none;
  return l.is<lm::json::Object>() && l.contains(name) ? l.get(name) : none;
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
  lm::json::Array logs;
  if (answer.value.contains("logs") && answer.value.get("logs").is<lm::json::Array>()) logs = answer.value.get("logs").get<lm::json::Array>();
  auto utc = [](const lm::json::Value& l) {
    const lm::json::Value& u = Member(l, "utctime");
    return u.is<double>() ? u.get<double>() : -1e300;
  };
  std::stable_sort(logs.begin(), logs.end(), [&](const auto& a, const auto& b) { return utc(a) > utc(b); });
  Table table{{"time (this computer)", "unit local time", "unit utc offset", "utc", "category", "number", "text"}, {}};
  for (const auto& l : logs) {
    const lm::json::Value& u = Member(l, "utctime");
    const lm::json::Value& local = Member(l, "localtime");
    table.rows.push_back({ComputerTime(u), UnitTime(local), UnitOffset(u, local), MemberText(l, "utctime"),
                          MemberText(l, "category"), MemberText(l, "number"), MemberText(l, "str")});
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
          "Reads the base unit's event log (ELOGS, MODE N, default 0), newest first: the time in\n"
          "this computer's time zone, the unit's own local time and its offset from UTC, the UTC\n"
          "seconds, category, number and text.\n",
          {kUnitOptions[0], kUnitOptions[1], kRecordOptions[0], {"--mode", true}},
          Check,
          Run};
}

}  // namespace linkmeter::cli
