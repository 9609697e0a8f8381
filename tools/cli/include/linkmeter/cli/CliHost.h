#pragma once
// A browser-less host for the query router: each request runs through the
// same dispatch and query task group as a page's, one after another.

#include <cstdint>
#include <iosfwd>
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

  Sorrel::cef::BsmsgRouter& Router() { return router_; }

 private:
  Sorrel::cef::BsmsgRouter router_;
  Sorrel::cef::BrowserPtr browser_;
  int64_t nextQueryId_ = 1;
  CliLoop* loop_;
};

// The answer line for a failure: a JSON object text gets "api" = query name.
std::string FailureLine(int32_t code, const std::string& text, const std::string& queryName);

}  // namespace linkmeter::cli
