#include <iostream>

#include "linkmeter/cli/CliMain.h"

int main(int argc, char** argv) {
  return linkmeter::cli::CliMain({argv + 1, argv + argc}, std::cin, std::cout, std::cerr);
}
