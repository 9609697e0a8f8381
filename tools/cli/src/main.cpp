#include <iostream>

#include "linkmeter/cli/CliMain.h"

int main(int argc, char** argv) {
  static Sorrel::cef::Manager manager;  // the process's, kept until it ends
  return linkmeter::cli::CliMain(manager, {argv + 1, argv + argc}, std::cin, std::cout, std::cerr);
}
