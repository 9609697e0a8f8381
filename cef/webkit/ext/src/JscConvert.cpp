#include "sorrel/cef/webext/JscConvert.h"

#include <algorithm>
#include <cmath>

namespace Sorrel::cef::webext {
namespace {

MsgValue Number(double d) {
  if (std::trunc(d) == d && d >= -2147483648.0 && d <= 2147483647.0 && !(d == 0 && std::signbit(d)))
    return MsgValue::Int(static_cast<int32_t>(d));
  return MsgValue::Double(d);
}

// Drops the reference it holds when the scope ends.
struct Owned {
  JSCValue* value;
  ~Owned() { g_object_unref(value); }
};

}  // namespace

std::optional<MsgValue> JsConverter::ToMsg(JSCValue* value) {
  MsgValue out;
  if (!Convert(value, out)) return std::nullopt;
  return out;
}

std::optional<lm::json::Value> JsConverter::ToJson(JSCValue* value) {
  auto msg = ToMsg(value);
  if (!msg) return std::nullopt;
  return Sorrel::cef::ToJson(*msg);
}

bool JsConverter::TakeOne() {
  if (budget_ == 0) return TooMany();
  --budget_;
  return true;
}

bool JsConverter::TooMany() { return Refuse("holds more than " + std::to_string(limit_) + " values in all"); }

bool JsConverter::Refuse(std::string why) {
  if (refusal_.empty()) refusal_ = std::move(why);
  return false;
}

bool JsConverter::Convert(JSCValue* value, MsgValue& out) {
  if (!TakeOne()) return false;
  if (!value) return true;
  if (jsc_value_is_string(value)) {
    gchar* s = jsc_value_to_string(value);
    out = MsgValue::String(s ? s : "");
    g_free(s);
    return true;
  }
  if (jsc_value_is_boolean(value)) {
    out = MsgValue::Bool(jsc_value_to_boolean(value));
    return true;
  }
  if (jsc_value_is_number(value)) {
    out = Number(jsc_value_to_double(value));
    return true;
  }
  if (!jsc_value_is_object(value)) return true;  // null, undefined
  // The context hands out one wrapper per page object, so an object met
  // again on the way down is the value containing itself.
  if (std::find(path_.begin(), path_.end(), value) != path_.end()) return Refuse("contains itself");
  if (path_.size() >= static_cast<size_t>(kMaxDepth))
    return Refuse("is nested deeper than " + std::to_string(kMaxDepth) + " levels");
  path_.push_back(value);
  bool ok = jsc_value_is_array(value) ? ConvertArray(value, out) : ConvertObject(value, out);
  path_.pop_back();
  return ok;
}

bool JsConverter::ConvertArray(JSCValue* value, MsgValue& out) {
  Owned lengthValue{jsc_value_object_get_property(value, "length")};
  const double length = jsc_value_to_double(lengthValue.value);
  // Checked before anything is reserved: a length of 2^32-1 costs nothing
  // to make in the page.
  if (!(length >= 0) || length > static_cast<double>(budget_)) return TooMany();
  MsgList items(static_cast<size_t>(length));
  for (size_t i = 0; i < items.size(); ++i) {
    Owned item{jsc_value_object_get_property_at_index(value, static_cast<guint>(i))};
    if (!Convert(item.value, items[i])) return false;
  }
  out = MsgValue::MakeList(std::move(items));
  return true;
}

bool JsConverter::ConvertObject(JSCValue* value, MsgValue& out) {
  gchar** names = jsc_value_object_enumerate_properties(value);
  MsgValue::Dictionary members;
  bool ok = true;
  for (gchar** name = names; ok && name && *name; ++name) {
    Owned member{jsc_value_object_get_property(value, *name)};
    members.emplace_back(*name, MsgValue());
    ok = Convert(member.value, members.back().second);
  }
  g_strfreev(names);
  if (ok) out = MsgValue::MakeDictionary(std::move(members));
  return ok;
}

JSCValue* JsFromMsg(JSCContext* context, const MsgValue& value) {
  switch (value.GetType()) {
    case MsgValue::Type::Null: return jsc_value_new_null(context);
    case MsgValue::Type::Bool: return jsc_value_new_boolean(context, value.GetBool());
    case MsgValue::Type::Int: return jsc_value_new_number(context, value.GetInt());
    case MsgValue::Type::Double: return jsc_value_new_number(context, value.GetDouble());
    case MsgValue::Type::String: return jsc_value_new_string(context, value.GetString().c_str());
    case MsgValue::Type::List: {
      JSCValue* array = jsc_value_new_array(context, G_TYPE_NONE);
      guint i = 0;
      for (const auto& item : value.GetList()) {
        JSCValue* v = JsFromMsg(context, item);
        jsc_value_object_set_property_at_index(array, i++, v);
        g_object_unref(v);
      }
      return array;
    }
    case MsgValue::Type::Dictionary: {
      JSCValue* object = jsc_value_new_object(context, nullptr, nullptr);
      for (const auto& [name, member] : value.GetDictionary()) {
        JSCValue* v = JsFromMsg(context, member);
        jsc_value_object_set_property(object, name.c_str(), v);
        g_object_unref(v);
      }
      return object;
    }
  }
  return jsc_value_new_null(context);
}

JSCValue* JsFromJson(JSCContext* context, const lm::json::Value& value) {
  if (value.is<picojson::null>()) return jsc_value_new_null(context);
  if (value.is<bool>()) return jsc_value_new_boolean(context, value.get<bool>());
  if (value.is<double>()) return jsc_value_new_number(context, value.get<double>());
  if (value.is<std::string>()) return jsc_value_new_string(context, value.get<std::string>().c_str());
  return jsc_value_new_from_json(context, lm::json::ToText(value).c_str());
}

}  // namespace Sorrel::cef::webext
