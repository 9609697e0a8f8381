// The forgiving direction of the ANSI code page: device text fields and file
// lines are shown even when some of their bytes are no character.

#include "lm/Text.h"

namespace lm::text {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

bool IsAnsiLeadByte(unsigned char c) noexcept { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

size_t WholeAnsiLength(std::string_view bytes) noexcept {
  size_t i = 0;
  while (i < bytes.size()) i += IsAnsiLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
  return i == bytes.size() ? i : bytes.size() - 1;
}

std::string AnsiToUtf8Lenient(std::string_view ansi, bool* exact) {
  if (auto whole = TryAnsiToUtf8(ansi)) {
    if (exact) *exact = true;
    return *whole;
  }
  if (exact) *exact = false;
  std::string out;
  for (size_t at = 0; at < ansi.size();) {
    const bool pair = IsAnsiLeadByte(static_cast<unsigned char>(ansi[at])) && at + 1 < ansi.size();
    auto piece = TryAnsiToUtf8(ansi.substr(at, pair ? 2 : 1));
    out += piece ? *piece : kReplacement;
    // A pair that is no character is replaced whole, unless its second byte
    // is ASCII: that byte is read again on its own.
    at += pair && (piece || static_cast<unsigned char>(ansi[at + 1]) >= 0x80) ? 2 : 1;
  }
  return out;
}

}  // namespace lm::text
