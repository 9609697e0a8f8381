#pragma once
// Calls native host functions as the page would, through the dispatcher
// that adds "api" to failures.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../cef/BridgeTestSupport.h"
#include "lm/Json.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/JsFunctionHandler.h"

namespace js_test {

// The JSON library writes "/" as "\\/"; tests read the plain form.
inline std::string Unescaped(std::string text) {
  for (size_t at = text.find("\\/"); at != std::string::npos; at = text.find("\\/", at)) text.erase(at, 1);
  return text;
}

inline lm::json::Value J(const std::string& text) {
  auto v = lm::json::Parse(text);
  return v ? *v : lm::json::Value();
}

struct Outcome {
  std::string exception;  // empty when the call succeeded
  lm::json::Value value;
  bool undefined = false;
  std::string Text() const {
    return Unescaped(exception.empty() ? (undefined ? "undefined" : lm::json::ToText(value)) : exception);
  }
};

// Each argument is the JSON text of one positional argument.
inline Outcome CallNative(const Sorrel::cef::JsNativeHandlerPtr& handler, const std::vector<std::string>& args) {
  Sorrel::cef::JsFunctionHandler dispatcher;
  dispatcher.Add(handler);
  Sorrel::cef::JsNativeHandler::Call call;
  call.nativeName = handler->NativeName();
  for (const auto& a : args) call.arguments.push_back(J(a));
  dispatcher.Execute(call);
  return {call.exception, call.returnValue, call.returnUndefined};
}

// Sends one "jsquery:" request through the router and waits for its answer:
// "ok <text>" or "fail <code> <text>".
inline std::string AskRouter(Sorrel::cef::BsmsgRouter& router, const std::shared_ptr<bridge_test::FakeBrowser>& browser,
                             int64_t id, const std::string& request) {
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  EXPECT_TRUE(router.OnQuery(browser, id, "jsquery:" + request, false, cb));
  EXPECT_TRUE(cb->WaitFor(1));
  auto a = cb->Answers().at(0);
  return Unescaped(a.success ? "ok " + a.text : "fail " + std::to_string(a.code) + " " + a.text);
}

}  // namespace js_test
