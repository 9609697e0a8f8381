#pragma once
// The page's flows (web/linkmeter/src/cliflows.js: site and route surveys,
// the channel scan, the recorder and its write queue) run in the run's one
// JavaScriptCore context on the command line's main loop: the page's api
// goes to the in-process router, timers are the loop's, and a stop request
// aborts the flow's signal. Each Run serves the loop until the flow's
// promise settles. One object per run, used on the thread that made it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "linkmeter/cli/PendingWritesFile.h"
#include "linkmeter/cli/ScriptContext.h"
#include "lm/Json.h"

namespace linkmeter::cli {

class CliHost;
class CliLoop;
class Progress;

class PageFlows : private ScriptContext::Host {
 public:
  // Serves the flows of `script`, which outlives this; `pending`: where the
  // writes a busy store could not take wait for the next run.
  PageFlows(ScriptContext& script, CliHost& host, CliLoop& loop, Progress& progress, PendingWritesFile pending);
  ~PageFlows() override;
  PageFlows(const PageFlows&) = delete;
  PageFlows& operator=(const PageFlows&) = delete;

  bool Ready() const { return script_.Ready(); }
  const std::string& LoadError() const { return script_.LoadError(); }

  // Runs flow `name` with `args` to its end: its answer, or nullopt with
  // `error` set. Once `*stop` holds (checked at least every 100 ms), the
  // flow's abort signal fires and the flow ends between two calls.
  std::optional<lm::json::Value> Run(std::string_view name, const lm::json::Array& args, std::string* error,
                                     const std::atomic<bool>* stop = nullptr);

 private:
  int64_t Query(const std::string& request, std::function<void(bool, const std::string&)> done) override;
  void Cancel(int64_t queryId) override;
  uint64_t SetTimer(std::chrono::milliseconds delay, std::function<void()> fire) override;
  void ClearTimer(uint64_t id) override;
  void ShowProgress(double done, double total, const std::string& text) override;
  std::string LoadPending() override;
  std::string SavePending(const std::string& text) override;

  ScriptContext& script_;
  CliHost& host_;
  CliLoop& loop_;
  Progress& progress_;
  const PendingWritesFile pending_;
};

}  // namespace linkmeter::cli
