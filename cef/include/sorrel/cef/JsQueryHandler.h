#pragma once
// One asynchronous page function: its page name, its query name and the work
// it does on the query task group.
//
// Failures at this door: Execute raises the bridge's exceptions
// (sorrel/cef/Exception.h: a bad argument, a failure of the work) or, when
// it ends later, answers reply->Failure itself; the router turns whatever
// is raised into the failure answer, once (BsmsgRouter.cpp ExecuteQuery).
// Libraries below speak their own idioms (ExecResult, records' Result); a
// handler converts them once, at its own boundary.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "lm/Json.h"
#include "sorrel/cef/BsmsgRouterCallback.h"
#include "sorrel/cef/Engine.h"

namespace Sorrel::cef {

class JsQueryHandler : public std::enable_shared_from_this<JsQueryHandler> {
 public:
  enum State : int32_t { kCreated = 0, kRunning = 1, kFinished = 2, kCancelRequested = 3 };

  // Progress of a long-running call, shared by the handler and its helpers.
  enum class ProgressState : int32_t { kNone = 0, kRunning = 1, kDone = 2 };

  // The parameters of one call, bundled for helpers that need them all.
  struct PrmQuery {
    PrmQuery(std::shared_ptr<JsQueryHandler> handler, BrowserPtr browser, lm::json::Value args,
             std::shared_ptr<BsmsgRouterCallback> reply);
    virtual ~PrmQuery() = default;

    std::shared_ptr<JsQueryHandler> handler;
    BrowserPtr browser;
    lm::json::Value args;
    std::shared_ptr<BsmsgRouterCallback> reply;
    std::string progressName;  // the "onProgressID" member, empty when absent
    std::shared_ptr<std::atomic<ProgressState>> progress;
  };

  JsQueryHandler(std::string queryName, std::string scriptName, int32_t cancellable);
  virtual ~JsQueryHandler() = default;
  JsQueryHandler(const JsQueryHandler&) = delete;
  JsQueryHandler& operator=(const JsQueryHandler&) = delete;

  // A fresh handler for one call, or null when this object serves every call.
  virtual std::shared_ptr<JsQueryHandler> Clone() const { return nullptr; }
  // The page text that defines the page function.
  virtual std::string Script() const;
  // Does the work and answers through the reply, exactly once.
  virtual void Execute(const BrowserPtr& browser, const lm::json::Value& args,
                       const std::shared_ptr<BsmsgRouterCallback>& reply);
  // The same, given the call's own arguments to keep: a handler that holds
  // them for the call overrides it to take them without a copy.
  virtual void ExecuteTaking(const BrowserPtr& browser, lm::json::Value&& args,
                             const std::shared_ptr<BsmsgRouterCallback>& reply) {
    Execute(browser, args, reply);
  }
  // Cancel notification: routerCancel is true when the router gave up the
  // query (navigation, closed browser, the page's cancel function) and false
  // for an explicit "jsquery:cancel". Called under the pending-table lock:
  // it must not call back into the router.
  virtual void Cancel(bool routerCancel) { (void)routerCancel; }

  const std::string& QueryName() const { return queryName_; }
  const std::string& ScriptName() const { return scriptName_; }
  int32_t Cancellable() const { return cancellable_; }
  int32_t GetState() const { return state_.load(); }
  void SetState(int32_t state) { state_.store(state); }
  // Enters the running state unless a cancel arrived before the call started,
  // which must not be forgotten.
  void MarkRunning() {
    int32_t s = state_.load();
    while (s != kCancelRequested && !state_.compare_exchange_weak(s, kRunning)) {
    }
  }

 private:
  std::string queryName_;
  std::string scriptName_;
  int32_t cancellable_;
  std::atomic<int32_t> state_{kCreated};
};

using JsQueryHandlerPtr = std::shared_ptr<JsQueryHandler>;

}  // namespace Sorrel::cef
