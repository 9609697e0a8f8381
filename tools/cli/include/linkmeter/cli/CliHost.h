#pragma once
// A browser-less host for the query router: each request runs through the
// same dispatch and query task group as a page's, one after another.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"

namespace linkmeter::cli {

class CliLoop;

class CliHost {
 public:
  enum class Outcome { kSuccess, kFailure, kUnhandled };
  struct Answer {
    Outcome outcome = Outcome::kUnhandled;
    int32_t code = 0;
    std::string text;  // the success or failure text
  };

  // Queries run on `tasks`. With a loop, the waiting thread serves it until
  // each answer arrives.
  CliHost(Sorrel::cef::Manager& manager, Sorrel::cef::QueryTaskGroup& tasks, CliLoop* loop = nullptr);
  ~CliHost();

  // Runs one request to its answer and prints the answer's line.
  Outcome Run(const std::string& request, std::ostream& out);
  // Runs one request to its answer and hands it back.
  Answer Call(const std::string& request);
  // Starts one request; `done` gets its answer on the loop's thread (never,
  // when the loop stopped first). Needs a loop. The id is the query's.
  int64_t Send(const std::string& request, std::function<void(Answer)> done);
  // The router gives the query `queryId` up (its handler hears a cancel)
  // and its `done` hears at once a failure with kGivenUpCode, as a window's
  // router answers a query the page gave up.
  void Cancel(int64_t queryId);
  static constexpr int32_t kGivenUpCode = -2147483647 - 1;

  Sorrel::cef::BsmsgRouter& Router() { return router_; }
  CliLoop* Loop() const { return loop_; }

 private:
  Sorrel::cef::BsmsgRouter router_;
  Sorrel::cef::BrowserPtr browser_;
  int64_t nextQueryId_ = 1;
  CliLoop* loop_;
  // The callbacks of queries sent and not answered yet (loop thread only).
  std::map<int64_t, std::weak_ptr<Sorrel::cef::QueryCallback>> sent_;
};

// The answer line for a failure: a JSON object text gets "api" = query name.
std::string FailureLine(int32_t code, const std::string& text, const std::string& queryName);

}  // namespace linkmeter::cli
