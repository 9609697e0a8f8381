#include "sorrel/cef/webkit/UserMessageQueryRouter.h"

#include <vector>

#include "lm/Json.h"
#include "sorrel/cef/webkit/Protocol.h"
#include "sorrel/cef/webkit/QueryWire.h"
#include "sorrel/cef/webkit/WebKitBrowser.h"

namespace Sorrel::cef::webkit {
namespace {

void Reply(WebKitUserMessage* message, bool success, int32_t code, const std::string& text) {
  webkit_user_message_send_reply(message, webkit_user_message_new(kMsgQuery, EncodeQueryAnswer(success, code, text)));
}

}  // namespace

// The engine callback of one query: answers travel to the main thread.
class UserMessageQueryRouter::Callback : public QueryCallback {
 public:
  Callback(std::weak_ptr<UserMessageQueryRouter> router, std::shared_ptr<LoopPoster> mainLoop, int64_t queryId)
      : router_(std::move(router)), mainLoop_(std::move(mainLoop)), queryId_(queryId) {}
  void Success(const std::string& text) override { Post(true, 0, text); }
  void Failure(int32_t code, const std::string& text) override { Post(false, code, text); }

 private:
  void Post(bool success, int32_t code, const std::string& text) {
    mainLoop_->Post([router = router_, id = queryId_, success, code, text] {
      if (auto r = router.lock()) r->Answer(id, success, code, text);
    });
  }
  std::weak_ptr<UserMessageQueryRouter> router_;
  std::shared_ptr<LoopPoster> mainLoop_;
  int64_t queryId_;
};

std::shared_ptr<UserMessageQueryRouter> UserMessageQueryRouter::Create(BsmsgRouter& router, BrowserPtr browser,
                                                                       std::shared_ptr<LoopPoster> mainLoop) {
  return std::shared_ptr<UserMessageQueryRouter>(
      new UserMessageQueryRouter(router, std::move(browser), std::move(mainLoop)));
}

UserMessageQueryRouter::UserMessageQueryRouter(BsmsgRouter& router, BrowserPtr browser,
                                               std::shared_ptr<LoopPoster> mainLoop)
    : router_(router), browser_(std::move(browser)), mainLoop_(std::move(mainLoop)) {}

UserMessageQueryRouter::~UserMessageQueryRouter() { CancelAll(); }

void UserMessageQueryRouter::OnQuery(WebKitUserMessage* message) {
  auto query = DecodeQueryRequest(webkit_user_message_get_parameters(message));
  if (!query) {
    Reply(message, false, -1, lm::json::ToText(lm::json::ErrorObject(-1, "malformed query")));
    return;
  }
  const int64_t frameId = query->frameId, queryId = query->requestId;
  if (pending_.count(queryId)) {
    Reply(message, false, -1, lm::json::ToText(lm::json::ErrorObject(-1, "duplicate query id")));
    return;
  }
  pending_[queryId] = Pending{WEBKIT_USER_MESSAGE(g_object_ref(message)), frameId};
  auto callback = std::make_shared<Callback>(weak_from_this(), mainLoop_, queryId);
  if (!router_.OnQuery(browser_, queryId, std::string(query->request), false, callback)) {
    // Nobody takes it: the page still gets a failure object it can parse.
    Answer(queryId, false, -1, lm::json::ToText(lm::json::ErrorObject(-1, "unhandled query")));
  }
}

void UserMessageQueryRouter::Answer(int64_t queryId, bool success, int32_t code, const std::string& text) {
  auto it = pending_.find(queryId);
  if (it == pending_.end()) return;  // given up, or answered already
  WebKitUserMessage* message = it->second.message;
  pending_.erase(it);
  Reply(message, success, code, text);
  g_object_unref(message);
}

void UserMessageQueryRouter::GiveUp(int64_t queryId) {
  auto it = pending_.find(queryId);
  if (it == pending_.end()) return;
  WebKitUserMessage* message = it->second.message;
  pending_.erase(it);
  router_.OnQueryCanceled(browser_, queryId);
  Reply(message, false, kCancelledCode, "");
  g_object_unref(message);
}

void UserMessageQueryRouter::OnCancel(int64_t requestId) { GiveUp(requestId); }

void UserMessageQueryRouter::OnFrameCleared(int64_t frameId) {
  std::vector<int64_t> ids;
  for (const auto& [id, p] : pending_) {
    if (p.frameId == frameId) ids.push_back(id);
  }
  for (auto id : ids) GiveUp(id);
}

void UserMessageQueryRouter::CancelAll() {
  while (!pending_.empty()) GiveUp(pending_.begin()->first);
}

}  // namespace Sorrel::cef::webkit
