#pragma once
// The words both document generators (docs/commands.md and the page's API
// documents) use for what an argument key takes and what a result member
// holds, so the two never describe the same row differently.

#include <string>
#include <string_view>

#include "vantor/com/catalogue/Types.h"

namespace com::vantor::catalogue {

// What a key's reader takes from the page: "integer", "array of bytes (0..255)" …
const char* ReaderText(Reader reader);
// How a sent field is made from the key's value: "decimal text", "raw bytes" …
const char* EncodingText(Encoding encoding);
// "enable (1), week (1), …": a packing's members in field order with their widths.
std::string PackedWidths(Packing packing);
// One result member: "SER: eight upper-case hex digits from SER". Member
// names are wrapped in `quote` (a backtick for Markdown, nothing for text).
std::string MemberText(const ResultDef& result, std::string_view quote = {});

}  // namespace com::vantor::catalogue
