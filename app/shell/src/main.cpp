// linkmeter: the GUI program.
#include <cstdio>
#include <string>
#include <vector>

#include "linkmeter/Registration.h"
#include "linkmeter/sim/InProcessSite.h"
#include "linkmeter/shell/ShellApp.h"
#include "linkmeter/shell/ShellOptions.h"
#include "sorrel/cef/ResSchemeHandlerFactory.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = linkmeter::shell::ParseShellOptions(args, error);
  if (!options) {
    std::fprintf(stderr, "linkmeter: %s\nusage: linkmeter [--url URL] [--console] [--demo]\n", error.c_str());
    return 2;
  }
  std::unique_ptr<linkmeter::sim::InProcessSite> demo;
  if (options->demo) {
    demo = linkmeter::sim::InProcessSite::StartDemo(&error);
    if (!demo) {
      std::fprintf(stderr, "linkmeter: demo site: %s\n", error.c_str());
      return 1;
    }
    std::fprintf(stderr, "%s", demo->Summary().c_str());
  }
  linkmeter::RegisterPageFunctions(Sorrel::cef::Manager::Instance());

  linkmeter::shell::ShellConfig config;
  config.url = options->url.empty() ? linkmeter::shell::StartUrl("linkmeter") : options->url;
  config.console = options->console;
  config.extensionDir = linkmeter::shell::ProductExtensionDir();
  config.resourceFolder = Sorrel::cef::ResSchemeHandlerFactory::DefaultResourceFolder();
  linkmeter::shell::ShellApp app(config);
  if (!app.Start(argc, argv, error)) {
    std::fprintf(stderr, "linkmeter: %s\n", error.c_str());
    return 1;
  }
  return app.Run();
}
