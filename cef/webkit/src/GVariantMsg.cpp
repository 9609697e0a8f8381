#include "sorrel/cef/webkit/GVariantMsg.h"

namespace Sorrel::cef::webkit {

GVariant* ToVariant(const MsgValue& value) {
  switch (value.GetType()) {
    case MsgValue::Type::Null: return g_variant_new_maybe(G_VARIANT_TYPE_VARIANT, nullptr);
    case MsgValue::Type::Bool: return g_variant_new_boolean(value.GetBool());
    case MsgValue::Type::Int: return g_variant_new_int32(value.GetInt());
    case MsgValue::Type::Double: return g_variant_new_double(value.GetDouble());
    case MsgValue::Type::String: return g_variant_new_string(value.GetString().c_str());
    case MsgValue::Type::List: return ToVariant(value.GetList());
    case MsgValue::Type::Dictionary: {
      GVariantBuilder builder;
      g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
      for (const auto& [name, member] : value.GetDictionary())
        g_variant_builder_add(&builder, "{sv}", name.c_str(), ToVariant(member));
      return g_variant_builder_end(&builder);
    }
  }
  return g_variant_new_maybe(G_VARIANT_TYPE_VARIANT, nullptr);
}

GVariant* ToVariant(const MsgList& list) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
  for (const auto& item : list) g_variant_builder_add(&builder, "v", ToVariant(item));
  return g_variant_builder_end(&builder);
}

MsgValue FromVariant(GVariant* value) {
  if (!value) return MsgValue();
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
    GVariant* inner = g_variant_get_variant(value);
    MsgValue v = FromVariant(inner);
    g_variant_unref(inner);
    return v;
  }
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) return MsgValue::Bool(g_variant_get_boolean(value));
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT32)) return MsgValue::Int(g_variant_get_int32(value));
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) return MsgValue::Double(g_variant_get_double(value));
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) return MsgValue::String(g_variant_get_string(value, nullptr));
  if (g_variant_is_of_type(value, G_VARIANT_TYPE("av"))) return MsgValue::MakeList(ListFromVariant(value));
  if (g_variant_is_of_type(value, G_VARIANT_TYPE("a{sv}"))) {
    MsgValue dict = MsgValue::MakeDictionary();
    GVariantIter iter;
    const char* name = nullptr;
    GVariant* member = nullptr;
    g_variant_iter_init(&iter, value);
    while (g_variant_iter_next(&iter, "{&sv}", &name, &member)) {
      dict.Set(name, FromVariant(member));
      g_variant_unref(member);
    }
    return dict;
  }
  return MsgValue();  // empty maybe, or a type no page value has
}

MsgList ListFromVariant(GVariant* parameters) {
  MsgList list;
  if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("av"))) return list;
  list.reserve(g_variant_n_children(parameters));
  GVariantIter iter;
  GVariant* item = nullptr;
  g_variant_iter_init(&iter, parameters);
  while ((item = g_variant_iter_next_value(&iter))) {
    list.push_back(FromVariant(item));
    g_variant_unref(item);
  }
  return list;
}

}  // namespace Sorrel::cef::webkit
