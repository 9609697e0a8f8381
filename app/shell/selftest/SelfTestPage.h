#pragma once
// Runs a self-test page in a real window and collects the results it reports
// with app.sendProcessMessage("lmtest.result", name, ok, detail) and
// "lmtest.done". Bounded by a watchdog.

#include <functional>
#include <string>
#include <vector>

namespace lmtest {

struct CaseResult {
  std::string name;
  bool ok = false;
  std::string detail;
};

struct PageRun {
  bool finished = false;  // the page said it was done
  bool timedOut = false;
  std::string error;      // the window could not be started
  std::vector<CaseResult> cases;
};

// `onDone` runs when the page reports it is done, while the window and its
// page processes are still up (the benchmark reads their memory then).
PageRun RunSelfTestPage(const std::string& url, int watchdogSeconds, std::function<void()> onDone = {});

}  // namespace lmtest
