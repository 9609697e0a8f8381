#include "sorrel/cef/BsmsgRouterCallback.h"

#include "lm/Json.h"
#include "lm/Text.h"
#include "sorrel/cef/PendingQueryTable.h"

namespace Sorrel::cef {
namespace {

// Engines carry answers as UTF-8 strings; a text that is not would be lost
// on the way, leaving the page waiting for ever. A success is not repaired:
// a path with its bytes replaced would name another file.
std::string UnsendableText() {
  return lm::json::ToText(lm::json::ErrorObject(BsmsgRouterCallback::kUnsendableAnswer,
                                                "the answer cannot be sent: its text is not valid UTF-8"));
}

}  // namespace

BsmsgRouterCallback::BsmsgRouterCallback(std::weak_ptr<PendingQueryTable> table, int64_t queryId,
                                         BrowserPtr browser, std::shared_ptr<QueryCallback> callback)
    : table_(std::move(table)),
      queryId_(queryId),
      browser_(std::move(browser)),
      callback_(std::move(callback)),
      url_(browser_ ? browser_->MainFrameUrl() : std::string()) {}

BsmsgRouterCallback::~BsmsgRouterCallback() {
  if (settled_.load(std::memory_order_acquire)) return;
  Failure(-99, lm::json::ToText(lm::json::ErrorObject(-99, "the query ended without an answer")));
}

template <typename Deliver>
void BsmsgRouterCallback::Answer(Deliver deliver) {
  auto table = table_.lock();
  const bool mine = table && table->Finish(ticket_);
  settled_.store(true, std::memory_order_release);
  if (!mine) return;  // answered, or given up
  const std::string now = browser_ ? browser_->MainFrameUrl() : std::string();
  if (now != url_) return;  // the page has navigated away
  deliver();
}

void BsmsgRouterCallback::Success(const std::string& text) {
  if (!lm::text::IsValidUtf8(text)) return Failure(kUnsendableAnswer, UnsendableText());
  Answer([&] { callback_->Success(text); });
}

void BsmsgRouterCallback::Failure(int32_t code, const std::string& text) {
  // A failure text is for reading: its stray bytes are shown as U+FFFD.
  if (!lm::text::IsValidUtf8(text)) {
    const std::string readable = lm::text::ReplaceInvalidUtf8(text);
    return Answer([&] { callback_->Failure(code, readable); });
  }
  Answer([&] { callback_->Failure(code, text); });
}

}  // namespace Sorrel::cef
