#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "sorrel/cef/Manager.h"

namespace linkmeter::cli {

// The whole program behind linkmeter-cli's main(); returns the exit status.
// `manager` is the process's, kept by the caller until the process ends.
int CliMain(Sorrel::cef::Manager& manager, const std::vector<std::string>& args, std::istream& in,
            std::ostream& out, std::ostream& err);

}  // namespace linkmeter::cli
