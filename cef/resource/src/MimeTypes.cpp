#include "sorrel/cef/MimeTypes.h"

#include <algorithm>
#include <map>

namespace Sorrel::cef::res {

std::string ExtensionOf(std::string_view path) {
  size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

std::string MimeTypeForExtension(std::string_view extension) {
  static const std::map<std::string, std::string, std::less<>> kTypes = {
      {"bmp", "image/bmp"},          {"css", "text/css"},
      {"csv", "text/csv"},           {"gif", "image/gif"},
      {"htm", "text/html"},          {"html", "text/html"},
      {"ico", "image/x-icon"},       {"jpeg", "image/jpeg"},
      {"jpg", "image/jpeg"},         {"js", "text/javascript"},
      {"json", "application/json"},  {"map", "application/json"},
      {"mjs", "text/javascript"},    {"otf", "font/otf"},
      {"pdf", "application/pdf"},    {"png", "image/png"},
      {"svg", "image/svg+xml"},      {"ttf", "font/ttf"},
      {"txt", "text/plain"},         {"wasm", "application/wasm"},
      {"webp", "image/webp"},        {"woff", "font/woff"},
      {"woff2", "font/woff2"},       {"xhtml", "application/xhtml+xml"},
      {"xml", "text/xml"},
  };
  std::string lower(extension);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  auto it = kTypes.find(lower);
  return it == kTypes.end() ? std::string() : it->second;
}

}  // namespace Sorrel::cef::res
