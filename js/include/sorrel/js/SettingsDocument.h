#pragma once
// The sibling application's base-unit settings document: XML whose SETF
// element holds a DATA element with a Base64 registration image.

#include <cstdint>
#include <string>
#include <string_view>

#include "lm/Json.h"

namespace Sorrel::Js {

struct SettingsResult {
  int32_t code = 0;        // 0, or the failure code (-20 … -44)
  lm::json::Value value;   // {} or {"RSETF":{…}}; what was read before a failure
};

// True when the first bytes mark the plain form: after white space among
// the first 128 bytes comes "<?xml" (only white space there counts too).
bool IsPlainSettings(std::string_view head);

// Reads a plain document (any encoding it declares). A reader error ends
// the reading quietly; a DATA element that does not decode fails.
SettingsResult ParseSettingsDocument(std::string_view document);

}  // namespace Sorrel::Js
