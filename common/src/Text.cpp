#include "lm/Text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace lm::text {
namespace {

// One iconv conversion descriptor, closed on every path.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (Valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts all of `in`; nullopt when any byte sequence is invalid or has no
// counterpart in the target encoding.
std::optional<std::string> Convert(const char* to, const char* from, const char* data,
                                   size_t size) {
  IconvHandle cd(to, from);
  if (!cd.Valid()) return std::nullopt;
  std::string out;
  out.resize(size * 2 + 16);
  char* inPtr = const_cast<char*>(data);
  size_t inLeft = size;
  size_t used = 0;
  for (;;) {
    char* outPtr = out.data() + used;
    size_t outLeft = out.size() - used;
    size_t rc = iconv(cd.Get(), inLeft ? &inPtr : nullptr, &inLeft, &outPtr, &outLeft);
    used = out.size() - outLeft;
    if (rc != static_cast<size_t>(-1)) {
      if (inLeft == 0) break;
      continue;
    }
    if (errno != E2BIG) return std::nullopt;  // EILSEQ or EINVAL: not convertible
    out.resize(out.size() * 2);
  }
  // iconv reports irreversible conversions through rc > 0 with //TRANSLIT only;
  // without it, unconvertible characters fail with EILSEQ above.
  out.resize(used);
  return out;
}

// Code page 932 carries ASCII unchanged both ways, NUL, backslash and tilde
// included; most device texts, addresses and passwords are ASCII and need no
// converter.
bool IsAscii(std::string_view s) noexcept {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

[[noreturn]] void Fail(const char* what) {
  throw ConversionError(std::string("text conversion failed: ") + what);
}

}  // namespace

std::optional<std::u16string> TryUtf8ToUtf16(std::string_view utf8) noexcept {
  try {
    if (!IsValidUtf8(utf8)) return std::nullopt;
    auto bytes = Convert("UTF-16LE", "UTF-8", utf8.data(), utf8.size());
    if (!bytes) return std::nullopt;
    std::u16string out(bytes->size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i) {
      out[i] = static_cast<char16_t>(static_cast<unsigned char>((*bytes)[2 * i]) |
                                     (static_cast<unsigned char>((*bytes)[2 * i + 1]) << 8));
    }
    return out;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> TryUtf16ToUtf8(std::u16string_view utf16) noexcept {
  try {
    std::string bytes;
    bytes.reserve(utf16.size() * 2);
    for (char16_t c : utf16) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
    return Convert("UTF-8", "UTF-16LE", bytes.data(), bytes.size());
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> TryUtf8ToAnsi(std::string_view utf8) noexcept {
  try {
    if (IsAscii(utf8)) return std::string(utf8);
    if (!IsValidUtf8(utf8)) return std::nullopt;
    return Convert(kAnsiCodePage, "UTF-8", utf8.data(), utf8.size());
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> TryAnsiToUtf8(std::string_view ansi) noexcept {
  try {
    if (IsAscii(ansi)) return std::string(ansi);
    return Convert("UTF-8", kAnsiCodePage, ansi.data(), ansi.size());
  } catch (...) {
    return std::nullopt;
  }
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  auto r = TryUtf8ToUtf16(utf8);
  if (!r) Fail("invalid UTF-8");
  return *r;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  auto r = TryUtf16ToUtf8(utf16);
  if (!r) Fail("invalid UTF-16 (unpaired surrogate)");
  return *r;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  auto r = TryUtf8ToAnsi(utf8);
  if (!r) Fail("text has characters outside code page 932");
  return *r;
}

std::string AnsiToUtf8(std::string_view ansi) {
  auto r = TryAnsiToUtf8(ansi);
  if (!r) Fail("invalid code page 932 bytes");
  return *r;
}

namespace {

// The length of the well-formed UTF-8 sequence at `i`, or 0 when the bytes
// there are none (bad lead or trail, overlong, surrogate, beyond U+10FFFF).
size_t SequenceLength(std::string_view s, size_t i) noexcept {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  size_t len;
  uint32_t cp;
  if ((c & 0xE0) == 0xC0) {
    len = 2;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

bool IsValidUtf8(std::string_view s) noexcept {
  for (size_t i = 0; i < s.size();) {
    // Most answers are ASCII: eight bytes at a time while they are.
    uint64_t eight = 0;
    if (i + 8 <= s.size() && (std::memcpy(&eight, s.data() + i, 8), (eight & 0x8080808080808080u) == 0)) {
      i += 8;
      continue;
    }
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t len = SequenceLength(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string ReplaceInvalidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t len = SequenceLength(s, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD for the one byte
      ++i;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
  return out;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n));
    std::vsnprintf(out.data(), out.size() + 1, format, args);
  }
  va_end(args);
  return out;
}

}  // namespace lm::text
