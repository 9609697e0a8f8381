#include <iostream>

#include "linkmeter/cli/CliMain.h"
#include "linkmeter/sim/CommandTable.h"
#include "vcomm/Library.h"

int main(int argc, char** argv) {
  // The process's objects, kept until it ends; the communication library's
  // state first, so it is destroyed last.
  static vcomm::Library vcommLibrary;
  static Sorrel::cef::Manager manager;
  static const auto demoCommands = linkmeter::sim::CommandTable::WithEveryCommand();
  const linkmeter::cli::CliProcess process{manager, demoCommands};
  return linkmeter::cli::CliMain(process, {argv + 1, argv + argc}, std::cin, std::cout, std::cerr);
}
