// A radio survey (EWLEX) of each of 50 remote units through the whole stack
// (router, handler, executor, libvcomm, TCP, simulator) with no simulated air
// time: the program's own time per survey, and its share of a survey's wall
// time with the protocol's 500 ms polling. Prints its figures; not a test.

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>

#include "PageRig.h"
#include "linkmeter/sim/Simulator.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"
#include "sorrel/com/ComServices.h"
#include "vantor/com/TcmdWireless.h"
#include "vcomm/Library.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kBase = 0x009C0021;
constexpr int kUnits = 50;

using bench::BenchBrowser;
using bench::PromiseCallback;

linkmeter::sim::SiteSpec Site() {
  linkmeter::sim::SiteSpec site;
  site.radio.hopMs = 0;
  linkmeter::sim::BaseUnitSpec base;
  base.serial = kBase;
  base.lanPassword = "pw";
  linkmeter::sim::GroupSpec g;
  g.freq = 12;
  g.repeaters.push_back({0x00C80101, 1, 0, 400, 95, 0.02, true});
  for (int i = 0; i < kUnits; ++i) {
    linkmeter::sim::RemoteUnitSpec u;
    u.serial = 0x00B80100u + static_cast<std::uint32_t>(i + 1);
    u.num = i + 1;
    u.parent = i % 2;  // every other one through the repeater
    u.distanceM = 50 + 10 * i;
    u.chTypes = {13};
    g.remoteUnits.push_back(u);
  }
  base.groups.push_back(g);
  site.baseUnits.push_back(base);
  return site;
}

std::string Id(std::uint32_t serial) {
  std::string id = "[254,0,0,7";
  for (int i = 0; i < 4; ++i) id += "," + std::to_string((serial >> (8 * i)) & 0xFF);
  return id + "]";
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;  // the process's device connections
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 1;
  linkmeter::sim::SimulatorOptions options;
  options.attachUsb = false;
  const auto commands = linkmeter::sim::CommandTable::WithEveryCommand();
  linkmeter::sim::Simulator sim(Site(), commands, options);
  sim.GetTranscript().Keep(false);
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }
  Sorrel::Com::ComServices devices;
  Sorrel::cef::Manager manager;
  Sorrel::Com::RegisterComFunctions(manager, devices);
  Sorrel::cef::QueryTaskGroup tasks;
  Sorrel::cef::BsmsgRouter router(tasks);
  auto browser = std::make_shared<BenchBrowser>();
  manager.RegisterBrowser(browser, router);
  const std::string comInfo =
      R"({"com":3,"ipAddr":"127.0.0.1","port":)" + std::to_string(sim.LanPort(kBase)) + R"(,"lanPassword":"pw"})";
  int64_t id = 1;
  auto query = [&](const std::string& request) {
    auto cb = std::make_shared<PromiseCallback>();
    auto future = cb->answer.get_future();
    router.OnQuery(browser, id++, request, false, cb);
    return future.get();
  };
  query("jsquery:ComOpen {\"comInfo\":" + comInfo + "}");

  int surveys = 0;
  Clock::duration wall{};
  for (int r = 0; r < rounds; ++r) {
    for (int i = 0; i < kUnits; ++i) {
      const std::string request = "jsquery:ComTcmdEWLEX {\"comInfo\":" + comInfo + R"(,"CH":12,"ID":)" +
                                  Id(0x00B80100u + static_cast<std::uint32_t>(i + 1)) + "}";
      auto start = Clock::now();
      std::string answer = query(request);
      wall += Clock::now() - start;
      if (answer.find("\"isSuccess\":true") == std::string::npos) {
        std::fprintf(stderr, "survey failed: %s\n", answer.c_str());
        return 1;
      }
      ++surveys;
    }
  }
  query("jsquery:ComClose {\"comInfo\":" + comInfo + "}");
  router.Shutdown();

  // With no air time every survey is the start, one 500 ms pause and the
  // poll that brings the levels: the rest of the wall time is the program's.
  const double perSurvey = Ms(wall) / surveys;
  const double pause = com::vantor::TcmdWireless::kPollInterval;
  const double program = perSurvey - pause;
  std::printf("EWLEX survey of %d remote units over loopback TCP, %d surveys, no air time\n", kUnits, surveys);
  std::printf("%-40s %9.2f ms\n", "wall time per survey", perSurvey);
  std::printf("%-40s %9.2f ms\n", "of which the protocol's 500 ms polling", pause);
  std::printf("%-40s %9.3f ms\n", "program time per survey", program);
  std::printf("%-40s %9.3f %%\n", "program's share of the wall time", 100.0 * program / perSurvey);
  return 0;
}
