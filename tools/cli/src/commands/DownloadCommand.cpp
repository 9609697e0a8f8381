// linkmeter-cli download: the recorded data of the logger on the base
// unit's optical port (EISUC) or of a remote unit by radio (EWSUC), as the
// page's recorded-data view downloads it; kept in the site records.
#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/RecordedTable.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/AnswerFilters.h"
#include "linkmeter/cli/SiteRegistration.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitSession.h"

namespace linkmeter::cli {
namespace {

using lm::json::Object;
using lm::json::Value;

std::string Check(const ParsedArgs& args) {
  if (args.Has("--logger") == args.Has("--remote")) return "give either --logger or --remote UNIT";
  if (!args.positionals.empty()) return "unexpected argument: " + args.positionals.front();
  return "";
}

// EWSUC's fields: the route to the remote unit `wanted` names, from the
// page's route logic; `serial` set to the unit's.
std::optional<Object> RemoteFields(CommandContext& ctx, UnitSession& session, const std::string& wanted,
                                   std::string& serial, std::string& error) {
  SiteLogic& logic = *ctx.logic;
  auto regInfo = SiteRegistration(ctx.page, session.Unit(), session.Flows(), ctx.args.Get("--registration"), error);
  if (!regInfo) return std::nullopt;
  auto target = TargetNamed(logic, *regInfo, wanted, false, error, &serial);
  if (!target) return std::nullopt;
  auto route = logic.Call("route", {*regInfo, *target}, &error);
  if (!route || !route->get("fields").is<Object>()) return std::nullopt;
  return route->get("fields").get<Object>();
}

int Run(CommandContext& ctx) {
  int status = kExitOk;
  auto session = UnitSession::Open(ctx, status);
  if (!session) return status;
  const auto remote = ctx.args.Get("--remote");
  Object arg{{"MODE", lm::json::Number(0)}, {"RANGE", lm::json::Number(0)}};
  std::string serial;
  if (remote) {
    std::string error;
    auto fields = RemoteFields(ctx, *session, *remote, serial, error);
    if (!fields) return session->Finish(Fail(ctx.err, kExitFailed, error));
    arg.insert(fields->begin(), fields->end());
  }
  arg["comInfo"] = session->Unit().ComInfo();
  const std::string mnemonic = remote ? "EWSUC" : "EISUC";
  // The unit reports no progress while it sends: the line says it runs.
  ctx.progress.Step(0, 1, "downloading the recorded data (" + mnemonic + ")…");
  PageAnswer answer = ctx.page.Command(mnemonic, std::move(arg));
  ctx.progress.Finish();
  if (!answer.ok) return session->Finish(Fail(ctx.err, kExitFailed, "the download failed: " + FailureText(answer)));
  RecordedTable recorded = DecodeRecorded(*ctx.logic, answer.value);
  if (!recorded.error.empty()) return session->Finish(Fail(ctx.err, kExitFailed, recorded.error));
  Value json = lm::json::MakeObject({{"baseUnit", lm::json::String(session->Unit().Serial())},
                                     {"source", lm::json::String(remote ? "remote" : "logger")},
                                     {"unit", remote ? lm::json::String(serial) : Value()},
                                     {"answer", WithoutComInfo(answer.value)},
                                     {"decoded", recorded.decoded}});
  ctx.output.Write(recorded.table, json,
                   {"", CountOf(recorded.table.rows.size(), "record") + ", every " +
                            MemberText(recorded.decoded, "interval") + " s"});
  return session->Finish(kExitOk);
}

}  // namespace

Subcommand DownloadCommand() {
  return {"download",
          "the recorded data of a logger on the optical port or of a remote unit by radio",
          "download [--unit U] (--logger | --remote UNIT) [--registration FILE]\n"
          "                       [--no-record] [--format table|csv|json]",
          "--logger reads the logger on the base unit's optical port (EISUC; without --unit, the\n"
          "base unit where the only logger was found); --remote UNIT reads a remote unit of the\n"
          "registration (its name, label or serial) by radio (EWSUC). One row per record: its\n"
          "time (UTC), Unix time and each channel's value. JSON carries the header and data bytes.\n",
          {kUnitOptions[0], kUnitOptions[1], kRecordOptions[0], {"--logger", false}, {"--remote", true},
           kRegistrationOption},
          Check,
          Run};
}

}  // namespace linkmeter::cli
