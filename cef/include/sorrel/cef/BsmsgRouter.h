#pragma once
// The browser-side router of one browser: dispatches page queries to the
// registered handlers on the query task group, keeps the table of running
// queries, and cancels them when the page or the router gives them up.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "lm/Json.h"
#include "sorrel/cef/BsmsgRouterCallback.h"
#include "sorrel/cef/Engine.h"
#include "sorrel/cef/JsQueryFactory.h"
#include "sorrel/cef/PendingQueryTable.h"
#include "sorrel/cef/QueryTaskGroup.h"

namespace Sorrel::cef {

// Runs one query's Execute (handing it the arguments to keep) and turns
// every error escaping it into a failure.
void ExecuteQuery(const JsQueryHandlerPtr& handler, const BrowserPtr& browser,
                  lm::json::Value&& args, const std::shared_ptr<BsmsgRouterCallback>& reply);

class BsmsgRouter {
 public:
  explicit BsmsgRouter(QueryTaskGroup& tasks);
  ~BsmsgRouter();
  BsmsgRouter(const BsmsgRouter&) = delete;
  BsmsgRouter& operator=(const BsmsgRouter&) = delete;

  void AttachFactory(std::shared_ptr<const JsQueryFactory> factory);

  // A query from the page. False means not handled: the engine's router then
  // fails the query itself. `persistent` is accepted and ignored: every query
  // is answered once.
  bool OnQuery(const BrowserPtr& browser, int64_t queryId, const std::string& request,
               bool persistent, const std::shared_ptr<QueryCallback>& callback);
  // The engine's router gave a query up (the page's cancel, navigation, close).
  void OnQueryCanceled(const BrowserPtr& browser, int64_t queryId);
  // Cancels every running query and waits for the query task group. Runs once;
  // the destructor calls it too.
  void Shutdown();

  const PendingQueryTable& Pending() const { return *pending_; }

 private:
  std::shared_ptr<const JsQueryFactory> Factory() const;

  QueryTaskGroup& tasks_;
  std::shared_ptr<PendingQueryTable> pending_;
  mutable std::mutex factoryMutex_;
  std::shared_ptr<const JsQueryFactory> factory_;
  std::once_flag shutdown_;
};

}  // namespace Sorrel::cef
