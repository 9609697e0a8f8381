#include "sorrel/cef/JsFunctionHandler.h"

#include "lm/Json.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"
#include "vantor/detail/SeriousError.h"

namespace Sorrel::cef {

JsFunctionHandler::JsFunctionHandler(const Manager& manager) {
  for (const auto& handler : manager.NativeHandlers()) Add(handler);
}

void JsFunctionHandler::Add(JsNativeHandlerPtr handler) {
  if (handler) handlers_[handler->NativeName()] = std::move(handler);
}

JsNativeHandlerPtr JsFunctionHandler::Find(const std::string& nativeName) const {
  auto it = handlers_.find(nativeName);
  return it == handlers_.end() ? nullptr : it->second;
}

bool JsFunctionHandler::Execute(JsNativeHandler::Call& call) const {
  JsNativeHandlerPtr handler = Find(call.nativeName);
  if (!handler) return false;
  const std::string& api = handler->ScriptName();
  try {
    handler->Execute(call);
  } catch (const Exception& e) {
    call.exception = NativeExceptionText(e.Text(), api);
  } catch (const vantor::detail::SeriousError& e) {
    lm::json::Object obj;
    obj["code1"] = lm::json::Number(-99);
    obj["file"] = lm::json::String(e.FileName());
    obj["line"] = lm::json::Number(e.Line());
    if (!e.Message().empty()) obj["msg"] = lm::json::String(e.Message());
    call.exception = NativeExceptionText(lm::json::ToText(lm::json::Value(std::move(obj))), api);
  } catch (const std::exception& e) {
    // Anything else still reaches the page as an error, never past the engine.
    call.exception = NativeExceptionText(lm::json::ToText(lm::json::ErrorObject(-99, e.what())), api);
  }
  return true;
}

std::string NativeExceptionText(const std::string& text, const std::string& scriptName) {
  auto parsed = lm::json::Parse(text);
  if (!parsed || !parsed->is<lm::json::Object>()) return text;
  parsed->get<lm::json::Object>()["api"] = lm::json::String(scriptName);
  return lm::json::ToText(*parsed);
}

}  // namespace Sorrel::cef
