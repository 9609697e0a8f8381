#pragma once
// The program's device functions registered with a router and one browser,
// as a page reaches them: Query sends a request and waits for its answer
// ("failure " + text on a failure). And a simulator serving a site on the
// LAN only, without a transcript.

#include <cstdint>
#include <cstdio>
#include <future>
#include <memory>
#include <string>

#include "linkmeter/sim/Simulator.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"
#include "sorrel/com/ComServices.h"

namespace bench {

// The started simulator, or null after printing why it did not start;
// `commands` (made by the benchmark's main) outlives it.
inline std::unique_ptr<linkmeter::sim::Simulator> StartSimulator(const linkmeter::sim::SiteSpec& site,
                                                                 const linkmeter::sim::CommandTable& commands) {
  linkmeter::sim::SimulatorOptions options;
  options.attachUsb = false;
  auto sim = std::make_unique<linkmeter::sim::Simulator>(site, commands, options);
  sim->GetTranscript().Keep(false);
  std::string error;
  if (!sim->Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return nullptr;
  }
  return sim;
}

// The one browser of a benchmark's page.
class BenchBrowser : public Sorrel::cef::Browser {
 public:
  int32_t Identifier() const override { return 1; }
  std::string MainFrameUrl() const override { return "bench:"; }
};

// An answer to wait for: the text, or "failure " + text.
class PromiseCallback : public Sorrel::cef::QueryCallback {
 public:
  std::promise<std::string> answer;
  void Success(const std::string& text) override { answer.set_value(text); }
  void Failure(int32_t, const std::string& text) override { answer.set_value("failure " + text); }
};

class PageRig {
 public:
  PageRig() {
    Sorrel::Com::RegisterComFunctions(manager_, devices_);
    manager_.RegisterBrowser(browser_, router_);
  }
  ~PageRig() { router_.Shutdown(); }

  std::string Query(const std::string& request) {
    auto cb = std::make_shared<PromiseCallback>();
    auto future = cb->answer.get_future();
    router_.OnQuery(browser_, nextId_++, request, false, cb);
    return future.get();
  }

 private:
  Sorrel::Com::ComServices devices_;
  Sorrel::cef::Manager manager_;
  Sorrel::cef::QueryTaskGroup tasks_;
  Sorrel::cef::BsmsgRouter router_{tasks_};
  std::shared_ptr<BenchBrowser> browser_ = std::make_shared<BenchBrowser>();
  int64_t nextId_ = 1;
};

}  // namespace bench
