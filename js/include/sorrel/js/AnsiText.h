#pragma once
// Lines between the page (UTF-8) and files in the ANSI code page (CP932),
// through the text module.

#include <cstddef>
#include <string>
#include <string_view>

namespace Sorrel::Js {

// True for the first byte of a CP932 double-byte character.
bool IsAnsiLeadByte(unsigned char c);
// Length of the bytes that end on a whole character: the bytes minus a lead
// byte left alone at the end.
size_t WholeAnsiLength(std::string_view bytes);
// The bytes as UTF-8; a character the code page does not define becomes
// U+FFFD, so a damaged line still reads.
std::string AnsiToUtf8Lenient(std::string_view bytes);

}  // namespace Sorrel::Js
