// T commands per second through the whole stack (router, handler, executor,
// libvcomm, TCP, simulator and back) against the bare exchange on the same
// connection kind. Prints its figures; not a test.

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>

#include "linkmeter/sim/SiteFile.h"
#include "PageRig.h"
#include "linkmeter/sim/Simulator.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"
#include "sorrel/com/ComServices.h"
#include "vantor/com/ExecutorVela.h"
#include "vantor/com/TcmdEBSTS.h"

namespace {

using Clock = std::chrono::steady_clock;

using bench::BenchBrowser;
using bench::PromiseCallback;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void Report(const char* what, int n, Clock::duration elapsed) {
  std::printf("%-44s %8.0f per second, %7.1f us each\n", what, n / Seconds(elapsed), 1e6 * Seconds(elapsed) / n);
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
  linkmeter::sim::SiteSpec site = linkmeter::sim::DemoSite();
  site.radio.hopMs = 0;
  site.udp.enabled = false;
  linkmeter::sim::SimulatorOptions options;
  options.attachUsb = false;
  linkmeter::sim::Simulator sim(site, options);
  sim.GetTranscript().Keep(false);
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }
  const int port = sim.LanPort(0x009C0021);

  // The bare exchange: one executor, one open connection.
  com::vantor::ExecutorVela executor;
  if (executor.OpenLAN("127.0.0.1", port, "vela1234", nullptr, 0).status != 0) return 1;
  auto start = Clock::now();
  for (int i = 0; i < n; ++i) {
    com::vantor::TcmdEBSTS cmd;
    executor.Execute(cmd, 0);
    if (!cmd.IsSuccess()) return 1;
  }
  const auto bare = Clock::now() - start;
  executor.Close();

  // The whole stack, the unit kept open by the page.
  Sorrel::Com::ComServices devices;
  Sorrel::cef::Manager manager;
  Sorrel::Com::RegisterComFunctions(manager, devices);
  Sorrel::cef::QueryTaskGroup tasks;
  Sorrel::cef::BsmsgRouter router(tasks);
  auto browser = std::make_shared<BenchBrowser>();
  manager.RegisterBrowser(browser, router);
  const std::string comInfo = "{\"comInfo\":{\"com\":3,\"ipAddr\":\"127.0.0.1\",\"port\":" + std::to_string(port) +
                              ",\"lanPassword\":\"vela1234\"}}";
  int64_t id = 1;
  auto query = [&](const std::string& request) {
    auto cb = std::make_shared<PromiseCallback>();
    auto future = cb->answer.get_future();
    router.OnQuery(browser, id++, request, false, cb);
    return future.get();
  };
  query("jsquery:ComOpen " + comInfo);
  start = Clock::now();
  for (int i = 0; i < n; ++i) {
    if (query("jsquery:ComTcmdEBSTS " + comInfo).rfind("{\"STATUS\":\"0002-0000\"", 0) != 0) return 1;
  }
  const auto stack = Clock::now() - start;
  query("jsquery:ComClose " + comInfo);

  // Each command opening and closing the unit itself (login included).
  const int m = n / 10;
  start = Clock::now();
  for (int i = 0; i < m; ++i) query("jsquery:ComTcmdEBSTS " + comInfo);
  const auto implicit = Clock::now() - start;

  std::printf("EBSTS over loopback TCP to the simulator, %d commands\n", n);
  Report("bare exchange (executor + libvcomm)", n, bare);
  Report("whole stack, unit open", n, stack);
  Report("whole stack, implicit open/login/close", m, implicit);
  std::printf("%-44s %7.1f us\n", "added per command by router and handler", 1e6 * (Seconds(stack) - Seconds(bare)) / n);
  router.Shutdown();
  return 0;
}
