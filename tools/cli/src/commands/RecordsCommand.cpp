// linkmeter-cli records: the site records the page and the command line
// keep, through the same linkmeter.records page functions: the visits,
// one visit's records, an export of a site or visit and an import.
#include <ctime>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/RecordContents.h"
#include "linkmeter/cli/SiteChoice.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitConnection.h"

namespace linkmeter::cli {
namespace {

using lm::json::Array;
using lm::json::Value;

// sync and server-init: the team server's actions.
std::string CheckTeam(const ParsedArgs& args) {
  const auto& w = args.positionals;
  if (w.size() > 1) return "unexpected argument: " + w[1];
  if (!args.Has("--server")) return w[0] + " needs --server (a service name from pg_service.conf or a postgresql:// URI)";
  if (args.Has("--visit")) return "--visit goes with export";
  if (w[0] == "server-init" && args.Has("--site")) return "--site goes with export or sync";
  return "";
}

std::string Check(const ParsedArgs& args) {
  const auto& w = args.positionals;
  if (w.empty()) return "say what to do: list, show ID, export FILE, import FILE, sync or server-init";
  if (w[0] == "sync" || w[0] == "server-init") return CheckTeam(args);
  if (args.Has("--server")) return "--server goes with sync and server-init";
  const std::string& what = w[0];
  const size_t want = what == "list" ? 1 : 2;
  if (what != "list" && what != "show" && what != "export" && what != "import") return "unknown records action: " + what;
  if (w.size() < want) return what + " needs " + (what == "show" ? "a visit id" : "a file name");
  if (w.size() > want) return "unexpected argument: " + w[want];
  if (what == "show" && !ParseCount(w[1], 1, 1L << 52)) return "show takes a visit id (a whole number)";
  if (args.Has("--site") && args.Has("--visit")) return "give --site or --visit, not both";
  if ((args.Has("--site") || args.Has("--visit")) && what != "export") return "--site and --visit go with export";
  if (auto v = args.Get("--visit"); v && !ParseCount(*v, 1, 1L << 52)) return "--visit takes a visit id";
  return "";
}

std::string Serial(const Value& n) {
  if (!n.is<double>()) return "";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08llX", static_cast<unsigned long long>(n.get<double>()));
  return buf;
}

// In this computer's time zone, as the page shows times.
std::string TimeText(const Value& ms) { return ms.is<double>() ? LocalTimeText(static_cast<int64_t>(ms.get<double>())) : ""; }

using lm::json::Member;

int Refused(CommandContext& ctx, const std::string& what, const PageAnswer& a) {
  return Fail(ctx.err, kExitFailed, what + ": " + FailureText(a));
}

int List(CommandContext& ctx) {
  PageAnswer sites = ctx.page.Query("LmRecordsListSites", Value(lm::json::Object()));
  if (!sites.ok || !sites.value.is<Array>()) return Refused(ctx, "the site records could not be read", sites);
  Table table{{"visit", "site", "name", "started", "ended", "technician", "sent by", "synced"}, {}};
  Array visits;
  for (const auto& site : sites.value.get<Array>()) {
    PageAnswer list = ctx.page.Query("LmRecordsListVisits", lm::json::MakeObject({{"serial", Member(site, "serial")}}));
    if (!list.ok || !list.value.is<Array>()) return Refused(ctx, "the visits could not be read", list);
    for (const auto& v : list.value.get<Array>()) {
      table.rows.push_back({MemberText(v, "id"), Serial(Member(site, "serial")), MemberText(site, "name"),
                            TimeText(Member(v, "startedAt")), TimeText(Member(v, "endedAt")),
                            MemberText(v, "technician"), MemberText(v, "sentBy"),
                            Member(v, "synced").is<bool>() && Member(v, "synced").get<bool>() ? "yes" : "no"});
      visits.push_back(v);
    }
  }
  ctx.output.Write(table, lm::json::MakeObject({{"sites", sites.value}, {"visits", Value(visits)}}));
  return kExitOk;
}

int Show(CommandContext& ctx) {
  const long id = *ParseCount(ctx.args.positionals[1], 1, 1L << 52);
  PageAnswer visit = ctx.page.Query("LmRecordsReadVisit", lm::json::MakeObject({{"visitId", lm::json::Number(static_cast<int64_t>(id))}}));
  if (!visit.ok) return Refused(ctx, "visit " + std::to_string(id), visit);
  Table table{{"kind", "id", "at", "unit", "source", "holds"}, {}};
  for (const auto& r : Member(visit.value, "records").is<Array>() ? Member(visit.value, "records").get<Array>() : Array()) {
    table.rows.push_back({MemberText(r, "kind"), MemberText(r, "id"), TimeText(Member(r, "at")),
                          Serial(Member(r, "unit")), MemberText(r, "source"), RecordContents(ctx.page, r, visit.value)});
  }
  const Value& v = Member(visit.value, "visit");
  ctx.output.Write(table, visit.value,
                   {"", "visit " + MemberText(v, "id") + " of site " + Serial(Member(v, "siteSerial")) + ", " +
                            TimeText(Member(v, "startedAt")) + " to " + TimeText(Member(v, "endedAt"))});
  return kExitOk;
}

// The site or visit to export: named, or the store's only site.
std::optional<std::pair<std::string, Value>> ExportWhat(CommandContext& ctx, int& status) {
  if (auto v = ctx.args.Get("--visit")) {
    return std::make_pair(std::string("LmRecordsExportVisit"),
                          lm::json::MakeObject({{"visitId", lm::json::Number(static_cast<int64_t>(*ParseCount(*v, 1, 1L << 52)))}}));
  }
  if (auto s = ctx.args.Get("--site")) {
    auto serial = ChooseSite(ctx, *s, status);
    if (!serial) return std::nullopt;
    return std::make_pair(std::string("LmRecordsExportSite"), lm::json::MakeObject({{"serial", lm::json::Number(*serial)}}));
  }
  PageAnswer sites = ctx.page.Query("LmRecordsListSites", Value(lm::json::Object()));
  if (!sites.ok || !sites.value.is<Array>()) {
    status = Refused(ctx, "the site records could not be read", sites);
    return std::nullopt;
  }
  if (sites.value.get<Array>().size() != 1) {
    std::string names;
    for (const auto& s : sites.value.get<Array>()) names += " " + Serial(Member(s, "serial"));
    status = Fail(ctx.err, kExitUsage, "the store holds " + std::to_string(sites.value.get<Array>().size()) +
                                           " sites; name one with --site SITE (or a visit with --visit ID):" + names);
    return std::nullopt;
  }
  return std::make_pair(std::string("LmRecordsExportSite"),
                        lm::json::MakeObject({{"serial", Member(sites.value.get<Array>()[0], "serial")}}));
}

int Export(CommandContext& ctx) {
  int status = kExitOk;
  auto what = ExportWhat(ctx, status);
  if (!what) return status;
  what->second.get<lm::json::Object>()["path"] = lm::json::String(ctx.args.positionals[1]);
  PageAnswer done = ctx.page.Query(what->first, what->second);
  // -22: a target the store refuses (the store itself, one of its files): a wrong argument.
  if (!done.ok && done.code == -22) return Fail(ctx.err, kExitUsage, "the export failed: " + FailureText(done));
  if (!done.ok) return Refused(ctx, "the export failed", done);
  ctx.output.Write(Table{{"exported"}, {{ctx.args.positionals[1]}}},
                   lm::json::MakeObject({{"exported", lm::json::String(ctx.args.positionals[1])}}));
  return kExitOk;
}

// What an import or a sync did not take (a record that has ended here keeps
// what it holds), one line each: partly done.
int ReportRefused(CommandContext& ctx, const Value& done) {
  const Value& refused = Member(done, "refused");
  if (!refused.is<Array>() || refused.get<Array>().empty()) return kExitOk;
  for (const Value& line : refused.get<Array>()) {
    ctx.err << "refused: " << (line.is<std::string>() ? line.get<std::string>() : std::string()) << "\n";
  }
  return kExitPartly;
}

int Import(CommandContext& ctx) {
  PageAnswer done = ctx.page.Query("LmRecordsImport", lm::json::MakeObject({{"path", lm::json::String(ctx.args.positionals[1])}}));
  if (!done.ok) return Refused(ctx, "the import failed", done);
  ctx.output.Write(Table{{"sites", "visits", "records", "updated", "skipped"},
                         {{MemberText(done.value, "sites"), MemberText(done.value, "visits"),
                           MemberText(done.value, "records"), MemberText(done.value, "updated"),
                           MemberText(done.value, "skipped")}}},
                   done.value);
  return ReportRefused(ctx, done.value);
}

int Sync(CommandContext& ctx) {
  Value arg = lm::json::MakeObject({{"server", lm::json::String(*ctx.args.Get("--server"))}});
  if (auto s = ctx.args.Get("--site")) {
    int status = kExitOk;
    auto serial = ChooseSite(ctx, *s, status);
    if (!serial) return status;
    arg.get<lm::json::Object>()["serial"] = lm::json::Number(*serial);
  }
  PageAnswer done = ctx.page.Query("LmRecordsSync", arg);
  if (!done.ok) return Refused(ctx, "the sync with the team server failed", done);
  // Visits set aside: named after the table and on standard error, each with
  // its reason and the server's row; the others synced (exit status 5).
  std::vector<std::string> notes;
  const Value& setAside = Member(done.value, "setAside");
  if (setAside.is<Array>()) {
    for (const auto& v : setAside.get<Array>()) {
      const std::string row = MemberText(v, "row");
      notes.push_back("set aside: visit " + MemberText(v, "visit") + ": " + MemberText(v, "reason") +
                      (row.empty() ? "" : "; the server's row: " + row));
    }
  }
  ctx.output.Write(Table{{"visits", "sent", "fetched", "rows sent", "rows fetched", "set aside", "user"},
                         {{MemberText(done.value, "visits"), MemberText(done.value, "pushedVisits"),
                           MemberText(done.value, "pulledVisits"), MemberText(done.value, "pushedRows"),
                           MemberText(done.value, "pulledRows"), std::to_string(notes.size()),
                           MemberText(done.value, "user")}}},
                   done.value, notes);
  for (const auto& n : notes) ctx.err << "linkmeter-cli: " << n << "\n";
  const int refused = ReportRefused(ctx, done.value);
  return notes.empty() ? refused : kExitPartly;
}

int ServerInit(CommandContext& ctx) {
  PageAnswer done =
      ctx.page.Query("LmRecordsServerInit", lm::json::MakeObject({{"server", lm::json::String(*ctx.args.Get("--server"))}}));
  if (!done.ok) return Refused(ctx, "the team server could not be set up", done);
  const bool changed = Member(done.value, "created").is<bool>() && Member(done.value, "created").get<bool>();
  const std::string from = MemberText(done.value, "from");
  const std::string state = !changed ? "already there" : from.empty() || from == "0" ? "created" : "upgraded from version " + from;
  ctx.output.Write(Table{{"schema", "version"}, {{state, MemberText(done.value, "version")}}}, done.value);
  return kExitOk;
}

int Run(CommandContext& ctx) {
  const std::string& what = ctx.args.positionals[0];
  if (what == "sync") return Sync(ctx);
  if (what == "server-init") return ServerInit(ctx);
  if (what == "list") return List(ctx);
  if (what == "show") return Show(ctx);
  if (what == "export") return Export(ctx);
  return Import(ctx);
}

}  // namespace

Subcommand RecordsCommand() {
  return {"records",
          "the site records: list visits, show one, export or import a file",
          "records (list | show VISIT | export FILE [--site SITE | --visit VISIT] |\n"
          "                      import FILE | sync --server SERVER [--site SITE] |\n"
          "                      server-init --server SERVER)\n"
          "                      [--format table|csv|json]",
          "list: every visit of every site. show VISIT: the records of one visit. export FILE:\n"
          "a site (the store's only one, or --site SITE: its name or serial) or one visit\n"
          "(--visit VISIT) as one file. import FILE: merges a file in; what the store has\n"
          "already is skipped.\n"
          "sync: sends the team server (--server, a pg_service.conf name or postgresql:// URI;\n"
          "passwords only in ~/.pgpass) what it lacks and fetches what the store lacks, for\n"
          "every site or --site SITE; a visit that cannot be moved (the server refused it, or\n"
          "sent rows this computer cannot verify) is set aside, named with the reason and the\n"
          "server's row, and the others go on (exit status 5). server-init: sets up the team\n"
          "records on a server.\n"
          "The store is the program's (site-records.sqlite in its Documents folder).\n",
          {{"--site", true}, {"--visit", true}, {"--server", true}},
          Check,
          Run,
          [](const ParsedArgs& args, size_t i) { return i == 1 && args.positionals[0] != "show"; }};
}

}  // namespace linkmeter::cli
