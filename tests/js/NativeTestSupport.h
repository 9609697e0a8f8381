#pragma once
// Calls native host functions as the page would, through the dispatcher
// that adds "api" to failures.

#include <string>
#include <vector>

#include "lm/Json.h"
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

}  // namespace js_test
