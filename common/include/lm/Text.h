#pragma once
// The one place where text changes encoding: UTF-8 (our internal form),
// UTF-16 (what Windows-born interfaces carry) and the system ANSI code page,
// which for this program is CP932 (the Japanese build).
//
// Conversions are strict: input that cannot be converted raises
// lm::text::ConversionError (or yields std::nullopt from the Try* forms);
// nothing is silently dropped or truncated.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lm::text {

class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The code page texts for devices, log files and the closed interfaces use.
inline constexpr const char* kAnsiCodePage = "CP932";

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

std::optional<std::u16string> TryUtf8ToUtf16(std::string_view utf8) noexcept;
std::optional<std::string> TryUtf16ToUtf8(std::u16string_view utf16) noexcept;
std::optional<std::string> TryUtf8ToAnsi(std::string_view utf8) noexcept;
std::optional<std::string> TryAnsiToUtf8(std::string_view ansi) noexcept;

// True for the first byte of a double-byte character of the ANSI code page.
bool IsAnsiLeadByte(unsigned char c) noexcept;
// Length of the bytes that end on a whole character: the bytes minus a lead
// byte left alone at the end.
size_t WholeAnsiLength(std::string_view bytes) noexcept;
// ANSI bytes as UTF-8 for showing, never failing: a byte or byte pair that is
// no character becomes U+FFFD. A lead byte whose next byte is ASCII stands
// alone, so a stray byte never swallows the character after it. `exact`
// tells whether every byte decoded.
std::string AnsiToUtf8Lenient(std::string_view ansi, bool* exact = nullptr);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes) noexcept;
// The text with every byte that is not part of well-formed UTF-8 replaced
// by U+FFFD. Lossy: for messages, never for names or data.
std::string ReplaceInvalidUtf8(std::string_view bytes);

// printf-style formatting into a std::string (UTF-8 in, UTF-8 out).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace lm::text
