#pragma once
// The sibling application's base-unit settings document: XML whose SETF
// element holds a DATA element with a Base64 registration image.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lm/Json.h"

namespace Sorrel::Js {

struct SettingsResult {
  int32_t code = 0;        // 0, or the failure code (-20 … -44; -24 undecodable text, -27 unreadable XML)
  lm::json::Value value;   // {} or {"RSETF":{…}}; what was read before a failure
};

// True when the first bytes mark the plain form: after white space among
// the first 128 bytes comes "<?xml" (only white space there counts too).
bool IsPlainSettings(std::string_view head);

// The encoding named in the XML declaration at the start, if any.
std::optional<std::string> DeclaredEncoding(std::string_view document);
// True for the labels of Shift_JIS and its aliases, which this reader
// decodes as code page 932 (the Windows form the sibling writes).
bool IsShiftJisLabel(std::string_view label);

// Reads a plain document (any encoding it declares; Shift_JIS as CP932).
// Bytes that are no text in that encoding fail with -24, anything else the
// reader cannot read with -27, a DATA element that does not decode with
// -42 … -44; `value` keeps what was read before.
SettingsResult ParseSettingsDocument(std::string_view document);

}  // namespace Sorrel::Js
