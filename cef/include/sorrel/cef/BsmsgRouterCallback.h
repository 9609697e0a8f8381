#pragma once
// The reply of one query. Answers at most once, only while the router still
// waits for it, and only while the browser's main frame shows the page that
// asked. A reply released without an answer fails the query, so no page is
// left waiting. Engines carry only UTF-8: a success whose text is not valid
// UTF-8 becomes the failure kUnsendableAnswer; in a failure text the stray
// bytes are shown as U+FFFD.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "lm/CancelToken.h"
#include "sorrel/cef/Engine.h"

namespace Sorrel::cef {

class PendingQueryTable;

class BsmsgRouterCallback {
 public:
  static constexpr int32_t kUnsendableAnswer = -98;

  BsmsgRouterCallback(std::weak_ptr<PendingQueryTable> table, int64_t queryId, BrowserPtr browser,
                      std::shared_ptr<QueryCallback> callback);
  ~BsmsgRouterCallback();
  BsmsgRouterCallback(const BsmsgRouterCallback&) = delete;
  BsmsgRouterCallback& operator=(const BsmsgRouterCallback&) = delete;

  // The text must be JSON.
  void Success(const std::string& text);
  // The text must be a JSON object.
  void Failure(int32_t code, const std::string& text);

  // Names the table entry this reply answers; set once, before the call runs.
  void Bind(std::uint64_t ticket) { ticket_ = ticket; }
  // The call's own cancellation: set when the page or the router cancels it.
  const std::shared_ptr<lm::CancelToken>& Cancellation() const { return cancel_; }

  int64_t QueryId() const { return queryId_; }
  const BrowserPtr& GetBrowser() const { return browser_; }
  const std::string& Url() const { return url_; }

 private:
  template <typename Deliver>
  void Answer(Deliver deliver);

  std::weak_ptr<PendingQueryTable> table_;
  int64_t queryId_;
  std::uint64_t ticket_ = 0;
  std::shared_ptr<lm::CancelToken> cancel_ = std::make_shared<lm::CancelToken>();
  BrowserPtr browser_;
  std::shared_ptr<QueryCallback> callback_;
  std::string url_;
  std::atomic<bool> settled_{false};  // answered, or known to be past answering
};

}  // namespace Sorrel::cef
