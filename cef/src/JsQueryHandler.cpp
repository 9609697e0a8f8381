#include "sorrel/cef/JsQueryHandler.h"

#include "sorrel/cef/BsmsgRouterCallback.h"
#include "sorrel/cef/PageScript.h"

namespace Sorrel::cef {

JsQueryHandler::PrmQuery::PrmQuery(std::shared_ptr<JsQueryHandler> h, BrowserPtr b,
                                   lm::json::Value a, std::shared_ptr<BsmsgRouterCallback> r)
    : handler(std::move(h)),
      browser(std::move(b)),
      args(std::move(a)),
      reply(std::move(r)),
      progress(std::make_shared<std::atomic<ProgressState>>(ProgressState::kNone)) {
  if (args.is<lm::json::Object>()) {
    const auto& obj = args.get<lm::json::Object>();
    auto it = obj.find("onProgressID");
    if (it != obj.end() && it->second.is<std::string>()) progressName = it->second.get<std::string>();
  }
}

JsQueryHandler::JsQueryHandler(std::string queryName, std::string scriptName, int32_t cancellable)
    : queryName_(std::move(queryName)), scriptName_(std::move(scriptName)), cancellable_(cancellable) {}

std::string JsQueryHandler::Script() const {
  return DefaultWrapperScript(scriptName_, queryName_, cancellable_ != 0);
}

void JsQueryHandler::Execute(const BrowserPtr&, const lm::json::Value&,
                             const std::shared_ptr<BsmsgRouterCallback>& reply) {
  reply->Success("null");
}

}  // namespace Sorrel::cef
