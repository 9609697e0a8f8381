#include "sorrel/cef/BsmsgRouterCallback.h"

#include "lm/Json.h"
#include "sorrel/cef/PendingQueryTable.h"

namespace Sorrel::cef {

BsmsgRouterCallback::BsmsgRouterCallback(std::weak_ptr<PendingQueryTable> table, int64_t queryId,
                                         BrowserPtr browser, std::shared_ptr<QueryCallback> callback)
    : table_(std::move(table)),
      queryId_(queryId),
      browser_(std::move(browser)),
      callback_(std::move(callback)),
      url_(browser_ ? browser_->MainFrameUrl() : std::string()) {}

BsmsgRouterCallback::~BsmsgRouterCallback() {
  Failure(-99, lm::json::ToText(lm::json::ErrorObject(-99, "the query ended without an answer")));
}

template <typename Deliver>
void BsmsgRouterCallback::Answer(Deliver deliver) {
  auto table = table_.lock();
  if (!table || !table->Finish(ticket_)) return;  // answered, or given up
  const std::string now = browser_ ? browser_->MainFrameUrl() : std::string();
  if (now != url_) return;  // the page has navigated away
  deliver();
}

void BsmsgRouterCallback::Success(const std::string& text) {
  Answer([&] { callback_->Success(text); });
}

void BsmsgRouterCallback::Failure(int32_t code, const std::string& text) {
  Answer([&] { callback_->Failure(code, text); });
}

}  // namespace Sorrel::cef
