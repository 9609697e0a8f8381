#pragma once
// Names on the file system and the page's text, converted by GLib's
// file-name rules (G_FILENAME_ENCODING, else UTF-8). A name that has no
// exact counterpart is refused, never replaced by a look-alike that would
// name another file.

#include <optional>
#include <string>

namespace Sorrel::Js {

// The page text of a file-system name; nullopt when the name's bytes are no
// text in the file-name encoding (e.g. CP932 bytes under UTF-8).
std::optional<std::string> FileNameToText(const std::string& name);
// The file-system name of page text; nullopt when the text has characters
// the file-name encoding cannot carry.
std::optional<std::string> TextToFileName(const std::string& text);
// A readable form of any name, for messages only (invalid bytes shown as
// U+FFFD): never to be used as a path.
std::string FileNameForDisplay(const std::string& name);

}  // namespace Sorrel::Js
