#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "sorrel/cef/Manager.h"

namespace linkmeter::sim {
class CommandTable;
}

namespace linkmeter::cli {

// The process's objects the command line runs with, made by the caller and
// kept until the process ends.
struct CliProcess {
  Sorrel::cef::Manager& manager;
  const sim::CommandTable& demoCommands;  // what the --demo site's units answer
};

// The whole program behind linkmeter-cli's main(); returns the exit status.
int CliMain(const CliProcess& process, const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err);

}  // namespace linkmeter::cli
