#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/Simulator.h"

namespace linkmeter::sim {

// The whole program behind linkmeter-sim's main(); returns the exit status.
// `commands` is the process's answer table, made by main.
int SimMain(const CommandTable& commands, const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err);

// Runs one control line against a running site ("attach 009A0011",
// "detach …", "fault … {json}", "clear …", "ports"); writes its answer line.
// False for "quit".
bool RunControlLine(Simulator& simulator, const std::string& line, std::ostream& out);

}  // namespace linkmeter::sim
