#pragma once
// Page values (JavaScriptCore) to and from message values and JSON.
// Page → message, tested in this order: array → list, string, boolean,
// 32-bit integer → integer, other number → double, any other object
// (functions too) → dictionary; null and undefined → empty. Nesting deeper
// than a fixed limit (a cyclic object) ends in empty entries.

#include <jsc/jsc.h>

#include "lm/Json.h"
#include "sorrel/cef/MsgValue.h"

namespace Sorrel::cef::webext {

MsgValue MsgFromJs(JSCValue* value);
// A new value (transfer full).
JSCValue* JsFromMsg(JSCContext* context, const MsgValue& value);

lm::json::Value JsonFromJs(JSCValue* value);
JSCValue* JsFromJson(JSCContext* context, const lm::json::Value& value);

}  // namespace Sorrel::cef::webext
