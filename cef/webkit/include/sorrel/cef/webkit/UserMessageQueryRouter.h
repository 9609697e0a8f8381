#pragma once
// The browser side of window.cefQuery over WebKit user messages. Each
// "lm.query" message is a query; its reply carries the answer. Queries are
// handed to the bridge's BsmsgRouter; answers arriving on worker threads are
// carried to the main thread and sent once, unless the page gave the query
// up (cancel, navigation, frame cleared, view closed) in the meantime.
// Main thread only, apart from the answer callbacks.

#include <webkit2/webkit2.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/webkit/LoopPoster.h"

namespace Sorrel::cef::webkit {

class UserMessageQueryRouter : public std::enable_shared_from_this<UserMessageQueryRouter> {
 public:
  // Answers reach the main thread through `mainLoop`.
  static std::shared_ptr<UserMessageQueryRouter> Create(BsmsgRouter& router, BrowserPtr browser,
                                                        std::shared_ptr<LoopPoster> mainLoop);
  ~UserMessageQueryRouter();

  // "lm.query": starts the query or fails it at once when nobody takes it.
  void OnQuery(WebKitUserMessage* message);
  // The page gave up one query, or every query of one frame.
  void OnCancel(int64_t requestId);
  void OnFrameCleared(int64_t frameId);
  // Navigation, a crashed page or a closed view: every query is given up.
  void CancelAll();

  size_t PendingCount() const { return pending_.size(); }

 private:
  struct Pending {
    WebKitUserMessage* message;  // referenced until replied
    int64_t frameId;
  };
  UserMessageQueryRouter(BsmsgRouter& router, BrowserPtr browser, std::shared_ptr<LoopPoster> mainLoop);

  class Callback;
  void Answer(int64_t queryId, bool success, int32_t code, const std::string& text);
  void GiveUp(int64_t queryId);

  BsmsgRouter& router_;
  BrowserPtr browser_;
  const std::shared_ptr<LoopPoster> mainLoop_;
  std::map<int64_t, Pending> pending_;  // by query id (the page's request id)
};

}  // namespace Sorrel::cef::webkit
