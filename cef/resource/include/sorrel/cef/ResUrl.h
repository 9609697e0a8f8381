#pragma once
// The URL rules of app://res/<package>/<path>.

#include <string>
#include <string_view>

namespace Sorrel::cef::res {

// The URL up to its first '#', then up to its first '?'.
std::string CutQueryAndFragment(std::string_view url);

// Decodes %XX sequences; a '%' not followed by two hex digits stays as it is.
std::string PercentDecode(std::string_view text);

// The one host the scheme serves; any other host is another origin.
inline constexpr std::string_view kResHost = "res";

// The host of a URL as it was requested (before decoding): the text between
// "://" and the next '/', or empty when either mark is missing.
std::string_view HostOf(std::string_view url);

struct ResTarget {
  std::string package;  // empty when the URL has no package part
  std::string path;     // the rest after the package's '/', may be empty
};

// Splits a cut and decoded URL: the host ends at the first '/' after "://",
// the package name runs to the next '/', the path is everything after it.
// When any of these marks is missing, both parts are empty.
ResTarget SplitResUrl(std::string_view url);

// True when the name can stand for one package: not empty, not "." or
// "..", and no NUL byte or path separator (slash or backslash).
bool IsPlainName(std::string_view name);

// True when the path stays inside the folder it is relative to: not
// absolute, and no "." or ".." segment and no NUL byte.
bool IsContainedRelativePath(std::string_view path);

// Escapes &, <, > and " so a text can stand in HTML.
std::string HtmlEscape(std::string_view text);

}  // namespace Sorrel::cef::res
