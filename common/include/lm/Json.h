#pragma once
// The program's JSON convention: picojson values, compact serialisation, and
// objects as ordered maps, so members always appear in ascending byte order
// (code1 before msg).

#include <picojson.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace lm::json {

using Value = picojson::value;
using Object = picojson::object;
using Array = picojson::array;

// Compact text of a value.
std::string ToText(const Value& value);

// Parses a whole text; nullopt on any syntax error or trailing garbage.
std::optional<Value> Parse(std::string_view text);
// How deep arrays and objects may nest in text Parse reads; deeper text is
// refused before the reader recurses into it.
inline constexpr size_t kMaxNesting = 100;
// The deepest nesting of arrays and objects in JSON text, strings skipped.
size_t NestingDepth(std::string_view text);

// Builds an object value from members: MakeObject({{"code1", Value(1.0)}}).
Value MakeObject(std::initializer_list<std::pair<std::string, Value>> members);

inline Value Number(double n) { return Value(n); }
inline Value Number(int64_t n) { return Value(static_cast<double>(n)); }
inline Value Number(int n) { return Value(static_cast<double>(n)); }
inline Value Number(unsigned n) { return Value(static_cast<double>(n)); }
inline Value String(std::string s) { return Value(std::move(s)); }
inline Value Bool(bool b) { return Value(b); }

// The failure object every page function reports: {"code1": code, "msg": msg}.
Value ErrorObject(int code, std::string msg);

// True when the value is a number with no fractional part inside [lo, hi].
bool IsIntegral(const Value& value, double lo, double hi);

// The member `key` of an object; a null value when there is none or `value`
// is not an object.
const Value& Member(const Value& value, const std::string& key);

}  // namespace lm::json
