#include "sorrel/cef/webext/JscConvert.h"

#include <cmath>

namespace Sorrel::cef::webext {
namespace {

constexpr int kMaxDepth = 64;

MsgValue Convert(JSCValue* value, int depth);

MsgValue ConvertArray(JSCValue* value, int depth) {
  JSCValue* lengthValue = jsc_value_object_get_property(value, "length");
  int32_t length = jsc_value_to_int32(lengthValue);
  g_object_unref(lengthValue);
  MsgList items;
  items.reserve(length > 0 ? static_cast<size_t>(length) : 0);
  for (int32_t i = 0; i < length; ++i) {
    JSCValue* item = jsc_value_object_get_property_at_index(value, static_cast<guint>(i));
    items.push_back(Convert(item, depth + 1));
    g_object_unref(item);
  }
  return MsgValue::MakeList(std::move(items));
}

MsgValue ConvertObject(JSCValue* value, int depth) {
  MsgValue dict = MsgValue::MakeDictionary();
  gchar** names = jsc_value_object_enumerate_properties(value);
  for (gchar** name = names; name && *name; ++name) {
    JSCValue* member = jsc_value_object_get_property(value, *name);
    dict.Set(*name, Convert(member, depth + 1));
    g_object_unref(member);
  }
  g_strfreev(names);
  return dict;
}

MsgValue Convert(JSCValue* value, int depth) {
  if (!value || depth > kMaxDepth) return MsgValue();
  if (jsc_value_is_array(value)) return ConvertArray(value, depth);
  if (jsc_value_is_string(value)) {
    gchar* s = jsc_value_to_string(value);
    MsgValue v = MsgValue::String(s ? s : "");
    g_free(s);
    return v;
  }
  if (jsc_value_is_boolean(value)) return MsgValue::Bool(jsc_value_to_boolean(value));
  if (jsc_value_is_number(value)) {
    double d = jsc_value_to_double(value);
    if (std::trunc(d) == d && d >= -2147483648.0 && d <= 2147483647.0 && !(d == 0 && std::signbit(d)))
      return MsgValue::Int(static_cast<int32_t>(d));
    return MsgValue::Double(d);
  }
  if (jsc_value_is_object(value)) return ConvertObject(value, depth);
  return MsgValue();
}

}  // namespace

MsgValue MsgFromJs(JSCValue* value) { return Convert(value, 0); }

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

lm::json::Value JsonFromJs(JSCValue* value) { return ToJson(MsgFromJs(value)); }

JSCValue* JsFromJson(JSCContext* context, const lm::json::Value& value) {
  if (value.is<picojson::null>()) return jsc_value_new_null(context);
  if (value.is<bool>()) return jsc_value_new_boolean(context, value.get<bool>());
  if (value.is<double>()) return jsc_value_new_number(context, value.get<double>());
  if (value.is<std::string>()) return jsc_value_new_string(context, value.get<std::string>().c_str());
  return jsc_value_new_from_json(context, lm::json::ToText(value).c_str());
}

}  // namespace Sorrel::cef::webext
