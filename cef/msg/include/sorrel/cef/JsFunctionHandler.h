#pragma once
// Dispatches synchronous native calls by native name and turns errors that
// escape a handler into the page exception text: the error's JSON object
// with "api" set to the function's page name.

#include <map>
#include <string>

#include "sorrel/cef/JsNativeHandler.h"

namespace Sorrel::cef {

class Manager;

class JsFunctionHandler {
 public:
  JsFunctionHandler() = default;
  // Every native function registered with the manager.
  explicit JsFunctionHandler(const Manager& manager);

  // A handler under a native name already present replaces it.
  void Add(JsNativeHandlerPtr handler);
  JsNativeHandlerPtr Find(const std::string& nativeName) const;

  // False when the native name is unknown. Otherwise the call's return value
  // or exception text is set.
  bool Execute(JsNativeHandler::Call& call) const;

 private:
  std::map<std::string, JsNativeHandlerPtr> handlers_;
};

// An error text as the page sees it: a JSON object gets "api" = scriptName,
// any other text stays as it is.
std::string NativeExceptionText(const std::string& text, const std::string& scriptName);

}  // namespace Sorrel::cef
