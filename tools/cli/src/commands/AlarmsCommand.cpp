// linkmeter-cli alarms: what the monitor's rules raised, kept in the site
// records: the list, one alarm with its events, an acknowledgement, and a
// silence of a unit or a hop for a while.
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/SiteChoice.h"
#include "linkmeter/cli/SilenceSubject.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "lm/monitor/AlarmMonitor.h"
#include "lm/monitor/rules/WallTime.h"
#include "lm/monitor/config/Duration.h"
#include "lm/records/AlarmLedger.h"

namespace linkmeter::cli {
namespace {

using lm::json::MakeObject;
using lm::json::Number;
using lm::json::Value;
using lm::records::AlarmLedger;
using lm::records::AlarmRow;

std::string Check(const ParsedArgs& args) {
  const auto& w = args.positionals;
  if (w.empty()) return "say what to do: list, show ID, ack ID or silence (--unit U | --hop A-B) --for 2h";
  const std::string& what = w[0];
  if (what != "list" && what != "show" && what != "ack" && what != "silence") return "unknown alarms action: " + what;
  const size_t want = what == "show" || what == "ack" ? 2 : 1;
  if (w.size() < want) return what + " needs an alarm id";
  if (w.size() > want) return "unexpected argument: " + w[want];
  if (want == 2 && !ParseCount(w[1], 1, 1L << 52)) return what + " takes an alarm id (a whole number)";
  const bool silencing = what == "silence";
  if (!silencing && (args.Has("--unit") || args.Has("--hop") || args.Has("--for"))) return "--unit, --hop and --for go with silence";
  if (args.Has("--firing") && what != "list") return "--firing goes with list";
  if (!silencing) return "";
  if (args.Has("--unit") == args.Has("--hop")) return "silence takes --unit UNIT or --hop UNIT-UNIT";
  if (auto h = args.Get("--hop"); h && h->find('-') == std::string::npos) {
    return "--hop takes two units joined by '-' (00C80101-00BA0102)";
  }
  if (!args.Has("--for") || !lm::monitor::ParseDuration(*args.Get("--for"))) return "silence needs --for such as 30m, 2h or 1d (up to 7d)";
  return "";
}

// In this computer's time zone, named: an alarm is often read far from the
// site ("2026-12-09 15:00:00 JST").
std::string TimeText(std::optional<int64_t> ms) { return ms ? LocalTimeText(*ms, true) : ""; }

// What a raise's detail says, in words: the rounds that raised it and the
// units a silent repeater cut off.
std::vector<std::string> DetailLines(const std::string& detailJson) {
  std::vector<std::string> lines;
  auto detail = lm::json::Parse(detailJson);
  if (!detail) return lines;
  for (const Value& round : MemberArray(*detail, "evidence")) {
    const Value& at = lm::json::Member(round, "at");
    const Value& value = lm::json::Member(round, "value");
    if (!at.is<double>()) continue;
    std::string line = "raised by the round of " + TimeText(static_cast<int64_t>(at.get<double>()));
    if (value.is<double>() && value.get<double>() != 0) line += " (" + NumberText(value) + ")";
    lines.push_back(line);
  }
  std::string unreachable;
  for (const Value& u : MemberArray(*detail, "unreachable")) {
    if (u.is<std::string>()) unreachable += (unreachable.empty() ? "" : ", ") + u.get<std::string>();
  }
  if (!unreachable.empty()) lines.push_back("unreachable behind it: " + unreachable);
  return lines;
}

Value OptNumber(std::optional<int64_t> n) { return n ? Number(*n) : Value(); }

Value AlarmJson(const AlarmRow& a) {
  auto detail = lm::json::Parse(a.raised.detailJson);
  return MakeObject({{"id", Number(a.raised.id)}, {"key", Value(a.raised.key)}, {"site", Number(a.raised.siteSerial)},
                     {"startedAt", Number(a.raised.at)}, {"endedAt", OptNumber(a.endedAt)},
                     {"ackedAt", OptNumber(a.ackedAt)}, {"ackedBy", Value(a.ackedBy)},
                     {"summary", Value(a.raised.summary)}, {"detail", detail ? *detail : Value()}});
}

std::vector<std::string> AlarmCells(const AlarmRow& a) {
  return {std::to_string(a.raised.id), a.endedAt ? "resolved" : "firing", TimeText(a.raised.at), TimeText(a.endedAt),
          a.ackedAt ? "yes" : "", a.raised.key, a.raised.summary};
}

// The site --site names, none without it; false when it names none.
bool SiteOption(CommandContext& ctx, std::optional<int64_t>& site, int& status) {
  auto s = ctx.args.Get("--site");
  if (s) site = ChooseSite(ctx, *s, status);
  return !s || site;
}

int List(CommandContext& ctx, AlarmLedger& ledger) {
  std::optional<int64_t> site;
  if (int status = kExitOk; !SiteOption(ctx, site, status)) return status;
  Table table{{"id", "state", "started", "ended", "ack", "alarm", "summary"}, {}};
  lm::json::Array list;
  for (const AlarmRow& a : ledger.Alarms(site, ctx.args.Has("--firing"), 1000)) {
    table.rows.push_back(AlarmCells(a));
    list.push_back(AlarmJson(a));
  }
  ctx.output.Write(table, Value(list));
  return kExitOk;
}

int Show(CommandContext& ctx, AlarmLedger& ledger) {
  const int64_t id = *ParseCount(ctx.args.positionals[1], 1, 1L << 52);
  auto alarm = ledger.Alarm(id);
  if (!alarm) return Fail(ctx.err, kExitFailed, "no alarm " + std::to_string(id));
  Table table{{"event", "at", "summary"}, {}};
  lm::json::Array events;
  for (const auto& e : ledger.Events(id)) {
    table.rows.push_back({e.kind, TimeText(e.at), e.summary});
    auto detail = lm::json::Parse(e.detailJson);
    events.push_back(MakeObject({{"kind", Value(e.kind)}, {"at", Number(e.at)}, {"summary", Value(e.summary)},
                                 {"detail", detail ? *detail : Value()}}));
  }
  Value json = AlarmJson(*alarm);
  json.get<lm::json::Object>()["events"] = Value(events);
  std::vector<std::string> notes{"", "alarm " + std::to_string(id) + ": " + alarm->raised.key,
                                 alarm->raised.summary,
                                 std::string(alarm->endedAt ? "resolved " + TimeText(alarm->endedAt) : "firing") +
                                     (alarm->ackedAt ? ", acknowledged " + TimeText(alarm->ackedAt) +
                                                           (alarm->ackedBy.empty() ? "" : " by " + alarm->ackedBy)
                                                     : "")};
  for (const std::string& line : DetailLines(alarm->raised.detailJson)) notes.push_back(line);
  ctx.output.Write(table, json, notes);
  return kExitOk;
}

int Ack(CommandContext& ctx, AlarmLedger& ledger) {
  const int64_t id = *ParseCount(ctx.args.positionals[1], 1, 1L << 52);
  const char* user = std::getenv("USER");
  if (!ledger.Acknowledge(id, lm::monitor::WallNowMs(), user ? user : "")) return Fail(ctx.err, kExitFailed, "no alarm " + std::to_string(id));
  ctx.output.Write(Table{{"acknowledged"}, {{std::to_string(id)}}}, MakeObject({{"acknowledged", Number(id)}}));
  return kExitOk;
}

// The sites whose units a silence may name: the one of --site, else every
// site of the records.
std::vector<int64_t> SitesOf(CommandContext& ctx, std::optional<int64_t> site) {
  if (site) return {*site};
  std::vector<int64_t> sites;
  PageAnswer listed = ctx.page.Query("LmRecordsListSites", Value(lm::json::Object()));
  for (const auto& s : listed.ok && listed.value.is<lm::json::Array>() ? listed.value.get<lm::json::Array>() : lm::json::Array()) {
    if (MemberValue(s, "serial").is<double>()) sites.push_back(static_cast<int64_t>(MemberValue(s, "serial").get<double>()));
  }
  return sites;
}

int Silence(CommandContext& ctx, AlarmLedger& ledger) {
  lm::records::SilenceRow silence;
  if (int status = kExitOk; !SiteOption(ctx, silence.siteSerial, status)) return status;
  const auto units = AlarmUnits(ledger, SitesOf(ctx, silence.siteSerial));
  std::string error;
  auto subject = ctx.args.Has("--unit") ? UnitSubject(units, *ctx.args.Get("--unit"), error)
                                        : HopSubject(units, *ctx.args.Get("--hop"), error);
  if (!subject) return Fail(ctx.err, kExitUsage, error);
  silence.subject = *subject;
  silence.createdAt = lm::monitor::WallNowMs();
  silence.untilAt = silence.createdAt + std::chrono::milliseconds(*lm::monitor::ParseDuration(*ctx.args.Get("--for"))).count();
  const int64_t id = ledger.AddSilence(silence);
  ctx.output.Write(Table{{"silence", "subject", "until"}, {{std::to_string(id), silence.subject, TimeText(silence.untilAt)}}},
                   MakeObject({{"id", Number(id)}, {"subject", Value(silence.subject)}, {"untilAt", Number(silence.untilAt)}}));
  return kExitOk;
}

int Run(CommandContext& ctx) {
  PageAnswer status = ctx.page.Query("LmRecordsStatus", Value(lm::json::Object()));
  const std::string file = status.ok ? MemberText(status.value, "path") : "";
  if (file.empty()) return Fail(ctx.err, kExitRecords, "the site records cannot be opened: " + FailureText(status));
  try {
    AlarmLedger ledger(file);
    const std::string& what = ctx.args.positionals[0];
    if (what == "list") return List(ctx, ledger);
    if (what == "show") return Show(ctx, ledger);
    if (what == "ack") return Ack(ctx, ledger);
    return Silence(ctx, ledger);
  } catch (const std::exception& e) {
    return Fail(ctx.err, kExitRecords, std::string("the site records: ") + e.what());
  }
}

}  // namespace

Subcommand AlarmsCommand() {
  return {"alarms",
          "the monitor's alarms: list, show one, acknowledge, silence a unit or hop",
          "alarms (list [--site SITE] [--firing] | show ID | ack ID |\n"
          "                      silence (--unit UNIT | --hop UNIT-UNIT) --for 2h [--site SITE])\n"
          "                      [--format table|csv|json]",
          "list: every alarm the monitor raised, newest first (--firing: those not resolved).\n"
          "show ID: one alarm with its events (raised, flapping, stable, acknowledged, resolved)\n"
          "and the rounds that raised it. ack ID: marks it acknowledged (kept in the records).\n"
          "silence: no notices for a unit (its silence, battery and repeater alarms) or a hop\n"
          "(either direction) for a while; the alarms are still kept. docs/alarms.md has the rules.\n"
          "A UNIT or SITE is its name or its serial (00BC0502, bc0502).\n",
          {{"--site", true}, {"--firing", false}, {"--unit", true}, {"--hop", true}, {"--for", true}},
          Check,
          Run,
          nullptr};
}

}  // namespace linkmeter::cli
