// The bridge in a real WebKitGTK window: runs the self-test page and reports
// each of its cases by name. Exit status 0 only when every case passed.
#include <cstdio>
#include <string>

#include "SelfTestPage.h"

int main(int argc, char** argv) {
  std::string url = "app://res/selftest/index.html";
  if (argc > 1) url += std::string("?only=") + argv[1];
  lmtest::PageRun run = lmtest::RunSelfTestPage(url, 90);
  if (!run.error.empty()) {
    std::fprintf(stderr, "test-gui: %s\n", run.error.c_str());
    return 1;
  }
  int failed = 0;
  for (const auto& c : run.cases) {
    std::printf("[%s] %s%s%s\n", c.ok ? "  OK  " : "FAILED", c.name.c_str(), c.detail.empty() ? "" : ": ",
                c.detail.c_str());
    if (!c.ok) ++failed;
  }
  if (run.timedOut) std::printf("watchdog: the page did not finish in time\n");
  std::printf("%zu passed, %d failed\n", run.cases.size() - failed, failed);
  std::fflush(stdout);
  bool ok = run.finished && !run.timedOut && failed == 0 && !run.cases.empty();
  return ok ? 0 : 1;
}
