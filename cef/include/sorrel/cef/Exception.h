#pragma once
// Errors a page function raises; the bridge turns each into a failure answer.

#include <cstdint>
#include <exception>
#include <string>

namespace Sorrel::cef {

// A failure with a code and a text; the text is what the page receives.
class Exception : public std::exception {
 public:
  Exception(int32_t code, std::string text) : code_(code), text_(std::move(text)) {}

  int32_t Code() const { return code_; }
  // The failure text handed to the page.
  const std::string& Text() const { return text_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  int32_t code_;
  std::string text_;
};

// A bad argument: {"code1": code, "msg": "Invalid arguments[ : message]"}.
class JsArgumentException : public Exception {
 public:
  JsArgumentException(int32_t code, std::string message);
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// A failure while carrying out the function; code 0, the text a JSON object
// {"code1": code, "msg": "method error[ : message]"} built when thrown.
class JsExecuteException : public Exception {
 public:
  JsExecuteException(int32_t code, const std::string& message);
  // For a JSON text built elsewhere (device failures with code2 and so on).
  static JsExecuteException FromText(std::string jsonText);

 private:
  struct RawText {};
  JsExecuteException(RawText, std::string text) : Exception(0, std::move(text)) {}
};

// Raises JsArgumentException(code, message) when the condition is false.
void Ensure(bool condition, int32_t code, const std::string& message);
// Raises JsExecuteException(code, message) when the condition is false.
void EnsureExecuted(bool condition, int32_t code, const std::string& message);

// The standard argument messages, with the argument's name in place of %s.
std::string MsgNotFound(const std::string& name);       // "'%s' is not found."
std::string MsgMustBeString(const std::string& name);   // "'%s' must have type string."
std::string MsgMustBeArray(const std::string& name);    // "'%s' must have type array."
std::string MsgMustBeFunction(const std::string& name); // "'%s' must have type function."
std::string MsgMustBeObject(const std::string& name);   // "'%s' must have type object."
std::string MsgInvalid(const std::string& name);        // "'%s' value is invalid."

}  // namespace Sorrel::cef
