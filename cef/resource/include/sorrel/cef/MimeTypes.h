#pragma once
// MIME types of the files a page package holds, by file extension.

#include <string>
#include <string_view>

namespace Sorrel::cef::res {

// The text after the last '.' of the last path segment; empty when none.
std::string ExtensionOf(std::string_view path);

// The MIME type for an extension (any letter case); empty when unknown.
std::string MimeTypeForExtension(std::string_view extension);

}  // namespace Sorrel::cef::res
