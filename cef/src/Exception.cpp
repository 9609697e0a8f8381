#include "sorrel/cef/Exception.h"

#include "lm/Json.h"

namespace Sorrel::cef {
namespace {

std::string Join(const char* head, const std::string& message) {
  std::string msg = head;
  if (!message.empty()) msg += " : " + message;
  return msg;
}

}  // namespace

JsArgumentException::JsArgumentException(int32_t code, std::string message)
    : Exception(code, lm::json::ToText(lm::json::ErrorObject(code, Join("Invalid arguments", message)))),
      message_(std::move(message)) {}

JsExecuteException::JsExecuteException(int32_t code, const std::string& message)
    : Exception(0, lm::json::ToText(lm::json::ErrorObject(code, Join("method error", message)))) {}

JsExecuteException JsExecuteException::FromText(std::string jsonText) {
  return JsExecuteException(RawText{}, std::move(jsonText));
}

void Ensure(bool condition, int32_t code, const std::string& message) {
  if (!condition) throw JsArgumentException(code, message);
}

void EnsureExecuted(bool condition, int32_t code, const std::string& message) {
  if (!condition) throw JsExecuteException(code, message);
}

std::string MsgNotFound(const std::string& name) { return "'" + name + "' is not found."; }
std::string MsgMustBeString(const std::string& name) { return "'" + name + "' must have type string."; }
std::string MsgMustBeArray(const std::string& name) { return "'" + name + "' must have type array."; }
std::string MsgMustBeFunction(const std::string& name) {
  return "'" + name + "' must have type function.";
}
std::string MsgMustBeObject(const std::string& name) { return "'" + name + "' must have type object."; }
std::string MsgInvalid(const std::string& name) { return "'" + name + "' value is invalid."; }

}  // namespace Sorrel::cef
