#include "sorrel/cef/MsgValue.h"

#include <cmath>
#include <unordered_map>

namespace Sorrel::cef {

MsgValue MsgValue::Bool(bool b) {
  MsgValue v;
  v.type_ = Type::Bool;
  v.bool_ = b;
  return v;
}

MsgValue MsgValue::Int(int32_t i) {
  MsgValue v;
  v.type_ = Type::Int;
  v.int_ = i;
  return v;
}

MsgValue MsgValue::Double(double d) {
  MsgValue v;
  v.type_ = Type::Double;
  v.double_ = d;
  return v;
}

MsgValue MsgValue::String(std::string s) {
  MsgValue v;
  v.type_ = Type::String;
  v.string_ = std::move(s);
  return v;
}

MsgValue MsgValue::MakeList(List items) {
  MsgValue v;
  v.type_ = Type::List;
  v.list_ = std::move(items);
  return v;
}

MsgValue MsgValue::MakeDictionary(Dictionary members) {
  MsgValue v;
  v.type_ = Type::Dictionary;
  // A repeated name replaces the earlier value in its place, as Set does,
  // without a search per member (page objects may be large).
  std::unordered_map<std::string, size_t> at;
  at.reserve(members.size());
  for (auto& member : members) {
    auto [it, fresh] = at.try_emplace(member.first, v.dictionary_.size());
    if (fresh) v.dictionary_.push_back(std::move(member));
    else v.dictionary_[it->second].second = std::move(member.second);
  }
  return v;
}

void MsgValue::Set(const std::string& name, MsgValue value) {
  for (auto& member : dictionary_) {
    if (member.first == name) {
      member.second = std::move(value);
      return;
    }
  }
  dictionary_.emplace_back(name, std::move(value));
}

const MsgValue* MsgValue::Find(const std::string& name) const {
  if (type_ != Type::Dictionary) return nullptr;
  for (const auto& member : dictionary_) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

bool MsgValue::operator==(const MsgValue& o) const {
  if (type_ != o.type_) return false;
  switch (type_) {
    case Type::Null: return true;
    case Type::Bool: return bool_ == o.bool_;
    case Type::Int: return int_ == o.int_;
    case Type::Double: return double_ == o.double_ || (std::isnan(double_) && std::isnan(o.double_));
    case Type::String: return string_ == o.string_;
    case Type::List: return list_ == o.list_;
    case Type::Dictionary: return dictionary_ == o.dictionary_;
  }
  return false;
}

lm::json::Value ToJson(const MsgValue& value) {
  switch (value.GetType()) {
    case MsgValue::Type::Null: return lm::json::Value();
    case MsgValue::Type::Bool: return lm::json::Value(value.GetBool());
    case MsgValue::Type::Int: return lm::json::Value(static_cast<double>(value.GetInt()));
    case MsgValue::Type::Double:
      // JSON has no NaN or infinity; they travel as null.
      return std::isfinite(value.GetDouble()) ? lm::json::Value(value.GetDouble()) : lm::json::Value();
    case MsgValue::Type::String: return lm::json::Value(value.GetString());
    case MsgValue::Type::List: return ToJson(value.GetList());
    case MsgValue::Type::Dictionary: {
      lm::json::Object obj;
      for (const auto& [name, member] : value.GetDictionary()) obj[name] = ToJson(member);
      return lm::json::Value(std::move(obj));
    }
  }
  return lm::json::Value();
}

lm::json::Value ToJson(const MsgList& list) {
  lm::json::Array arr;
  arr.reserve(list.size());
  for (const auto& item : list) arr.push_back(ToJson(item));
  return lm::json::Value(std::move(arr));
}

MsgValue FromJson(const lm::json::Value& value) {
  if (value.is<bool>()) return MsgValue::Bool(value.get<bool>());
  if (value.is<double>()) {
    double d = value.get<double>();
    if (lm::json::IsIntegral(value, -2147483648.0, 2147483647.0)) return MsgValue::Int(static_cast<int32_t>(d));
    return MsgValue::Double(d);
  }
  if (value.is<std::string>()) return MsgValue::String(value.get<std::string>());
  if (value.is<lm::json::Array>()) {
    MsgList items;
    for (const auto& item : value.get<lm::json::Array>()) items.push_back(FromJson(item));
    return MsgValue::MakeList(std::move(items));
  }
  if (value.is<lm::json::Object>()) {
    MsgValue::Dictionary members;
    for (const auto& [name, member] : value.get<lm::json::Object>()) members.emplace_back(name, FromJson(member));
    return MsgValue::MakeDictionary(std::move(members));
  }
  return MsgValue();
}

}  // namespace Sorrel::cef
