#include "SelfTestFunctions.h"

#include <glib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/BsmsgHandlers.h"
#include "sorrel/cef/BsmsgRouterCallback.h"
#include "sorrel/cef/CallbackTable.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"

using namespace Sorrel::cef;

namespace linkmeter::selftest {
namespace {

using Reply = std::shared_ptr<BsmsgRouterCallback>;

// A query whose work is a lambda.
class Query : public JsQueryHandler {
 public:
  using Body = std::function<void(const BrowserPtr&, const lm::json::Value&, const Reply&, JsQueryHandler&)>;
  Query(const std::string& name, const std::string& script, int32_t cancellable, Body body)
      : JsQueryHandler(name, script, cancellable), body_(std::move(body)) {}
  void Execute(const BrowserPtr& b, const lm::json::Value& args, const Reply& reply) override {
    body_(b, args, reply, *this);
  }

 private:
  Body body_;
};

// The slow query keeps one handler per call so each sees its own state.
class SlowQuery : public JsQueryHandler {
 public:
  SlowQuery() : JsQueryHandler("SelfTestSlow", "app.selftest.slow", 1) {}
  std::shared_ptr<JsQueryHandler> Clone() const override { return std::make_shared<SlowQuery>(); }
  void Execute(const BrowserPtr&, const lm::json::Value& args, const Reply& reply) override {
    int32_t ms = 500;
    ArgReader(args).Int32("ms", ms, ArgReader::Need::Optional);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::min(ms, 5000));
    while (std::chrono::steady_clock::now() < until && GetState() != kCancelRequested)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Slow().finished++;
    if (GetState() == kCancelRequested) {
      reply->Failure(-10, lm::json::ToText(lm::json::ErrorObject(-10, "cancelled")));
    } else {
      reply->Success(lm::json::ToText(lm::json::MakeObject({{"slept", lm::json::Number(ms)}})));
    }
  }
  void Cancel(bool routerCancel) override { (routerCancel ? Slow().routerCancels : Slow().explicitCancels)++; }
};

// Calls made through the CallbackTable, by callback id.
struct CallbackLog {
  std::mutex mutex;
  std::map<int32_t, std::pair<int, lm::json::Value>> calls;
};
struct ExternalLog {
  std::mutex mutex;
  std::vector<std::string> urls;
};
ExternalLog& External() {
  static ExternalLog log;
  return log;
}

CallbackLog& Callbacks() {
  static CallbackLog log;
  return log;
}

class Native : public JsNativeHandler {
 public:
  using Body = std::function<void(Call&)>;
  Native(const std::string& script, const std::string& native, Body body)
      : JsNativeHandler(script, native), body_(std::move(body)) {}
  bool Execute(Call& call) override {
    body_(call);
    return true;
  }

 private:
  Body body_;
};

void AddQueries(Manager& m, CallbackTable& callbacks) {
  m.AddQuery(std::make_shared<JsQueryHandler>("SelfTestPing", "app.selftest.ping", 0));
  m.AddQuery(std::make_shared<Query>("SelfTestEcho", "app.selftest.echo", 0,
                                     [](auto&, auto& args, auto& reply, auto&) { reply->Success(lm::json::ToText(args)); }));
  m.AddQuery(std::make_shared<Query>("SelfTestFail", "app.selftest.fail", 0, [](auto&, auto& args, auto&, auto&) {
    int32_t code = 0;
    ArgReader(args).Int32("code", code);
    Ensure(false, code, "bad code");
  }));
  m.AddQuery(std::make_shared<SlowQuery>());
  m.AddQuery(std::make_shared<Query>("SelfTestStatus", "app.selftest.status", 0, [](auto&, auto&, auto& reply, auto&) {
    reply->Success(lm::json::ToText(lm::json::MakeObject({{"explicitCancels", lm::json::Number(Slow().explicitCancels.load())},
                                                          {"finished", lm::json::Number(Slow().finished.load())},
                                                          {"routerCancels", lm::json::Number(Slow().routerCancels.load())}})));
  }));
  m.AddQuery(std::make_shared<Query>("SelfTestExternal", "app.selftest.external", 0, [](auto&, auto&, auto& reply, auto&) {
    std::lock_guard lock(External().mutex);
    lm::json::Array urls;
    for (const auto& url : External().urls) urls.push_back(lm::json::String(url));
    reply->Success(lm::json::ToText(lm::json::Value(std::move(urls))));
  }));
  m.AddQuery(std::make_shared<Query>("SelfTestEval", "app.selftest.eval", 0, [](auto& browser, auto& args, auto& reply, auto&) {
    std::string script;
    ArgReader(args).String("script", script);
    EnsureExecuted(EvalInPage(browser, script), -1, "cannot reach the page");
    reply->Success("true");
  }));
  m.AddQuery(std::make_shared<Query>("SelfTestAddCallback", "app.selftest.addCallback", 0, [&callbacks](auto&, auto&, auto& reply, auto&) {
    // The page learns the id only from this answer, so it is set before any call.
    auto id = std::make_shared<int32_t>(0);
    *id = callbacks.Add([id](const MsgList& args) {
      std::lock_guard lock(Callbacks().mutex);
      auto& entry = Callbacks().calls[*id];
      entry.first++;
      entry.second = ToJson(args);
    });
    reply->Success(std::to_string(*id));
  }));
  m.AddQuery(std::make_shared<Query>("SelfTestCallbackStatus", "app.selftest.callbackStatus", 0, [&callbacks](auto&, auto& args, auto& reply, auto&) {
    int32_t id = 0;
    ArgReader(args).Int32("id", id);
    std::lock_guard lock(Callbacks().mutex);
    auto it = Callbacks().calls.find(id);
    int count = it == Callbacks().calls.end() ? 0 : it->second.first;
    lm::json::Value last = it == Callbacks().calls.end() ? lm::json::Value() : it->second.second;
    reply->Success(lm::json::ToText(lm::json::MakeObject({{"args", last},
                                                          {"count", lm::json::Number(count)},
                                                          {"pending", lm::json::Number(static_cast<int64_t>(callbacks.Size()))}})));
  }));
}

void AddNatives(Manager& m) {
  m.AddNative(std::make_shared<Native>("app.selftest.nativeEcho", "SelfTestNativeEcho", [](auto& call) {
    call.returnValue = call.arguments.empty() ? lm::json::Value() : call.arguments[0];
  }));
  m.AddNative(std::make_shared<Native>("app.selftest.nativeFail", "SelfTestNativeFail",
                                       [](auto&) { throw JsArgumentException(-5, "native failed"); }));
  m.AddNative(std::make_shared<Native>("app.selftest.nop", "SelfTestNop", [](auto&) {}));
  m.AddNative(std::make_shared<Native>("app.selftest.now", "SelfTestNow", [](auto& call) {
    call.returnValue = lm::json::Value(static_cast<double>(g_get_monotonic_time()));
  }));
}

}  // namespace

SlowStatus& Slow() {
  static SlowStatus status;
  return status;
}

void RecordExternalOpen(const std::string& url) {
  std::lock_guard lock(External().mutex);
  External().urls.push_back(url);
}

void RegisterSelfTestFunctions(Manager& manager, CallbackTable& callbacks) {
  manager.AppendPrelude("app.selftest=app.selftest||{};");
  AddQueries(manager, callbacks);
  AddNatives(manager);
}

}  // namespace linkmeter::selftest
