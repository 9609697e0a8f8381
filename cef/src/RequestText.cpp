#include "sorrel/cef/RequestText.h"

#include <cmath>

namespace Sorrel::cef {

std::optional<ParsedRequest> ParseRequest(std::string_view request) {
  size_t colon = request.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  size_t space = request.find(' ', colon);
  ParsedRequest out;
  out.name = std::string(request.substr(0, space));
  out.queryName = out.name.substr(colon + 1);
  std::string_view rest;
  if (space != std::string_view::npos) {
    size_t start = request.find_first_not_of(' ', space);
    if (start != std::string_view::npos) rest = request.substr(start);
  }
  if (rest.empty()) rest = "null";
  auto arg = lm::json::Parse(rest);
  if (!arg) {
    if (lm::json::NestingDepth(rest) <= lm::json::kMaxNesting) return std::nullopt;
    out.tooDeep = true;
    return out;
  }
  out.argument = std::move(*arg);
  return out;
}

std::optional<int64_t> ParseCancelId(const lm::json::Value& argument) {
  if (argument.is<double>()) {
    double d = argument.get<double>();
    // Doubles at or beyond 2^63 do not fit an int64.
    if (!std::isfinite(d) || std::trunc(d) != d || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
      return std::nullopt;
    return static_cast<int64_t>(d);
  }
  if (!argument.is<std::string>()) return std::nullopt;
  const std::string& s = argument.get<std::string>();
  size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
  if (i == s.size() || s.size() - i > 19) return std::nullopt;
  for (size_t k = i; k < s.size(); ++k) {
    if (s[k] < '0' || s[k] > '9') return std::nullopt;
  }
  try {
    return std::stoll(s);
  } catch (...) {
    return std::nullopt;  // out of range
  }
}

std::string MakeRequest(const std::string& queryName, const lm::json::Value& argument) {
  std::string text = "jsquery:" + queryName + " ";
  // The glue leaves out false values: null, false, 0 and the empty string.
  bool falsy = argument.is<picojson::null>() || (argument.is<bool>() && !argument.get<bool>()) ||
               (argument.is<double>() && argument.get<double>() == 0) ||
               (argument.is<std::string>() && argument.get<std::string>().empty());
  if (!falsy) text += lm::json::ToText(argument);
  return text;
}

}  // namespace Sorrel::cef
