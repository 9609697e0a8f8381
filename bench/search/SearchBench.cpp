// app.com.searchUSB with 32 attached USB base units through the whole stack
// (router, handler, watcher, libvcomm, the USB bus, simulator): the first
// search asks every unit (RUINF), a repeated one only counts them, a forced
// one asks them all again. Prints milliseconds per search; not a test.

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <string>

#include "PageRig.h"
#include "linkmeter/sim/Simulator.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/QueryTaskGroup.h"
#include "sorrel/com/SearchHandlers.h"
#include "vcomm/UsbBus.h"
#include "vcomm/Library.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kUnits = 32;

using bench::BenchBrowser;
using bench::PromiseCallback;

linkmeter::sim::SiteSpec Site() {
  linkmeter::sim::SiteSpec site;
  for (int i = 0; i < kUnits; ++i) {
    linkmeter::sim::BaseUnitSpec unit;
    unit.serial = (77u << 17) | static_cast<uint32_t>(0x100 + i);  // VL-B1
    unit.name = "UNIT-" + std::to_string(i);
    unit.desc = "bench unit";
    unit.usb = true;
    site.baseUnits.push_back(unit);
  }
  return site;
}

class Bench {
 public:
  Bench() : table_(std::make_unique<Sorrel::Com::ComExecutorVelaFactory>()), watchers_(table_) {
    manager_.AddQuery(std::make_shared<Sorrel::Com::SearchUSB>(manager_, watchers_, table_));
    router_.AttachFactory(manager_.SharedFactory());
  }
  ~Bench() { router_.Shutdown(); }

  std::string Search(const std::string& flags) {
    auto cb = std::make_shared<PromiseCallback>();
    auto answer = cb->answer.get_future();
    router_.OnQuery(browser_, id_++, "jsquery:ComSearchUSB " + flags, false, cb);
    return answer.get();
  }

  // Mean milliseconds of `rounds` searches with these flags.
  double Time(const std::string& flags, int rounds) {
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
      if (Search(flags).rfind("[{", 0) != 0) std::fprintf(stderr, "bench-search: a search found nothing\n");
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / rounds;
  }

 private:
  Sorrel::Com::ComExecutorTable table_;
  Sorrel::Com::SearchWatchers watchers_;
  Sorrel::cef::Manager manager_;
  Sorrel::cef::QueryTaskGroup tasks_{std::chrono::milliseconds(500)};
  Sorrel::cef::BsmsgRouter router_{tasks_};
  Sorrel::cef::BrowserPtr browser_ = std::make_shared<BenchBrowser>();
  int64_t id_ = 1;
};

}  // namespace

int main() {
  vcomm::Library vcommLibrary;  // the process's device connections
  char dir[] = "/tmp/lm-bench-search-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  vcomm::usb::SetBusDirectory(dir);
  int status = 0;
  const auto commands = linkmeter::sim::CommandTable::WithEveryCommand();
  {
    linkmeter::sim::Simulator sim(Site(), commands);
    sim.GetTranscript().Keep(false);
    std::string error;
    if (!sim.Start(&error)) {
      std::fprintf(stderr, "bench-search: %s\n", error.c_str());
      status = 1;
    } else {
      Bench bench;
      const double first = bench.Time(R"({"vlb1":true})", 1);
      const double repeated = bench.Time(R"({"vlb1":true})", 200);
      const double forced = bench.Time(R"({"vlb1":true,"force":true})", 20);
      std::printf("searchUSB, %d attached units: first %.2f ms, repeated (cached) %.3f ms, forced rescan %.2f ms\n",
                  kUnits, first, repeated, forced);
    }
  }
  vcomm::usb::SetBusDirectory("");
  std::filesystem::remove_all(dir);
  return status;
}
