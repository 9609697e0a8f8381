#include <iostream>

#include "linkmeter/sim/SimMain.h"

int main(int argc, char** argv) {
  return linkmeter::sim::SimMain({argv + 1, argv + argc}, std::cin, std::cout, std::cerr);
}
