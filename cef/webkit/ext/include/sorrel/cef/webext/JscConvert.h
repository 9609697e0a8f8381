#pragma once
// Page values (JavaScriptCore) to and from message values and JSON.
// Page → message, tested in this order: array → list, string, boolean,
// 32-bit integer → integer, other number → double, any other object
// (functions too) → dictionary; null and undefined → empty.
//
// A page value is a graph, not a tree: members may point back at their
// owner, or share one object many times over (a DOM node reaches the whole
// document). Conversion is bounded: a value that contains itself, nests
// deeper than kMaxDepth or holds more than the converter's budget of values
// in all is refused, with a text saying why, before any large allocation.

#include <jsc/jsc.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "lm/Json.h"
#include "sorrel/cef/MsgValue.h"

namespace Sorrel::cef::webext {

class JsConverter {
 public:
  static constexpr int kMaxDepth = 64;
  static constexpr size_t kMaxValues = 200000;

  // One converter per call: the budget covers every value it converts.
  explicit JsConverter(size_t budget = kMaxValues) : limit_(budget), budget_(budget) {}

  // Empty when the value is refused; Refusal() then says why.
  std::optional<MsgValue> ToMsg(JSCValue* value);
  std::optional<lm::json::Value> ToJson(JSCValue* value);
  const std::string& Refusal() const { return refusal_; }
  // The refusal as an argument message: "'<what>' contains itself."
  std::string Refusal(const std::string& what) const { return "'" + what + "' " + refusal_ + "."; }

 private:
  bool TakeOne();
  bool Convert(JSCValue* value, MsgValue& out);
  bool ConvertArray(JSCValue* value, MsgValue& out);
  bool ConvertObject(JSCValue* value, MsgValue& out);
  bool Refuse(std::string why);
  bool TooMany();

  const size_t limit_;
  size_t budget_;  // values still allowed
  std::vector<JSCValue*> path_;  // the objects being converted, outermost first
  std::string refusal_;
};

// A new value (transfer full).
JSCValue* JsFromMsg(JSCContext* context, const MsgValue& value);
JSCValue* JsFromJson(JSCContext* context, const lm::json::Value& value);

}  // namespace Sorrel::cef::webext
