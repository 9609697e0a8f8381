#include "lm/Json.h"

#include <cmath>

namespace lm::json {

std::string ToText(const Value& value) { return value.serialize(false); }

std::optional<Value> Parse(std::string_view text) {
  Value out;
  std::string err;
  auto end = picojson::parse(out, text.begin(), text.end(), &err);
  if (!err.empty()) return std::nullopt;
  // Only white space may follow the value.
  for (; end != text.end(); ++end) {
    if (*end != ' ' && *end != '\t' && *end != '\r' && *end != '\n') return std::nullopt;
  }
  return out;
}

Value MakeObject(std::initializer_list<std::pair<std::string, Value>> members) {
  Object obj;
  for (const auto& [key, value] : members) obj[key] = value;
  return Value(std::move(obj));
}

Value ErrorObject(int code, std::string msg) {
  return MakeObject({{"code1", Number(code)}, {"msg", String(std::move(msg))}});
}

bool IsIntegral(const Value& value, double lo, double hi) {
  if (!value.is<double>()) return false;
  double d = value.get<double>();
  return std::isfinite(d) && std::trunc(d) == d && d >= lo && d <= hi;
}

}  // namespace lm::json
