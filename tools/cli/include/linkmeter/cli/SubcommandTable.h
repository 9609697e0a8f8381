#pragma once
// The one table of linkmeter-cli's subcommands: each entry is made in a
// file of its own (src/commands/); adding a subcommand is one line here and
// one in SubcommandTable.cpp.

#include <string_view>
#include <vector>

#include "linkmeter/cli/Subcommand.h"

namespace linkmeter::cli {

Subcommand UnitsCommand();
Subcommand SurveyCommand();
Subcommand AcceptCommand();
Subcommand ScanCommand();
Subcommand DownloadCommand();
Subcommand LogCommand();
Subcommand SettingsCommand();
Subcommand RecordsCommand();
Subcommand MonitorCommand();  // src/monitor/MonitorCommand.cpp
Subcommand AlarmsCommand();
Subcommand MapCommand();
Subcommand ReportCommand();

// Every subcommand, in the order the usage lists them.
const std::vector<Subcommand>& SubcommandTable();
const Subcommand* FindSubcommand(std::string_view name);

// The overview of the subcommands for the usage text.
std::string SubcommandOverview();

}  // namespace linkmeter::cli
