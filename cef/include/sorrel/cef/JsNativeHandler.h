#pragma once
// A synchronous native page function that runs inside the page's process.
// The engine adapter fills a call with converted arguments and reads back the
// return value or the exception text. Failures at this door: as a query's,
// the bridge's exceptions, made into the exception text once
// (JsFunctionHandler::Execute).

#include <memory>
#include <string>
#include <vector>

#include "lm/Json.h"

namespace Sorrel::cef {

class JsNativeHandler {
 public:
  // One call. Arguments arrive as the page's `arguments` object unpacked into
  // a list; engine-specific values (functions, contexts) are reached through
  // the engine pointer the adapter sets.
  struct Call {
    std::string nativeName;
    std::vector<lm::json::Value> arguments;
    lm::json::Value returnValue;  // null unless the handler sets it
    std::string exception;        // non-empty: thrown in the page with this text
    void* engine = nullptr;       // the adapter's own call context
    bool returnUndefined = false; // the page gets undefined instead of returnValue
  };

  JsNativeHandler(std::string scriptName, std::string nativeName)
      : scriptName_(std::move(scriptName)), nativeName_(std::move(nativeName)) {}
  virtual ~JsNativeHandler() = default;

  virtual bool Execute(Call& call) = 0;

  const std::string& ScriptName() const { return scriptName_; }
  const std::string& NativeName() const { return nativeName_; }

 private:
  std::string scriptName_;
  std::string nativeName_;
};

using JsNativeHandlerPtr = std::shared_ptr<JsNativeHandler>;

}  // namespace Sorrel::cef
