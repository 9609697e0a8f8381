#pragma once
// The values process messages carry: null (an empty entry), boolean, 32-bit
// integer, double, string, dictionary and list. Engines convert their own
// message values and page values to and from this form.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lm/Json.h"

namespace Sorrel::cef {

class MsgValue {
 public:
  enum class Type { Null, Bool, Int, Double, String, Dictionary, List };
  using List = std::vector<MsgValue>;
  // Members in the order they were added; names are unique.
  using Dictionary = std::vector<std::pair<std::string, MsgValue>>;

  MsgValue() = default;
  static MsgValue Bool(bool b);
  static MsgValue Int(int32_t i);
  static MsgValue Double(double d);
  static MsgValue String(std::string s);
  static MsgValue MakeList(List items = {});
  static MsgValue MakeDictionary(Dictionary members = {});

  Type GetType() const { return type_; }
  bool IsNull() const { return type_ == Type::Null; }
  bool GetBool() const { return bool_; }
  int32_t GetInt() const { return int_; }
  double GetDouble() const { return double_; }
  const std::string& GetString() const { return string_; }
  const List& GetList() const { return list_; }
  List& GetList() { return list_; }
  const Dictionary& GetDictionary() const { return dictionary_; }

  // Sets or replaces a member (dictionaries only).
  void Set(const std::string& name, MsgValue value);
  // The member of that name, or null when absent or not a dictionary.
  const MsgValue* Find(const std::string& name) const;

  bool operator==(const MsgValue& other) const;

 private:
  Type type_ = Type::Null;
  bool bool_ = false;
  int32_t int_ = 0;
  double double_ = 0;
  std::string string_;
  List list_;
  Dictionary dictionary_;
};

using MsgList = MsgValue::List;

// A named message with its argument list.
struct ProcessMessage {
  std::string name;
  MsgList args;
};

// JSON form: integers and doubles both become numbers.
lm::json::Value ToJson(const MsgValue& value);
lm::json::Value ToJson(const MsgList& list);
// From JSON: a number with no fractional part inside the 32-bit range
// becomes an integer, any other number a double.
MsgValue FromJson(const lm::json::Value& value);

}  // namespace Sorrel::cef
