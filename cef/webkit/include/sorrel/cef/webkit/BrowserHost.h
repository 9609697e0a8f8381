#pragma once
// Wires one web view to the bridge: its Browser, queries from the page, the
// page's process messages, and giving queries up when the page goes.
// Main thread only.

#include <webkit2/webkit2.h>

#include <functional>
#include <memory>

#include "sorrel/cef/BsmsgHandlers.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/webkit/UserMessageQueryRouter.h"
#include "sorrel/cef/webkit/WebKitBrowser.h"

namespace Sorrel::cef::webkit {

class BrowserHost {
 public:
  // A user message no one else took; true when handled.
  using MessageHook = std::function<bool(WebKitUserMessage*)>;

  BrowserHost(WebKitWebView* view, BsmsgRouter& queries, const BsmsgMsgRouter& messages,
              std::shared_ptr<LoopPoster> mainLoop);
  ~BrowserHost();
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  const std::shared_ptr<WebKitBrowser>& GetBrowser() const { return browser_; }
  WebKitWebView* View() const { return view_; }
  void SetMessageHook(MessageHook hook) { hook_ = std::move(hook); }
  size_t PendingQueries() const { return queries_->PendingCount(); }

 private:
  static gboolean OnUserMessage(WebKitWebView*, WebKitUserMessage* message, gpointer self);
  static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static void OnProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
  bool Dispatch(WebKitUserMessage* message);

  WebKitWebView* view_;
  std::shared_ptr<WebKitBrowser> browser_;
  std::shared_ptr<UserMessageQueryRouter> queries_;
  const BsmsgMsgRouter& messages_;
  MessageHook hook_;
  gulong handlers_[3] = {0, 0, 0};
};

}  // namespace Sorrel::cef::webkit
