#pragma once
// The command line's one JavaScriptCore context: the page's site logic and
// its flows, bundled as one script (web/linkmeter/src/cli.js, the global
// LinkmeterCli) and loaded once per run. Before the script runs the context
// gets what the page process would give it: the program's channel types
// (linkmeter.chtype.*, the page's own native functions) and the host
// functions of the flows (lmHost: queries, timers, progress, the pending
// writes' file), which reach a Host once one is attached (PageFlows).
//
// Thread-confined: the context belongs to the thread that made it and
// refuses calls from any other. SiteLogic calls the site functions,
// PageFlows runs the flows; both may share one context.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "lm/Json.h"

namespace linkmeter::cli {

class ScriptContext {
 public:
  // What the flows' host functions reach, on the context's thread.
  class Host {
   public:
    virtual ~Host() = default;
    // Starts a page request ("jsquery:NAME JSON"); `done(ok, text)` hears
    // its answer later, on this thread. The query's id.
    virtual int64_t Query(const std::string& request, std::function<void(bool, const std::string&)> done) = 0;
    virtual void Cancel(int64_t queryId) = 0;
    virtual uint64_t SetTimer(std::chrono::milliseconds delay, std::function<void()> fire) = 0;
    virtual void ClearTimer(uint64_t id) = 0;
    virtual void ShowProgress(double done, double total, const std::string& text) = 0;
    virtual std::string LoadPending() = 0;
    // The file written, or "" when none is left (or it could not be written).
    virtual std::string SavePending(const std::string& text) = 0;
  };

  // Loads the embedded script; Ready() says whether it worked.
  ScriptContext();
  // Loads `script` instead, which must set the global LinkmeterCli (tests).
  explicit ScriptContext(std::string_view script);
  ~ScriptContext();
  ScriptContext(const ScriptContext&) = delete;
  ScriptContext& operator=(const ScriptContext&) = delete;

  bool Ready() const { return state_ != nullptr; }
  // Why the script could not be loaded ("" when Ready()).
  const std::string& LoadError() const { return loadError_; }

  // Calls the site-logic function `function` (LinkmeterCli.site) with
  // `args`: its answer, or nullopt with `error` (may be null) set: an
  // unknown function, a thrown exception ("RouteError: noTarget"), an answer
  // that is not JSON, a call from another thread or a context that did not
  // load. An undefined answer is null.
  std::optional<lm::json::Value> CallSite(std::string_view function, const lm::json::Array& args,
                                          std::string* error);
  // The names of the site functions, sorted.
  std::vector<std::string> SiteFunctions() const;

  // Calls LinkmeterCli.flows.run(name, JSON of args, done) and serves
  // nothing: `done(ok, text)` hears the flow's end, on this thread, once
  // the host's loop runs. False with `error` when the call itself threw.
  bool StartFlow(const std::string& name, const lm::json::Array& args,
                 std::function<void(bool, const std::string&)> done, std::string* error);
  // Calls LinkmeterCli.flows.abort(): the running flow's signal fires.
  void AbortFlow();

  // The host the flows' functions reach from now on; nullptr detaches (the
  // functions then throw). Answers and timers of a detached host are dropped.
  void Attach(Host* host);
  bool OnOwnThread() const { return std::this_thread::get_id() == owner_; }

  struct State;

 private:
  std::shared_ptr<State> state_;
  std::string loadError_;
  std::thread::id owner_;
};

}  // namespace linkmeter::cli
