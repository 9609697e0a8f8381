// linkmeter-cli log: the base unit's event log (ELOGS) as the page's event
// log view reads it, newest first, its rows made by the page's own rule
// (the site logic's eventLog); kept in the site records.
#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/AnswerFilters.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitSession.h"

namespace linkmeter::cli {
namespace {

std::string Check(const ParsedArgs& args) {
  if (auto m = args.Get("--mode"); m && !ParseCount(*m, 0, 255)) return "--mode takes a number from 0 to 255";
  if (!args.positionals.empty()) return "unexpected argument: " + args.positionals.front();
  return "";
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
  // The page's own rule makes the rows (device/eventlog.js): its times,
  // its offsets, its order.
  std::string error;
  auto rows = ctx.logic->Call("eventLog", {answer.value}, &error);
  if (!rows) return session->Finish(Fail(ctx.err, kExitFailed, "the event log could not be read: " + error));
  const Table table = TableOf(*rows);
  ctx.output.Write(table, lm::json::MakeObject({{"baseUnit", lm::json::String(session->Unit().Serial())},
                                                {"answer", WithoutComInfo(answer.value)},
                                                {"table", *rows}}));
  return session->Finish(kExitOk);
}

}  // namespace

Subcommand LogCommand() {
  return {"log",
          "the base unit's event log",
          "log [--unit U] [--mode N] [--no-record] [--format table|csv|json]",
          "Reads the base unit's event log (ELOGS, MODE N, default 0), newest first: the time in\n"
          "this computer's time zone, the unit's own local time and its offset from UTC, the UTC\n"
          "seconds, category, number and text. JSON carries the answer and the table.\n",
          {kUnitOptions[0], kUnitOptions[1], kRecordOptions[0], {"--mode", true}},
          Check,
          Run};
}

}  // namespace linkmeter::cli
