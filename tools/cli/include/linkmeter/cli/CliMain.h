#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace linkmeter::cli {

// The whole program behind linkmeter-cli's main(); returns the exit status.
int CliMain(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err);

}  // namespace linkmeter::cli
