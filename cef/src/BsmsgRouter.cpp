#include "sorrel/cef/BsmsgRouter.h"

#include "sorrel/cef/Exception.h"
#include "sorrel/cef/RequestText.h"
#include "vantor/detail/SeriousError.h"

namespace Sorrel::cef {
namespace {

std::string SeriousErrorText(const vantor::detail::SeriousError& e) {
  lm::json::Object obj;
  obj["code1"] = lm::json::Number(-99);
  obj["file"] = lm::json::String(e.FileName());
  obj["line"] = lm::json::Number(e.Line());
  if (!e.Message().empty()) obj["msg"] = lm::json::String(e.Message());
  return lm::json::ToText(lm::json::Value(std::move(obj)));
}

}  // namespace

void ExecuteQuery(const JsQueryHandlerPtr& handler, const BrowserPtr& browser, lm::json::Value&& args,
                  const std::shared_ptr<BsmsgRouterCallback>& reply) {
  handler->MarkRunning();
  try {
    handler->ExecuteTaking(browser, std::move(args), reply);
  } catch (const Exception& e) {
    reply->Failure(e.Code(), e.Text());
  } catch (const vantor::detail::SeriousError& e) {
    reply->Failure(-99, SeriousErrorText(e));
  } catch (const std::exception& e) {
    reply->Failure(-99, lm::json::ToText(lm::json::ErrorObject(-99, e.what())));
  } catch (...) {
    reply->Failure(-99, lm::json::ToText(lm::json::ErrorObject(-99, "unknown error")));
  }
  handler->SetState(JsQueryHandler::kFinished);
}

BsmsgRouter::BsmsgRouter(QueryTaskGroup& tasks)
    : tasks_(tasks), pending_(std::make_shared<PendingQueryTable>()) {}

BsmsgRouter::~BsmsgRouter() { Shutdown(); }

void BsmsgRouter::AttachFactory(std::shared_ptr<const JsQueryFactory> factory) {
  std::lock_guard lock(factoryMutex_);
  factory_ = std::move(factory);
}

std::shared_ptr<const JsQueryFactory> BsmsgRouter::Factory() const {
  std::lock_guard lock(factoryMutex_);
  return factory_;
}

bool BsmsgRouter::OnQuery(const BrowserPtr& browser, int64_t queryId, const std::string& request,
                          bool /*persistent*/, const std::shared_ptr<QueryCallback>& callback) {
  auto factory = Factory();
  if (!factory) return false;
  auto parsed = ParseRequest(request);
  if (!parsed) return false;

  if (parsed->name == kCancelRequestName) {
    auto id = ParseCancelId(parsed->argument);
    if (!id) return false;
    pending_->Cancel(*id, false);
    callback->Success("null");
    return true;
  }

  JsQueryHandlerPtr handler = factory->Find(parsed->queryName);
  if (!handler) return false;
  if (parsed->tooDeep) {
    const std::string why = "Invalid arguments : the argument is nested deeper than " +
                            std::to_string(lm::json::kMaxNesting) + " levels";
    callback->Failure(0, lm::json::ToText(lm::json::ErrorObject(0, why)));
    return true;
  }
  if (auto fresh = handler->Clone()) handler = std::move(fresh);

  auto reply = std::make_shared<BsmsgRouterCallback>(pending_, queryId, browser, callback);
  // Recorded before the task starts, so a quick answer always finds its entry.
  reply->Bind(pending_->Insert(queryId, handler, reply->Cancellation()));
  tasks_.Run([handler, browser, args = std::move(parsed->argument), reply = std::move(reply)]() mutable {
    ExecuteQuery(handler, browser, std::move(args), reply);
  });
  pending_->Purge();
  return true;
}

void BsmsgRouter::OnQueryCanceled(const BrowserPtr& /*browser*/, int64_t queryId) {
  pending_->Cancel(queryId, true);
}

void BsmsgRouter::Shutdown() {
  std::call_once(shutdown_, [&] {
    pending_->CancelAll();
    tasks_.CancelAndWait();
  });
}

}  // namespace Sorrel::cef
