// Writes the device command documentation made from the catalogue rows to
// the file named by the argument, or to standard output.

#include <fstream>
#include <iostream>

#include "vantor/com/CatalogueDoc.h"

int main(int argc, char** argv) {
  const std::string text = com::vantor::catalogue::CatalogueMarkdown();
  if (argc < 2) {
    std::cout << text;
    return 0;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << text;
  return out ? 0 : 1;
}
