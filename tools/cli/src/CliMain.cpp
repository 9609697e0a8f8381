#include "linkmeter/cli/CliMain.h"

#include <filesystem>
#include <istream>
#include <memory>
#include <mutex>
#include <ostream>

#include "linkmeter/Registration.h"
#include "linkmeter/cli/CliCatalogue.h"
#include "linkmeter/cli/CliHost.h"
#include "linkmeter/cli/CliLoop.h"
#include "linkmeter/cli/CliOptions.h"
#include "linkmeter/cli/SubcommandMain.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/VisitJoining.h"
#include "linkmeter/sim/InProcessSite.h"
#include "sorrel/cef/QueryTaskGroup.h"
#include "sorrel/com/ComServices.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/RecordsAccess.h"

namespace linkmeter::cli {

int CliMain(const CliProcess& process, const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
  Sorrel::cef::Manager& manager = process.manager;
  std::string error;
  // A subcommand ("survey …") or raw requests ("jsquery:…"); a subcommand's
  // arguments are checked before the site is touched.
  int status = 0;
  auto subcommand = FindSubcommandCall(args, out, err, status);
  if (subcommand && !subcommand->command) return status;
  std::optional<CliOptions> options;
  if (subcommand) {
    options = CliOptions{};
    options->demo = subcommand->args.Has("--demo");
  } else {
    options = ParseCliOptions(args, error);
  }
  if (!options) {
    err << "linkmeter-cli: " << error << "\n\n" << CliUsage(SubcommandOverview());
    return 2;
  }
  if (options->help) {
    out << CliUsage(SubcommandOverview());
    return 0;
  }
  if (options->version) {
    out << CliVersionLine();
    return 0;
  }
  // The demo site runs in this process; libvcomm reaches it like any site.
  std::unique_ptr<sim::InProcessSite> demo;
  if (options->demo) {
    demo = sim::InProcessSite::StartDemo(process.demoCommands, &error);
    if (!demo) {
      err << "linkmeter-cli: the demo site did not start: " << error << "\n";
      return 1;
    }
    if (!subcommand) err << demo->Summary();
  }
  // The process's other objects: made by the first run and kept until the
  // process ends (tests run the command line several times in one process).
  static Sorrel::cef::QueryTaskGroup tasks;
  static auto* devices = new Sorrel::Com::ComServices();
  // Before the demo site goes: answer every query, then close every unit a
  // request left open.
  struct CloseUnitsAtExit {
    Sorrel::Com::ComExecutorTable& units;
    ~CloseUnitsAtExit() {
      tasks.CancelAndWait();
      units.CloseAll();
    }
  } closeUnitsAtExit{devices->Units()};

  static std::once_flag registered;
  static std::shared_ptr<VisitJoining> visits;
  // The site records live in the workspace folder, as the program's do; the
  // store opens on the first records call. A demo run keeps its own store
  // beside the real one (decided by the process's first run).
  std::call_once(registered, [&] {
    auto records = std::make_shared<Sorrel::Js::RecordsAccess>(
        [] { return std::filesystem::path(Sorrel::Js::AppDocumentsFolder()); },
        lm::records::StoreOptions{.demo = options->demo});
    visits = VisitJoining::Register(manager, records);  // ahead of the page's own visit functions
    RegisterPageFunctions(manager, *devices, false, "en", records);
  });
  // This thread serves what page functions hand to the window thread; it
  // stops serving before the queries are drained at exit.
  auto loop = std::make_shared<CliLoop>();
  manager.SetUiThread(loop);
  struct StopLoopAtExit {
    Sorrel::cef::Manager& manager;
    CliLoop& loop;
    ~StopLoopAtExit() {
      loop.Stop();
      manager.SetUiThread(nullptr);
    }
  } stopLoopAtExit{manager, *loop};
  // The demo's LAN search goes to the site's responder on loopback.
  struct LanSearchOfDemo {
    Sorrel::Com::SearchWatchers& watchers;
    bool demo;
    ~LanSearchOfDemo() {
      if (demo) watchers.Lan().SetSeeker(std::make_unique<Sorrel::NetSeekLanSeeker>());
    }
  } lanSearchOfDemo{devices->Watchers(), demo != nullptr};
  if (demo) {
    devices->Watchers().Lan().SetSeeker(
        std::make_unique<Sorrel::LoopbackLanSeeker>(static_cast<uint16_t>(demo->UdpPort())));
  }
  if (options->list) {
    for (const auto& [name, handler] : manager.Factory()) out << ListLine(name) << "\n";
    if (options->requests.empty() && !options->fromStdin) return 0;
  }

  CliHost host(manager, tasks, loop.get());
  if (subcommand) return RunSubcommand(*subcommand, host, demo ? demo->Summary() : std::string(), out, err, visits.get());
  bool allSucceeded = true;
  auto runOne = [&](const std::string& request) {
    if (host.Run(request, out) != CliHost::Outcome::kSuccess) allSucceeded = false;
  };
  if (options->fromStdin) {
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) runOne(line);
    }
  } else if (options->requests.empty() && options->demo && !options->list) {
    runOne(DemoSurveyRequest());  // --demo alone: a survey through a repeater
  } else {
    for (const auto& request : options->requests) runOne(request);
  }
  return allSucceeded ? 0 : 1;
}

}  // namespace linkmeter::cli
