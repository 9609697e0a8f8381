#include <iostream>

#include "linkmeter/sim/SimMain.h"

int main(int argc, char** argv) {
  const auto commands = linkmeter::sim::CommandTable::WithEveryCommand();
  return linkmeter::sim::SimMain(commands, {argv + 1, argv + argc}, std::cin, std::cout, std::cerr);
}
