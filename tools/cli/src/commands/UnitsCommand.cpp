// linkmeter-cli units: the base units on USB and the LAN and the loggers on
// their optical ports, as the page's search finds them.
#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitConnection.h"

namespace linkmeter::cli {
namespace {

std::vector<std::string> UnitRow(const lm::json::Value& u) {
  const bool usb = MemberText(u, "com") == "1";
  return {usb ? "USB" : "LAN", MemberText(u, "serial"), MemberText(u, "name"), MemberText(u, "model"),
          usb ? "" : MemberText(u, "ipAddr") + ":" + MemberText(u, "port"), MemberText(u, "descr")};
}

// A logger lies on a base unit's optical port: that is its address.
std::vector<std::string> LoggerRow(const lm::json::Value& l) {
  const lm::json::Value base = l.is<lm::json::Object>() && l.contains("comInfo") ? l.get("comInfo") : lm::json::Value();
  std::string port = "optical port";
  if (!MemberText(base, "serial").empty()) {
    port += " of " + MemberText(base, "name") + " (" + MemberText(base, "serial") + ")";
  }
  return {"logger", MemberText(l, "serial"), "", MemberText(l, "model"), port, ""};
}

int Run(CommandContext& ctx) {
  FoundUnits found = SearchUnits(ctx.page, ctx.progress);
  Table table{{"kind", "serial", "name", "model", "address", "description"}, {}};
  lm::json::Array units, loggers, failures;
  for (const auto& u : found.units) {
    table.rows.push_back(UnitRow(u));
    units.push_back(u);
  }
  for (const auto& l : found.loggers) {
    table.rows.push_back(LoggerRow(l));
    loggers.push_back(l);
  }
  std::vector<std::string> notes;
  for (const auto& f : found.failures) {
    failures.push_back(lm::json::String(f));
    notes.push_back("failed: " + f);
  }
  ctx.output.Write(table,
                   lm::json::MakeObject({{"units", lm::json::Value(units)}, {"loggers", lm::json::Value(loggers)},
                                         {"failures", lm::json::Value(failures)}}),
                   notes);
  for (const auto& f : found.failures) ctx.err << "linkmeter-cli: " << f << "\n";
  return found.failures.empty() ? kExitOk : kExitPartly;
}

}  // namespace

Subcommand UnitsCommand() {
  return {"units",
          "search USB, LAN and optical-port loggers",
          "units [--format table|csv|json]",
          "Lists every base unit the USB and LAN searches find and every logger on a base unit's\n"
          "optical port. A search that fails is named on standard error (exit status 5).\n",
          {},
          nullptr,
          Run};
}

}  // namespace linkmeter::cli
