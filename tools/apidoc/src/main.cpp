// lm-apidoc: writes the page-function documentation package from the
// program's own registration, and the catalogue's write checks for the page.
//   lm-apidoc --docs DIR     DIR/index.html and DIR/functions.json
//   lm-apidoc --rules FILE   the catalogue's argument checks as JSON
// Registered functions without a description are listed on standard error.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "linkmeter/Registration.h"
#include "linkmeter/apidoc/Outputs.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComServices.h"
#include "vcomm/Library.h"

namespace {

bool Write(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  if (!out) std::cerr << "lm-apidoc: cannot write " << path << "\n";
  return static_cast<bool>(out);
}

bool WriteDocs(const std::filesystem::path& dir) {
  Sorrel::Com::ComServices devices;  // listed only, never asked
  Sorrel::cef::Manager manager;
  linkmeter::RegisterPageFunctions(manager, devices);
  const auto docs = linkmeter::apidoc::CollectFunctions(manager);
  for (const auto& d : docs) {
    if (!d.described) std::cerr << "lm-apidoc: warning: " << d.script << " has no description\n";
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return Write(dir / "index.html", linkmeter::apidoc::ApiDocHtml(docs)) &&
         Write(dir / "functions.json", linkmeter::apidoc::ApiDocJson(docs));
}

}  // namespace

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;  // the process's device connections
  if (argc != 3) {
    std::cerr << "usage: lm-apidoc --docs DIR | --rules FILE\n";
    return 2;
  }
  const std::string option = argv[1];
  if (option == "--docs") return WriteDocs(argv[2]) ? 0 : 1;
  if (option == "--rules") return Write(argv[2], linkmeter::apidoc::CatalogueRulesJson()) ? 0 : 1;
  std::cerr << "usage: lm-apidoc --docs DIR | --rules FILE\n";
  return 2;
}
