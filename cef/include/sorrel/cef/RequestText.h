#pragma once
// The request text a page sends: "jsquery:" + query name + " " + argument JSON.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lm/Json.h"

namespace Sorrel::cef {

struct ParsedRequest {
  std::string name;       // everything before the first space after ':' ("jsquery:ComOpen")
  std::string queryName;  // the part of name after its first ':' ("ComOpen")
  lm::json::Value argument;
  // The argument was refused for being nested deeper than the JSON reader
  // goes (lm::json::kMaxNesting); `argument` is null then.
  bool tooDeep = false;
};

// Nullopt when the text has no ':' or its argument is not JSON (except for
// one nested too deep, marked `tooDeep`). A request without an argument
// (nothing after the name, or no space at all) carries null.
std::optional<ParsedRequest> ParseRequest(std::string_view request);

// The id in a "jsquery:cancel" argument: an integral number, or a string of
// decimal digits with an optional leading '-'.
std::optional<int64_t> ParseCancelId(const lm::json::Value& argument);

// The text the page glue sends for a query.
std::string MakeRequest(const std::string& queryName, const lm::json::Value& argument);

inline constexpr const char* kCancelRequestName = "jsquery:cancel";

}  // namespace Sorrel::cef
