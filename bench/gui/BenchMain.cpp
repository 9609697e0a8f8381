// bench-gui: the bridge in a real window. Run by hand:
//   xvfb-run -a build/bin/bench-gui
// Prints the round trip of a trivial query through the whole bridge against
// a bare user-message ping-pong and against the floor, the same ping after
// the two thread hand-offs of a query (p50, p99, throughput with 16 in
// flight, and the ratios as medians over alternating rounds),
// the cost of a synchronous native call, start-up to page loaded (median of
// 5 fresh processes), the technician's page against the bare start page it
// replaced (kept in the self-test package; runs alternate, medians of 7)
// and the peak memory of the processes. `--bridge-only` stops after the
// bridge's figures, `--only KIND [--burst [N]]` measures one ping alone (for
// perf), one at a time or N bursts of 16 in flight (default 40). On a
// busy machine pin it: taskset -c 1 chrt -f 50 ...
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ProcessMemory.h"
#include "SelfTestFunctions.h"
#include "SelfTestPage.h"
#include "linkmeter/Registration.h"
#include "linkmeter/shell/ShellApp.h"
#include "sorrel/com/ComServices.h"
#include "vcomm/Library.h"

namespace {

// A fresh process that shows one page and reports when it has loaded.
int StartupProbe(int argc, char** argv, const char* url) {
  static auto* devices = new Sorrel::Com::ComServices();
  static Sorrel::cef::CallbackTable callbacks;
  static Sorrel::cef::Manager manager;
  linkmeter::RegisterPageFunctions(manager, *devices);
  linkmeter::selftest::RegisterSelfTestFunctions(manager, callbacks);
  linkmeter::shell::ShellConfig config;
  config.url = url;
  config.extensionDir = Sorrel::cef::webkit::ExecutableDir() / "webext-selftest";
  config.resourceFolder = Sorrel::cef::webkit::ExecutableDir() / "res";
  config.mainLoop = std::make_shared<Sorrel::cef::webkit::LoopPoster>(g_main_context_default());
  static Sorrel::cef::QueryTaskGroup tasks;
  linkmeter::shell::ShellApp app(config, manager, tasks, callbacks);
  std::string error;
  if (!app.Start(argc, argv, error)) return 1;
  g_signal_connect(app.Client().MainView(), "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent e, gpointer p) {
                     if (e != WEBKIT_LOAD_FINISHED) return;
                     std::printf("loaded\n");
                     std::fflush(stdout);
                     static_cast<linkmeter::shell::ShellApp*>(p)->Quit(0);
                   }),
                   &app);
  g_timeout_add_seconds(20, [](gpointer p) -> gboolean {
    static_cast<linkmeter::shell::ShellApp*>(p)->Quit(2);
    return G_SOURCE_REMOVE;
  }, &app);
  return app.Run();
}

double StartupMs(const char* self, const std::string& url = "app://res/selftest/blank.html") {
  const std::string command = std::string("'") + self + "' --startup-probe '" + url + "'";
  auto t0 = std::chrono::steady_clock::now();
  FILE* child = popen(command.c_str(), "r");
  if (!child) return -1;
  char line[64] = {};
  bool loaded = std::fgets(line, sizeof line, child) && std::strncmp(line, "loaded", 6) == 0;
  auto t1 = std::chrono::steady_clock::now();
  pclose(child);
  return loaded ? std::chrono::duration<double, std::milli>(t1 - t0).count() : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The technician's page against the start page it replaced, alternately so
// that machine noise falls on both.
void ComparePages(const char* self) {
  std::vector<double> bare, page;
  for (int i = 0; i < 7; ++i) {
    bare.push_back(StartupMs(self, "app://res/selftest/start/index.html"));
    page.push_back(StartupMs(self, "app://res/linkmeter/index.html"));
  }
  const double b = Median(bare), p = Median(page);
  std::printf("start-up to page loaded: bare start page median %.0f ms, technician's page median %.0f ms (%.2fx)\n",
              b, p, b > 0 ? p / b : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;  // the process's device connections
  if (argc > 2 && std::strcmp(argv[1], "--startup-probe") == 0) return StartupProbe(1, argv, argv[2]);
  const bool bridgeOnly = argc > 1 && std::strcmp(argv[1], "--bridge-only") == 0;

  std::vector<lmbench::ProcessPeak> peaks;
  // `--only bare|floor|bridge [--burst [N]]`: that ping alone, for a profiler.
  const bool only = argc > 2 && std::strcmp(argv[1], "--only") == 0;
  const bool burst = only && argc > 3 && std::strcmp(argv[3], "--burst") == 0;
  const std::string url = std::string("app://res/selftest/bench.html") + (only ? "?only=" + std::string(argv[2]) : "") +
                          (burst ? "&burst" : "") +
                          (burst && argc > 4 ? "&bursts=" + std::string(argv[4]) : "");
  lmtest::PageRun run = lmtest::RunSelfTestPage(url, 300,
                                                [&] { peaks = lmbench::ChildPeaks(); });
  if (!run.error.empty() || !run.finished) {
    std::fprintf(stderr, "bench-gui: the benchmark page did not finish %s\n", run.error.c_str());
    return 1;
  }
  for (const auto& c : run.cases) std::printf("%-13s %s\n", c.name.c_str(), c.detail.c_str());
  std::printf("peak RSS: ui %ld MB", lmbench::SelfPeakKb() / 1024);
  for (const auto& p : peaks) std::printf(", %s %ld MB", p.name.c_str(), p.peakKb / 1024);
  std::printf("\n");
  if (bridgeOnly || only) return 0;

  std::vector<double> startups;
  for (int i = 0; i < 5; ++i) startups.push_back(StartupMs(argv[0]));
  std::vector<double> sorted = startups;
  std::sort(sorted.begin(), sorted.end());
  std::printf("start-up to page loaded: median %.0f ms (", sorted[2]);
  for (size_t i = 0; i < startups.size(); ++i) std::printf("%s%.0f", i ? " " : "", startups[i]);
  std::printf(")\n");
  ComparePages(argv[0]);
  return 0;
}
