#pragma once
// Running one subcommand: which words name it, its argument check before
// anything starts, and the run over a started host.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "linkmeter/cli/ArgParser.h"
#include "linkmeter/cli/Subcommand.h"

namespace linkmeter::cli {

class CliHost;
class VisitJoining;

struct SubcommandCall {
  const Subcommand* command = nullptr;
  ParsedArgs args;  // with --demo, wherever it was given
};

// Nullopt when `args` are raw requests (their first word is no subcommand
// name). Otherwise the call, or a usage error already printed on `err`
// with `status` set (also for --help, status 0, printed on `out`).
std::optional<SubcommandCall> FindSubcommandCall(const std::vector<std::string>& args, std::ostream& out,
                                                 std::ostream& err, int& status);

// Runs the call over `host`; `demoSummary` is the demo site's announcement
// (its base units, one line each) or empty. `visits` (may be null) is told
// whether the run joins open visits and names the visits it recorded in.
int RunSubcommand(const SubcommandCall& call, CliHost& host, const std::string& demoSummary, std::ostream& out,
                  std::ostream& err, VisitJoining* visits = nullptr);

}  // namespace linkmeter::cli
