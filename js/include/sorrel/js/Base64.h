#pragma once
// Base64 (standard alphabet) as the settings files carry it: white space
// anywhere is skipped, the "=" padding at the end may be left out.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace Sorrel::Js {

// nullopt on a character outside the alphabet, padding anywhere but the
// end, or a final group of a single character.
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);

}  // namespace Sorrel::Js
