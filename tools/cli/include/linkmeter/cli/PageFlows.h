#pragma once
// The page's flows (web/linkmeter/src/cliflows.js: site and route surveys,
// the channel scan, the recorder and its write queue) run by JavaScriptCore
// on the command line's main loop: the page's api goes to the in-process
// router, timers are the loop's, and a stop request aborts the flow's
// signal. Each Run serves the loop until the flow's promise settles. One
// object per run, used on the thread that made it.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "linkmeter/cli/PendingWritesFile.h"
#include "lm/Json.h"

namespace linkmeter::cli {

class CliHost;
class CliLoop;
class Progress;

class PageFlows {
 public:
  // `pending`: where the writes a busy store could not take wait for the
  // next run.
  PageFlows(CliHost& host, CliLoop& loop, Progress& progress, PendingWritesFile pending);
  // `bundle`: another script in place of the embedded one (tests).
  PageFlows(CliHost& host, CliLoop& loop, Progress& progress, PendingWritesFile pending, std::string_view bundle);
  ~PageFlows();
  PageFlows(const PageFlows&) = delete;
  PageFlows& operator=(const PageFlows&) = delete;

  bool Ready() const { return impl_ != nullptr; }
  const std::string& LoadError() const { return loadError_; }

  // Runs flow `name` with `args` to its end: its answer, or nullopt with
  // `error` set. Once `*stop` holds (checked at least every 100 ms), the
  // flow's abort signal fires and the flow ends between two calls.
  std::optional<lm::json::Value> Run(std::string_view name, const lm::json::Array& args, std::string* error,
                                     const std::atomic<bool>* stop = nullptr);

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
  std::string loadError_;
};

}  // namespace linkmeter::cli
