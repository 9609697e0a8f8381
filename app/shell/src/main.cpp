// linkmeter: the GUI program.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "linkmeter/Registration.h"
#include "linkmeter/shell/LinkmeterApp.h"
#include "linkmeter/shell/ProcessObjects.h"
#include "linkmeter/shell/ShellOptions.h"
#include "linkmeter/sim/InProcessSite.h"
#include "lm/Version.h"
#include "sorrel/com/ComServices.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/RecordsAccess.h"

int main(int argc, char** argv) {
  std::string error;
  auto options = linkmeter::shell::ParseShellOptions({argv + 1, argv + argc}, error);
  if (!options) {
    std::fprintf(stderr, "linkmeter: %s\n%s", error.c_str(), linkmeter::shell::kShellUsage);
    return 2;
  }
  if (options->help || options->version) {
    if (options->help) std::printf("%s", linkmeter::shell::kShellUsage);
    else std::printf("%s\n", lm::kVersionText);
    return 0;
  }
  // The process's objects, kept until the process ends.
  const linkmeter::shell::ProcessObjects objects = linkmeter::shell::ProcessObjectsOnce();
  const auto demoCommands = linkmeter::sim::CommandTable::WithEveryCommand();  // what the demo units answer
  std::unique_ptr<linkmeter::sim::InProcessSite> demo;
  if (options->demo) {
    demo = linkmeter::sim::InProcessSite::StartDemo(demoCommands, &error);
    if (!demo) {
      std::fprintf(stderr, "linkmeter: demo site: %s\n", error.c_str());
      return 1;
    }
    std::fprintf(stderr, "%s", demo->Summary().c_str());
    // The demo's LAN search goes to the site's responder on loopback.
    objects.devices.Watchers().Lan().SetSeeker(
        std::make_unique<Sorrel::LoopbackLanSeeker>(static_cast<uint16_t>(demo->UdpPort())));
  }
  // The site records live in the workspace folder; the store opens on the
  // first page call that needs it, on a query worker, once the string table
  // has named the folder. A demo run keeps its own store beside the real one.
  auto records = std::make_shared<Sorrel::Js::RecordsAccess>(
      [] { return std::filesystem::path(Sorrel::Js::AppDocumentsFolder()); },
      lm::records::StoreOptions{.demo = options->demo});
  linkmeter::RegisterPageFunctions(objects.manager, objects.devices, false, "en", records);
  linkmeter::shell::LinkmeterApp app(linkmeter::shell::DefaultProgramConfig(*options), objects);
  return app.Run(argc, argv);
}
