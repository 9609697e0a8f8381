#include "sorrel/js/Base64.h"

namespace Sorrel::Js {

namespace {

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  uint32_t bits = 0;
  int count = 0;    // sextets in the current group
  int padding = 0;  // "=" seen; only white space and more "=" may follow
  for (char c : text) {
    if (IsSpace(c)) continue;
    if (c == '=') {
      if (++padding > 2 || count < 2) return std::nullopt;
      continue;
    }
    const int v = Sextet(c);
    if (v < 0 || padding > 0) return std::nullopt;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<uint8_t>(bits >> 16));
      out.push_back(static_cast<uint8_t>(bits >> 8));
      out.push_back(static_cast<uint8_t>(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 1) return std::nullopt;
  if (padding > 0 && count + padding != 4) return std::nullopt;
  if (count == 2) out.push_back(static_cast<uint8_t>(bits >> 4));
  if (count == 3) {
    out.push_back(static_cast<uint8_t>(bits >> 10));
    out.push_back(static_cast<uint8_t>(bits >> 2));
  }
  return out;
}

}  // namespace Sorrel::Js
