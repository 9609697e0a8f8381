#include "sorrel/js/AnsiText.h"

#include "lm/Text.h"

namespace Sorrel::Js {

bool IsAnsiLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

size_t WholeAnsiLength(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) i += IsAnsiLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
  return i == bytes.size() ? i : bytes.size() - 1;
}

std::string AnsiToUtf8Lenient(std::string_view bytes) {
  if (auto whole = lm::text::TryAnsiToUtf8(bytes)) return *whole;
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    size_t n = IsAnsiLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
    auto piece = lm::text::TryAnsiToUtf8(bytes.substr(i, n));
    out += piece ? *piece : "\xEF\xBF\xBD";
    i += n;
  }
  return out;
}

}  // namespace Sorrel::Js
