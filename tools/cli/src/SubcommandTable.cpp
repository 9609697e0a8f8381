#include "linkmeter/cli/SubcommandTable.h"

#include <ostream>

#include "linkmeter/cli/Output.h"

namespace linkmeter::cli {

const std::vector<Subcommand>& SubcommandTable() {
  static const std::vector<Subcommand> table{
      UnitsCommand(), SurveyCommand(), ScanCommand(),    DownloadCommand(),
      LogCommand(),   SettingsCommand(), RecordsCommand(), MonitorCommand(),
      AlarmsCommand(), AcceptCommand(), MapCommand(), ReportCommand(),
  };
  return table;
}

const Subcommand* FindSubcommand(std::string_view name) {
  for (const Subcommand& c : SubcommandTable()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

std::string SubcommandOverview() {
  std::string text;
  for (const Subcommand& c : SubcommandTable()) text += "  linkmeter-cli " + c.usage + "\n      " + c.summary + "\n";
  return FitLines(text);
}

int UsageError(std::ostream& err, const Subcommand& command, const std::string& message) {
  err << "linkmeter-cli " << command.name << ": " << message << "\n" << FitLines("usage: linkmeter-cli " + command.usage) << "\n";
  return 2;
}

int Fail(std::ostream& err, int status, const std::string& message) {
  err << "linkmeter-cli: " << message << "\n";
  return status;
}

}  // namespace linkmeter::cli
